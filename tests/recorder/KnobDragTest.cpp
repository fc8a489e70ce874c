// The drag knobs' arithmetic: steps per pixel, direction, the left-button rule, the glyphs.
#include <gtest/gtest.h>

#include <cmath>

#include "recorder/KnobDrag.h"

namespace lq {
namespace {

using rec::ApplyKnobSteps;
using rec::KnobDrag;

TEST(KnobSteps, Table) {
    const float zoom = 1.03f;
    const float width = 2e6f;
    struct Case {
        const char* name;
        float value;
        const float* step;
        bool additive, vertical;
        int delta;
        double expected;
    };
    const Case cases[] = {
        {"zoom 10 px right divides", 3e6f, &zoom, false, false, 10, 3e6 / std::pow(1.03, 10)},
        {"zoom 10 px left multiplies", 3e6f, &zoom, false, false, -10, 3e6 * std::pow(1.03, 10)},
        {"position 10 px right", 1e6f, &width, true, false, 10, 1e6 - 100000},
        {"position 10 px left", 1e6f, &width, true, false, -10, 1e6 + 100000},
        {"vertical adding down", 1.0f, &width, true, true, 3, 1.0 + 3 * 0.005 * 2e6},
        {"vertical adding up", 1.0f, &width, true, true, -3, 1.0 - 3 * 0.005 * 2e6},
        {"vertical multiplying down", 200.0f, &zoom, false, true, 2, 200 * 1.03 * 1.03},
        {"vertical multiplying up", 200.0f, &zoom, false, true, -2, 200 / 1.03 / 1.03},
        {"no motion", 7.0f, &zoom, false, false, 0, 7.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const float v = ApplyKnobSteps(c.value, *c.step, c.additive, c.vertical, c.delta);
        EXPECT_NEAR(v, c.expected, std::abs(c.expected) * 1e-5 + 1e-6);
    }
    // Ten pixels right and back restore the width up to float rounding.
    const float there = ApplyKnobSteps(3e6f, zoom, false, false, 10);
    EXPECT_NEAR(there / 3e6f, 0.7441, 1e-4);
    EXPECT_NEAR(ApplyKnobSteps(there, zoom, false, false, -10), 3e6f, 3e6f * 1e-5f);
}

TEST(KnobDrag, LeftButtonRuleAndChangeCalls) {
    float value = 100.0f;
    const float step = 1.03f;
    int changes = 0;
    KnobDrag knob(&value, &step, 2, false, false, [&] { ++changes; });
    EXPECT_EQ(knob.Glyph(), 2);
    // A move without the button: nothing.
    knob.Move(false, 50, 0);
    EXPECT_EQ(changes, 0);
    EXPECT_FLOAT_EQ(value, 100.0f);
    // A right-button press does not take the knob.
    knob.Press(false, 10, 0);
    EXPECT_FALSE(knob.Pressed());
    knob.Press(true, 10, 0);
    EXPECT_TRUE(knob.Pressed());
    EXPECT_EQ(knob.Glyph(), 3);
    // A held move without a coordinate change: one call, value unchanged.
    knob.Move(true, 10, 40);
    EXPECT_EQ(changes, 1);
    EXPECT_FLOAT_EQ(value, 100.0f);
    knob.Move(true, 11, 40);
    EXPECT_EQ(changes, 2);
    EXPECT_NEAR(value, 100.0f / 1.03f, 1e-3);
    knob.Release();
    EXPECT_EQ(knob.Glyph(), 2);
    knob.Move(true, 30, 0);  // a held button that was not pressed on the knob
    EXPECT_EQ(changes, 2);
}

TEST(KnobDrag, VerticalKnobFollowsY) {
    float value = 200.0f;
    const float step = 1.03f;
    KnobDrag knob(&value, &step, 0, false, true, nullptr);
    knob.Press(true, 0, 0);
    knob.Move(true, 100, 1);  // x is not followed
    EXPECT_NEAR(value, 206.0f, 1e-3);
}

}  // namespace
}  // namespace lq
