#include "platform/Fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace lq {

QString EnsureTahoma() {
    static const QString family = [] {
        const QString tahoma = QStringLiteral("Tahoma");
        if (QFile::exists(QString::fromLatin1(kTahomaFontFile))) {
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kTahomaFontFile));
            const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
            if (!families.isEmpty()) return families.front();
        }
        if (!QFontDatabase::hasFamily(tahoma)) {
            QFont::insertSubstitution(tahoma, QString::fromLatin1(kFallbackFontFamily));
            return QString::fromLatin1(kFallbackFontFamily);
        }
        return tahoma;
    }();
    return family;
}

QFont TahomaPixels(int pixels) {
    QFont f(EnsureTahoma());
    f.setPixelSize(pixels > 0 ? pixels : 1);
    f.setStyleStrategy(QFont::PreferDefault);
    return f;
}

int PointsToPixels96(int points) { return (points * 96 + 36) / 72; }

QFont TahomaPoints(int points) { return TahomaPixels(PointsToPixels96(points)); }

}  // namespace lq
