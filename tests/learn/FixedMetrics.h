#pragma once
// Text metrics with fixed numbers: 10 pixels per byte, lines 23 pixels high, so the row pitch is
// 43 and a tile is 35 pixels high.
#include <string_view>

#include "learn/TextMetrics.h"

namespace lq::test {

class FixedMetrics final : public TextMetrics {
public:
    int TextWidth(std::string_view text) const override { return 10 * static_cast<int>(text.size()); }
    int TextHeight(std::string_view) const override { return 23; }
};

}  // namespace lq::test
