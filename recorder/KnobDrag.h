#pragma once
// A drag knob's arithmetic without its widget: a press on the knob, then every move of the held
// left button takes one step per pixel of the followed coordinate on the value it drives.
#include <functional>

namespace lq::rec {

// `delta` pixel steps (positive: right or down) on `value`. An adding knob changes the value by
// 0.005 * step per pixel (down adds, right subtracts); a multiplying one multiplies by step
// (down, left) or divides (up, right). `step` is read again at every pixel.
float ApplyKnobSteps(float value, const float& step, bool additive, bool vertical, int delta);

class KnobDrag {
public:
    KnobDrag(float* value, const float* step, int glyphIndex, bool additive, bool vertical,
             std::function<void()> onChange);

    void Press(bool leftButton, int x, int y);
    // A mouse move; only with the left button held (and a press on this knob) it steps the
    // value and calls the change callback, also when the followed coordinate stayed.
    void Move(bool leftHeld, int x, int y);
    void Release();

    bool Pressed() const { return pressed_; }
    // The picture shown: GlyphIndex released, GlyphIndex + 1 pressed.
    int Glyph() const { return pressed_ ? glyphIndex_ + 1 : glyphIndex_; }

private:
    float* value_;
    const float* step_;
    int glyphIndex_;
    bool additive_;
    bool vertical_;
    std::function<void()> onChange_;
    int lastX_ = 0;
    int lastY_ = 0;
    bool pressed_ = false;
};

}  // namespace lq::rec
