// Waveform pixels: levels, columns, joining lines, markers at and inside the view's edges, and
// images without sound.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <memory>

#include "platform/CNumbers.h"
#include "recorder/DrawWave.h"
#include "tests/recorder/RecorderTestSupport.h"

namespace lq {
namespace {

using rec::DrawWave;
using rec::TimeAxis;

// The markers' texts need the fonts of a GUI application (offscreen in the tests).
class GuiEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_recorder";
        static char* argv[] = {name, nullptr};
        if (!QGuiApplication::instance()) app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};
const auto* const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

const QColor kWave(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);

bool HasColourInColumn(const QImage& img, int x, QRgb c) {
    for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) == c) return true;
    return false;
}

TEST(DrawWave, LevelsOfSamples) {
    // One sample a column over 100 px; each level is held by 20 samples so every column sits on it.
    struct Case {
        int value;
        int y;  // -1: off the view
    };
    const Case cases[] = {{16484, 0}, {0, 55}, {8242, 27}, {-8242, 82}, {-16000, 108}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const auto img = test::SentenceImage(11025, 1, 200, [&](int64_t) { return c.value; });
        QImage view(100, 110, QImage::Format_RGB32);
        const float us = 1000000.0f / 11025.0f;
        DrawWave(view, img.data(), img.size(), kWave, -1, -1, TimeAxis{100 * us, 100 * us});
        EXPECT_EQ(view.pixel(50, c.y), kWave.rgb());
        int coloured = 0;
        for (int y = 0; y < 110; ++y) coloured += view.pixel(50, y) == kWave.rgb();
        EXPECT_EQ(coloured, 1);
    }
    // +32767 lies above the view: column 50 holds nothing of the wave.
    const auto loud = test::SentenceImage(11025, 1, 200, [](int64_t) { return 32767; });
    QImage view(100, 110, QImage::Format_RGB32);
    const float us = 1000000.0f / 11025.0f;
    DrawWave(view, loud.data(), loud.size(), kWave, -1, -1, TimeAxis{100 * us, 100 * us});
    EXPECT_FALSE(HasColourInColumn(view, 50, kWave.rgb()));
}

TEST(DrawWave, ColumnsOfManySamplesAreStrokes) {
    // 734 px showing 3 s: about 45 samples a column; 1 s of alternating +-10000.
    const auto img = test::SentenceImage(11025, 1, 11025, [](int64_t i) { return i % 2 ? -10000 : 10000; });
    QImage view(734, 110, QImage::Format_RGB32);
    DrawWave(view, img.data(), img.size(), kWave, -1, -1, TimeAxis{1.5e6f, 3e6f});
    const int yHi = TruncToInt(55 - 10000 * static_cast<float>(55 * (1.0 / 16484)));
    const int yLo = TruncToInt(55 - (-10000) * static_cast<float>(55 * (1.0 / 16484)));
    for (int x = 1; x < 244; ++x) {
        ASSERT_EQ(view.pixel(x, yHi), kWave.rgb()) << x;
        ASSERT_EQ(view.pixel(x, yLo), kWave.rgb()) << x;
    }
    // Beyond the sound's end (1 s = column 244) only the mid line's white.
    EXPECT_FALSE(HasColourInColumn(view, 400, kWave.rgb()));
}

TEST(DrawWave, SparseSamplesAreJoined) {
    // Three samples over 300 px: 0, 10000, 0 at x = 0, 100, 200 (plus one ahead).
    const auto img = test::SentenceImage(11025, 1, 4, [](int64_t i) { return i == 1 ? 10000 : 0; });
    const float us = 1000000.0f / 11025.0f;
    QImage view(300, 110, QImage::Format_RGB32);
    // viewStart just before sample 0 so that it is drawn: viewStart = -0.5 sample.
    DrawWave(view, img.data(), img.size(), kWave, -1, -1, TimeAxis{-0.5f * us + 1.5f * us, 3.0f * us});
    // Sample 1 at x = trunc(1.5 * 100) = 150, y = 55 - 10000*yScale; sample 0 at x = 50, y = 55.
    const int y1 = TruncToInt(55 - 10000 * static_cast<float>(55 * (1.0 / 16484)));
    const int xm = 100;  // halfway between x 50 and 150
    const int ym = (55 + y1) / 2;
    bool near = false;
    for (int dy = -1; dy <= 1; ++dy) near = near || view.pixel(xm, ym + dy) == kWave.rgb();
    EXPECT_TRUE(near);
}

TEST(DrawWave, PenStartsAtTheLeftEdgeWhenTheViewStartsLater) {
    const auto img = test::SentenceImage(11025, 1, 11025, [](int64_t) { return 16484; });
    QImage view(200, 110, QImage::Format_RGB32);
    DrawWave(view, img.data(), img.size(), kWave, -1, -1, TimeAxis{5e5f, 2e5f});
    EXPECT_EQ(view.pixel(0, 55), kWave.rgb());  // from (0, mid) up to the first sample
    EXPECT_EQ(view.pixel(100, 0), kWave.rgb());
}

TEST(DrawWave, MarkersOnlyStrictlyInside) {
    const auto img = test::SilentSentence(11025, 1, 11025);
    struct Case {
        float marker;
        int x;  // -1: not drawn
    };
    // View 0 .. 1e6 µs over 500 px (2000 µs a pixel).
    const Case cases[] = {{0.0f, -1}, {1e6f, -1}, {-5.0f, -1}, {2e6f, -1}, {2000.0f, 1}, {998000.0f, 499}, {250500.0f, 125}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.marker);
        QImage view(500, 110, QImage::Format_RGB32);
        DrawWave(view, img.data(), img.size(), kWave, c.marker, -1, TimeAxis{5e5f, 1e6f});
        int redColumns = 0;
        for (int x = 0; x < 500; ++x) {
            int red = 0;
            for (int y = 0; y < 110; ++y) red += view.pixel(x, y) == kRed;
            if (red > 50) {
                ++redColumns;
                EXPECT_EQ(x, c.x);
            }
        }
        EXPECT_EQ(redColumns, c.x < 0 ? 0 : 1);
    }
}

TEST(DrawWave, NoSoundGivesAWhiteViewWithMarkers) {
    const std::vector<uint8_t> zeros(1000, 0);
    QImage view(300, 110, QImage::Format_RGB32);
    DrawWave(view, zeros.data(), zeros.size(), kWave, -1, -1, TimeAxis{5e5f, 1e6f});
    for (int y = 0; y < 110; ++y)
        for (int x = 0; x < 300; ++x) ASSERT_EQ(view.pixel(x, y), kWhite);
    DrawWave(view, zeros.data(), zeros.size(), kWave, 5e5f, -1, TimeAxis{5e5f, 1e6f});
    EXPECT_EQ(view.pixel(150, 60), kRed);
    DrawWave(view, nullptr, 0, kWave, -1, -1, TimeAxis{5e5f, 1e6f});
    EXPECT_EQ(view.pixel(150, 60), kWhite);
}

TEST(DrawWave, AbsurdAxesDoNotOverflow) {
    const auto img = test::SilentSentence(11025, 1, 1000);
    QImage view(300, 110, QImage::Format_RGB32);
    const TimeAxis axes[] = {{0, 0}, {1e30f, 1e-30f}, {-1e30f, 1e9f}, {NAN, 1e6f}, {5e5f, INFINITY}};
    // None of these views shows a sample or a marker: each is repainted white, whatever it held.
    for (const TimeAxis& a : axes) {
        SCOPED_TRACE(testing::Message() << a.viewCentre << " " << a.viewWidth);
        view.fill(Qt::black);
        DrawWave(view, img.data(), img.size(), kWave, 1e29f, -1e29f, a);
        ASSERT_EQ(view.size(), QSize(300, 110));
        int notWhite = 0;
        for (int y = 0; y < 110; ++y)
            for (int x = 0; x < 300; ++x) notWhite += view.pixel(x, y) != kWhite;
        EXPECT_EQ(notWhite, 0);
    }
}

TEST(DrawWave, ColoursFromTheProgramsValues) {
    EXPECT_EQ(rec::ColourFromBgr(rec::kOrigWaveColour), QColor(0x00, 0x60, 0x40));
    EXPECT_EQ(rec::ColourFromBgr(rec::kRecordWaveColour), QColor(0, 0, 255));
    EXPECT_EQ(rec::ColourFromBgr(rec::kMarkerColour), QColor(255, 0, 0));
}

}  // namespace
}  // namespace lq
