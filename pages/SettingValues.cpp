#include "pages/SettingValues.h"

#include <algorithm>

#include "platform/CNumbers.h"

namespace lq {

float ParseAddTimeSnd(std::string_view text) {
    float v = static_cast<float>(CAtofFinite(text));
    if (v > 3.0f) v = 3.0f;
    if (v < 0.0f || v == 0.0f) v = 0.0f;  // no "-0.0"
    return v;
}

std::string FormatAddTimeSnd(float value) { return FormatFixed(static_cast<double>(value), 1); }

int ParseInputAfter(std::string_view text) { return std::clamp(CAtoi(text), 4, 12); }

uint32_t PlayDelayForIndex(int index) {
    switch (index) {
    case 0: return 2000;
    case 1: return 3000;
    case 2: return 4000;
    case 3: return 5000;
    default: return 10000;
    }
}

int PlayDelayIndex(uint32_t playDelay) {
    if (playDelay <= 2000) return 0;
    if (playDelay <= 3000) return 1;
    if (playDelay <= 4000) return 2;
    if (playDelay <= 5000) return 3;
    return 4;
}

}  // namespace lq
