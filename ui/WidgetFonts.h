#pragma once
// Font sizes of the windows' controls, in pixels so that the layout does not depend on the
// screen's dots per inch.
#include <QString>

class QWidget;

namespace lq {

// The widget's own font at `pixels` height; with `family`, in that family too.
void SetFontPixels(QWidget* widget, int pixels, const QString& family = QString());

}  // namespace lq
