#include "recorder/KnobDrag.h"

#include <cstdlib>
#include <utility>

namespace lq::rec {

float ApplyKnobSteps(float value, const float& step, bool additive, bool vertical, int delta) {
    // Down (vertical) and left (horizontal) are the "forward" directions of the table.
    const int forward = vertical ? delta : -delta;
    const int steps = std::abs(delta);
    for (int i = 0; i < steps; ++i) {
        const float f = step;
        if (additive)
            value = static_cast<float>(forward > 0 ? value + 0.005 * f : value - 0.005 * f);
        else
            value = forward > 0 ? value * f : value / f;
    }
    return value;
}

KnobDrag::KnobDrag(float* value, const float* step, int glyphIndex, bool additive, bool vertical,
                   std::function<void()> onChange)
    : value_(value), step_(step), glyphIndex_(glyphIndex), additive_(additive), vertical_(vertical),
      onChange_(std::move(onChange)) {}

void KnobDrag::Press(bool leftButton, int x, int y) {
    if (!leftButton) return;
    pressed_ = true;
    lastX_ = x;
    lastY_ = y;
}

void KnobDrag::Move(bool leftHeld, int x, int y) {
    if (!leftHeld || !pressed_) return;
    if (vertical_) {
        *value_ = ApplyKnobSteps(*value_, *step_, additive_, true, y - lastY_);
        lastY_ = y;
    } else {
        *value_ = ApplyKnobSteps(*value_, *step_, additive_, false, x - lastX_);
        lastX_ = x;
    }
    if (onChange_) onChange_();
}

void KnobDrag::Release() { pressed_ = false; }

}  // namespace lq::rec
