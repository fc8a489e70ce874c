#include "main/TextMetrics.h"

#include "platform/Cp1251.h"

namespace lq {

int FontTextMetrics::TextWidth(std::string_view text) const {
    return metrics_.horizontalAdvance(FromCp1251(text));
}

int FontTextMetrics::TextHeight(std::string_view) const {
    // The line height of the font, whatever the text: what a canvas reports for one line.
    return metrics_.height();
}

}  // namespace lq
