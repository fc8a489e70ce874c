// The recorder without a window: header arithmetic, where a take lands, the end rule, the
// status label's error texts, segment playing and marker clicks.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/AudioCaptureFake.h"
#include "tests/support/SoundPlayerFake.h"
#include "recorder/RecorderModel.h"
#include "recorder/WaveData.h"
#include "tests/recorder/RecorderTestSupport.h"

namespace lq {
namespace {

using rec::RecorderModel;
using test::FakeRecorderClock;
using test::SampleAt;
using test::U32At;

TEST(RecordHeader, DurationGivesSamplesAndLengths) {
    struct Case {
        float durationMs;
        int64_t samples;
    };
    const Case cases[] = {{2500.0f, 38587}, {0.0f, 11025}, {-1000.0f, 0}, {-5000.0f, 0}, {60000.0f, 672525}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.durationMs);
        EXPECT_EQ(rec::RecordSampleCount(c.durationMs), c.samples);
    }
    // The image the record button writes for a 2500 ms sentence.
    FakeAudioCapture capture;
    FakeRecorderClock clock;
    FakeSoundPlayer player;
    RecorderModel m(capture, clock, player);
    const auto sentence = test::SilentSentence(11025, 1, 27562);
    m.Show(sentence.data(), sentence.size(), 2500.0f);
    m.StartRecording();
    const auto& r = m.Record();
    ASSERT_EQ(r.size(), 44u + 77174u);
    EXPECT_EQ(U32At(r, 40), 77174u);
    EXPECT_EQ(U32At(r, 4), 77210u);
    EXPECT_EQ(U32At(r, 24), 11025u);
    EXPECT_EQ(U32At(r, 28), 22050u);
    EXPECT_EQ(r[22], 1);
    EXPECT_EQ(r[32], 2);
    EXPECT_EQ(capture.openedRate, 11025);
}

class RecorderFixture : public ::testing::Test {
protected:
    void ShowSentence(int rate, int channels, int64_t frames, float durationMs) {
        sentence = test::SilentSentence(rate, channels, frames);
        m.Show(sentence.data(), sentence.size(), durationMs);
    }
    // Ticks of 120 ms with `perTick` ramp samples arriving before each, until the recording ends.
    int TickUntilEnd(int perTick, int limit = 100) {
        int ticks = 0;
        int next = 1;
        while (m.Recording() && ticks < limit) {
            capture.Deliver(FakeAudioCapture::Ramp(next, perTick));
            next += perTick;
            clock.AdvanceMs(120);
            m.Tick();
            ++ticks;
        }
        return ticks;
    }

    FakeAudioCapture capture;
    FakeRecorderClock clock;
    FakeSoundPlayer player;
    RecorderModel m{capture, clock, player};
    std::vector<uint8_t> sentence;
};

TEST_F(RecorderFixture, CapturePlacementTable) {
    // A sentence of 2500 ms: the record holds n = 38587 samples.
    struct Case {
        const char* name;
        float start, end;
        int64_t s0, count;
        bool opens;
    };
    const Case cases[] = {
        {"first second", 0.0f, 1e6f, 0, 11025, true},
        {"inside", 5e5f, 6e5f, 5512, 1102, true},
        {"equal markers", 3e5f, 3e5f, 3307, 0, true},
        {"start left of 0", -2e5f, 1e6f, 0, 11025, true},
        {"end past the record", 3e6f, 9e6f, 33075, 38587 - 33075, true},
        {"all past the record", 4e6f, 5e6f, 38587, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShowSentence(11025, 1, 27562, 2500.0f);
        // An earlier take: every sample 7.
        m.StartRecording();
        capture.Deliver(std::vector<uint8_t>(1 << 20, 7));
        m.MarkerStart = 0;
        m.MarkerEnd = 1e9f;
        m.FinishRecording();
        std::vector<uint8_t> before = m.Record();

        m.MarkerStart = c.start;
        m.MarkerEnd = c.end;
        const int opensBefore = capture.opens;
        m.StartRecording();
        EXPECT_EQ(m.Plan().s0, c.s0);
        EXPECT_EQ(m.Plan().count, c.count);
        EXPECT_EQ(capture.opens - opensBefore, c.opens ? 1 : 0);
        if (!c.opens) {
            EXPECT_EQ(m.LabelText(), rec::kNothingToRecordText);
            EXPECT_TRUE(m.RecordEnabled());
            EXPECT_FALSE(m.Recording());
            continue;
        }
        // Twice the count arrives: nothing lands past the segment.
        TickUntilEnd(static_cast<int>(std::max<int64_t>(c.count, 1)));
        EXPECT_FALSE(m.Recording());
        const auto& r = m.Record();
        ASSERT_EQ(r.size(), before.size());
        EXPECT_EQ(m.WrittenBytes(), c.count * 2);
        for (size_t i = 0; i < static_cast<size_t>(38587); ++i) {
            const auto s = static_cast<int64_t>(i);
            if (s >= c.s0 && s < c.s0 + c.count)
                ASSERT_EQ(SampleAt(r, i), static_cast<int16_t>(s - c.s0 + 1)) << i;
            else
                ASSERT_EQ(SampleAt(r, i), SampleAt(before, i)) << i;
        }
    }
}

TEST_F(RecorderFixture, SegmentOffsetsInBytes) {
    ShowSentence(11025, 1, 27562, 2500.0f);
    m.MarkerStart = 5e5f;
    m.MarkerEnd = 6e5f;
    m.StartRecording();
    EXPECT_EQ(m.Plan().s0 * 2, 11024);
    EXPECT_EQ(m.Plan().count * 2, 2204);
    m.MarkerStart = 0;
    m.MarkerEnd = 1e6f;
    m.FinishRecording();
    m.StartRecording();
    EXPECT_FLOAT_EQ(m.Plan().recLengthMs, 1000.0f);
}

TEST_F(RecorderFixture, EndRuleOnTicks) {
    ShowSentence(11025, 1, 27562, 2500.0f);
    m.MarkerStart = 0;
    m.MarkerEnd = 1e6f;
    m.StartRecording();
    EXPECT_TRUE(m.Recording());
    EXPECT_TRUE(m.LabelRed());
    EXPECT_FALSE(m.RecordEnabled());
    for (int k = 1; k <= 12; ++k) {
        clock.AdvanceMs(120);
        EXPECT_FALSE(m.Tick()) << k * 120;
    }
    EXPECT_TRUE(m.Recording());  // 1440 ms
    clock.AdvanceMs(120);
    EXPECT_TRUE(m.Tick());  // 1560 ms
    EXPECT_FALSE(m.Recording());
    EXPECT_FALSE(m.LabelRed());
    EXPECT_TRUE(m.RecordEnabled());
    EXPECT_EQ(capture.closes, 1);
    EXPECT_EQ(capture.stops, 1);
    clock.AdvanceMs(120);
    EXPECT_FALSE(m.Tick());
    EXPECT_EQ(capture.closes, 1);
}

TEST_F(RecorderFixture, EqualMarkersEndAfterHalfASecond) {
    ShowSentence(11025, 1, 27562, 2500.0f);
    m.MarkerStart = m.MarkerEnd = 2e5f;
    m.StartRecording();
    EXPECT_TRUE(m.Recording());
    EXPECT_EQ(TickUntilEnd(50), 5);  // 600 ms > 500 ms
    EXPECT_EQ(m.WrittenBytes(), 0);
    EXPECT_GT(m.ReceivedBytes(), 0);
}

TEST_F(RecorderFixture, PendingBytesAreReadBeforeClose) {
    ShowSentence(11025, 1, 27562, 2500.0f);
    m.MarkerStart = 0;
    m.MarkerEnd = 1e6f;
    m.StartRecording();
    capture.Deliver(FakeAudioCapture::Ramp(1, 300));
    m.FinishRecording();
    EXPECT_EQ(m.WrittenBytes(), 600);
    EXPECT_EQ(SampleAt(m.Record(), 299), 300);
}

TEST_F(RecorderFixture, ErrorLabelTable) {
    struct Case {
        CaptureResult open, start, close;
        const char* text;
        bool red, recordEnabledAfterPress, timer;
    };
    const Case cases[] = {
        {CaptureResult::Allocated, CaptureResult::Ok, CaptureResult::Ok, "Open MMSYSERR_ALLOCATED", true, true, false},
        {CaptureResult::BadDeviceId, CaptureResult::Ok, CaptureResult::Ok, "Open MMSYSERR_BADDEVICEID", true, true, false},
        {CaptureResult::NoDriver, CaptureResult::Ok, CaptureResult::Ok, "Open MMSYSERR_NODRIVER", true, true, false},
        {CaptureResult::NoMem, CaptureResult::Ok, CaptureResult::Ok, "Open MMSYSERR_NOMEM", true, true, false},
        {CaptureResult::BadFormat, CaptureResult::Ok, CaptureResult::Ok, "Open WAVERR_BADFORMAT", true, true, false},
        {CaptureResult::Error, CaptureResult::Ok, CaptureResult::Ok, "Open ????", true, true, false},
        {CaptureResult::InvalHandle, CaptureResult::Ok, CaptureResult::Ok, "Open ????", true, true, false},
        {CaptureResult::Ok, CaptureResult::InvalHandle, CaptureResult::Ok, "Start MMSYSERR_INVALHANDLE", true, false, true},
        {CaptureResult::Ok, CaptureResult::NoDriver, CaptureResult::Ok, "Start MMSYSERR_NODRIVER", true, false, true},
        {CaptureResult::Ok, CaptureResult::NoMem, CaptureResult::Ok, "Start MMSYSERR_NOMEM", true, false, true},
        {CaptureResult::Ok, CaptureResult::BadFormat, CaptureResult::Ok, "Start ????", true, false, true},
        {CaptureResult::Ok, CaptureResult::Ok, CaptureResult::Ok, "R", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FakeAudioCapture cap;
        cap.openResult = c.open;
        cap.startResult = c.start;
        RecorderModel model(cap, clock, player);
        model.Show(nullptr, 0, 1000.0f);
        model.MarkerEnd = 1e5f;
        model.StartRecording();
        EXPECT_EQ(model.LabelText(), c.text);
        EXPECT_EQ(model.LabelRed(), c.red);
        EXPECT_EQ(model.RecordEnabled(), c.recordEnabledAfterPress);
        EXPECT_EQ(model.Recording(), c.timer);
        // A second press while a device is pending opens nothing.
        const int opens = cap.opens;
        model.StartRecording();
        EXPECT_EQ(cap.opens, c.timer ? opens : opens + 1);
        if (c.timer) {
            for (int i = 0; i < 10 && model.Recording(); ++i) {
                clock.AdvanceMs(120);
                model.Tick();
            }
            EXPECT_FALSE(model.Recording());
            EXPECT_TRUE(model.RecordEnabled());
            EXPECT_FALSE(model.LabelRed());
            EXPECT_FALSE(cap.IsOpen());
        }
    }
    // Close texts.
    struct CloseCase {
        CaptureResult result;
        const char* text;
    };
    const CloseCase closes[] = {{CaptureResult::InvalHandle, "Close MMSYSERR_INVALHANDLE"},
                                {CaptureResult::NoDriver, "Close MMSYSERR_NODRIVER"},
                                {CaptureResult::NoMem, "Close MMSYSERR_NOMEM"},
                                {CaptureResult::StillPlaying, "Close WAVERR_STILLPLAYING"},
                                {CaptureResult::Allocated, "Close ????"}};
    for (const CloseCase& c : closes) {
        SCOPED_TRACE(c.text);
        FakeAudioCapture cap;
        cap.closeResult = c.result;
        RecorderModel model(cap, clock, player);
        model.Show(nullptr, 0, 1000.0f);
        model.StartRecording();
        model.FinishRecording();
        EXPECT_EQ(model.LabelText(), c.text);
        EXPECT_FALSE(model.LabelRed());
        EXPECT_TRUE(model.RecordEnabled());
    }
    EXPECT_EQ(rec::WaveInErrorText(rec::CaptureStep::Open, CaptureResult::Ok), "");
}

TEST_F(RecorderFixture, ShowWithoutSentenceSound) {
    const std::vector<uint8_t> zeros(kSoundBufferBytes / 64, 0);
    m.Show(zeros.data(), zeros.size(), 0.0f);
    EXPECT_EQ(m.OrigSampleCount, 0);
    EXPECT_FLOAT_EQ(m.ViewWidth, 1e6f);
    EXPECT_FLOAT_EQ(m.ViewCentre, 5e5f);
    EXPECT_FLOAT_EQ(m.MarkerStart, 0.0f);
    EXPECT_FLOAT_EQ(m.MarkerEnd, 0.0f);
    EXPECT_FALSE(m.PlayOriginal());
    EXPECT_FALSE(m.PlayRecording());
    EXPECT_TRUE(player.Calls().empty());
    const rec::WaveData w = rec::ReadWaveData(m.Record().data(), m.Record().size());
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 11025);
}

TEST_F(RecorderFixture, ShowRespectsAStereo44kSentence) {
    // 7 s at 44.1 kHz stereo: more data than the old fixed record buffer held.
    ShowSentence(44100, 2, 7 * 44100, 7000.0f);
    EXPECT_EQ(m.OrigSampleCount, 7 * 44100);
    EXPECT_EQ(m.Record().size(), 44u + 7u * 44100u * 4u);
    EXPECT_NEAR(m.MarkerEnd, 7e6f, 1.0f);
    EXPECT_NEAR(m.ViewWidth, 8e6f, 1.0f);
    m.MarkerStart = 0;
    m.MarkerEnd = 1e9f;  // past the end: up to, not including, the last frame
    ASSERT_TRUE(m.PlayRecording());
    const auto& played = player.Calls().back().image;
    EXPECT_EQ(played.size(), 44u + (7u * 44100u - 1u) * 4u);
    EXPECT_EQ(U32At(played, 24), 44100u);
    for (size_t i = 44; i < played.size(); ++i) ASSERT_EQ(played[i], 0) << i;
}

TEST(SegmentExtraction, Table) {
    // 100 frames, sample i = i + 1, at 11025 Hz: 90.70295 µs per frame.
    const auto img = test::SentenceImage(11025, 1, 100, [](int64_t i) { return static_cast<int>(i + 1); });
    const float us = 1000000.0f / 11025.0f;
    struct Case {
        const char* name;
        float start, end;
        int a, b;  // frames played [a, b); b <= a: nothing
    };
    const Case cases[] = {
        {"in range", 10.5f * us, 20.5f * us, 10, 20},
        {"end past the sound", 50.5f * us, 500 * us, 50, 99},
        {"start left of 0", -30 * us, 5.5f * us, 0, 5},
        {"start past the end", 150 * us, 300 * us, 0, 0},
        {"start at the last frame", 99.5f * us, 300 * us, 0, 0},
        {"reversed", 20.5f * us, 10.5f * us, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto seg = rec::ExtractSegment(img.data(), img.size(), c.start, c.end);
        if (c.b <= c.a) {
            EXPECT_TRUE(seg.empty());
            continue;
        }
        ASSERT_EQ(seg.size(), 44u + static_cast<size_t>(c.b - c.a) * 2);
        EXPECT_EQ(U32At(seg, 40), static_cast<uint32_t>(c.b - c.a) * 2);
        EXPECT_EQ(U32At(seg, 4), static_cast<uint32_t>(c.b - c.a) * 2 + 36);
        EXPECT_EQ(SampleAt(seg, 0), c.a + 1);
        EXPECT_EQ(SampleAt(seg, static_cast<size_t>(c.b - c.a - 1)), c.b);
    }
    // A header claiming more data than the image holds is read only as far as it goes.
    auto cut = img;
    cut.resize(44 + 20);
    const auto seg = rec::ExtractSegment(cut.data(), cut.size(), 0, 1e9f);
    EXPECT_EQ(seg.size(), 44u + 9u * 2u);
    EXPECT_TRUE(rec::ExtractSegment(nullptr, 0, 0, 1e6f).empty());
}

TEST_F(RecorderFixture, NoStopLeavesTheSoundingSegmentAlone) {
    sentence = test::SentenceImage(11025, 1, 11025, [](int64_t i) { return static_cast<int>(i % 1000); });
    m.Show(sentence.data(), sentence.size(), 1000.0f);
    m.MarkerStart = 0;
    m.MarkerEnd = 5e5f;
    ASSERT_TRUE(m.PlayOriginal());
    const std::vector<uint8_t> first = player.Calls().back().image;
    m.MarkerStart = 1e5f;
    EXPECT_FALSE(m.PlayOriginal());  // still playing: refused
    EXPECT_FALSE(m.PlayRecording());
    EXPECT_EQ(player.Calls().size(), 1u);
    EXPECT_EQ(player.Calls().front().image, first);
    m.StopPlaying();
    EXPECT_TRUE(m.PlayOriginal());
    EXPECT_EQ(player.Calls().size(), 2u);
    EXPECT_EQ(player.Calls().back().mode, PlayMode::NoStop);
}

TEST_F(RecorderFixture, MarkerClicks) {
    ShowSentence(11025, 1, 11025, 1000.0f);  // view 0 .. 2 s over 500 px: 4000 µs a pixel
    ASSERT_FLOAT_EQ(m.ViewWidth, 2e6f);
    struct Case {
        RecorderModel::Button button;
        int x;
        bool moved;
        float start, end;
    };
    const Case cases[] = {
        {RecorderModel::Button::Left, 50, true, 2e5f, 1e6f},
        {RecorderModel::Button::Right, 200, true, 2e5f, 8e5f},
        {RecorderModel::Button::Other, 10, false, 2e5f, 8e5f},
        {RecorderModel::Button::Right, 25, true, 1e5f, 2e5f},  // left of the start: swapped
        {RecorderModel::Button::Left, 25, true, 1e5f, 2e5f},   // equal markers stay
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m.MarkerClick(c.button, c.x, 500), c.moved);
        EXPECT_FLOAT_EQ(m.MarkerStart, c.start);
        EXPECT_FLOAT_EQ(m.MarkerEnd, c.end);
    }
    // No view width in pixels: the click is ignored.
    EXPECT_FALSE(m.MarkerClick(RecorderModel::Button::Left, 10, 0));
    EXPECT_FLOAT_EQ(m.MarkerStart, 1e5f);
}

TEST_F(RecorderFixture, ViewIsBounded) {
    ShowSentence(11025, 1, 11025, 1000.0f);
    const float cases[][2] = {{0.0f, 0.0f}, {1e-30f, 5e5f}, {INFINITY, 5e5f}, {NAN, NAN}, {1e20f, -1e30f}, {5e6f, 1e30f}};
    for (const auto& c : cases) {
        m.ViewWidth = c[0];
        m.ViewCentre = c[1];
        m.ClampView();
        EXPECT_GE(m.ViewWidth, 1e3f);
        EXPECT_LE(m.ViewWidth, 1e9f);
        EXPECT_GE(m.ViewCentre, -m.ViewWidth);
        EXPECT_LE(m.ViewCentre, m.SoundEndUs() + m.ViewWidth);
    }
}

TEST_F(RecorderFixture, ShowingAgainEndsARecordingFirst) {
    ShowSentence(11025, 1, 11025, 1000.0f);
    m.StartRecording();
    capture.Deliver(FakeAudioCapture::Ramp(1, 100));
    EXPECT_TRUE(capture.IsOpen());
    ShowSentence(11025, 1, 11025, 1000.0f);
    EXPECT_FALSE(capture.IsOpen());
    EXPECT_FALSE(m.Recording());
    EXPECT_TRUE(m.RecordEnabled());
    EXPECT_EQ(SampleAt(m.Record(), 0), 0);  // the new showing's silence
    m.StartRecording();
    m.Close();
    EXPECT_FALSE(capture.IsOpen());
    EXPECT_EQ(player.StopCount(), 1);
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

TEST(SdlCaptureErrors, OpenFailuresMapToTheLabelsCodes) {
    struct Case {
        const char* sdlError;
        const char* label;
    };
    const Case cases[] = {
        {"Device or resource busy", "Open MMSYSERR_ALLOCATED"},
        {"Too many open audio devices", "Open MMSYSERR_ALLOCATED"},
        {"Unsupported audio format", "Open WAVERR_BADFORMAT"},
        {"No such device", "Open MMSYSERR_NODRIVER"},
        {"Out of memory", "Open MMSYSERR_NOMEM"},
        {"Connection refused", "Open ????"},
        {"", "Open ????"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sdlError);
        EXPECT_EQ(rec::WaveInErrorText(rec::CaptureStep::Open, CaptureOpenResultFromSdlError(c.sdlError)), c.label);
    }
}

TEST(SdlCapture, WithoutADeviceNothingIsOpenAndCloseSaysSo) {
    SdlAudioCapture capture;  // SDL_AUDIODRIVER=dummy in the tests: no capture device
    EXPECT_EQ(capture.Start(), CaptureResult::InvalHandle);
    EXPECT_EQ(capture.Close(), CaptureResult::InvalHandle);
    uint8_t buffer[16];
    EXPECT_EQ(capture.Read(buffer, sizeof buffer), 0u);
    const CaptureResult opened = capture.Open(11025);
    if (opened == CaptureResult::Ok) {
        EXPECT_TRUE(capture.IsOpen());
        EXPECT_EQ(capture.Start(), CaptureResult::Ok);
        capture.Stop();
        EXPECT_EQ(capture.Close(), CaptureResult::Ok);
    }
    EXPECT_FALSE(capture.IsOpen());
}

}  // namespace
}  // namespace lq
