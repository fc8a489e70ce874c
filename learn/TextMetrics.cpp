#include "learn/TextMetrics.h"

#include <QByteArray>
#include <QRawFont>
#include <QtEndian>
#include <cmath>

#include "platform/Cp1251.h"

namespace lq {
namespace {

quint16 BigEndian16(const QByteArray& table, int offset) {
    return qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(table.constData()) + offset);
}

}  // namespace

LineMetrics WindowsLineMetrics(const QFont& font) {
    const QFontMetrics qt(font);
    LineMetrics m{qt.ascent(), qt.descent()};
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid()) return m;
    const QByteArray os2 = raw.fontTable("OS/2");
    const QByteArray head = raw.fontTable("head");
    if (os2.size() < 78 || head.size() < 20) return m;
    const double unitsPerEm = BigEndian16(head, 18);
    if (unitsPerEm <= 0) return m;
    const double pixels = raw.pixelSize();
    m.ascent = static_cast<int>(std::lround(BigEndian16(os2, 74) * pixels / unitsPerEm));
    m.descent = static_cast<int>(std::lround(BigEndian16(os2, 76) * pixels / unitsPerEm));
    return m;
}

int FontTextMetrics::TextWidth(std::string_view text) const {
    return metrics_.horizontalAdvance(FromCp1251(text));
}

int FontTextMetrics::TextHeight(std::string_view) const {
    // The line height of the font, whatever the text: what a canvas reports for one line.
    return line_.Height();
}

}  // namespace lq
