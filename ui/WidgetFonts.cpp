#include "ui/WidgetFonts.h"

#include <QFont>
#include <QWidget>

namespace lq {

void SetFontPixels(QWidget* widget, int pixels, const QString& family) {
    QFont f = widget->font();
    if (!family.isEmpty()) f.setFamily(family);
    f.setPixelSize(pixels);
    widget->setFont(f);
}

}  // namespace lq
