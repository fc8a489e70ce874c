// The real capture against a private PulseAudio server: the server runs on a socket of its own
// in a temporary folder with a null sink and a source remapped from the sink's monitor; a 440 Hz
// tone is played into the sink while the recorder's capture path (SDL, pulseaudio driver)
// records a marked second. The recording must hold the tone, not silence. And the program's
// player leaves the sink running only while it plays.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioCapture.h"
#include "platform/SoundPlayer.h"
#include "tests/support/SoundPlayerFake.h"
#include "recorder/RecorderModel.h"
#include "sound/WaveImage.h"
#include "tests/support/PrivatePulse.h"
#include "tests/support/TempDir.h"

// The PulseAudio client library keeps a small allocation for the whole process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }

namespace lq {
namespace {

using test::Child;
using test::FindProgram;
using test::PrivatePulse;

std::vector<uint8_t> Tone(double hz, double seconds, int rate, int amplitude) {
    const int n = static_cast<int>(seconds * rate);
    std::vector<uint8_t> img(kWaveHeaderBytes + static_cast<size_t>(n) * 2);
    WriteWaveHeader(img.data(), static_cast<uint32_t>(img.size()), 1, rate);
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
        std::memcpy(img.data() + kWaveHeaderBytes + static_cast<size_t>(i) * 2, &v, 2);
    }
    return img;
}

// The frequency between lo and hi (0.05 Hz steps) where the samples' spectrum peaks.
double PeakFrequency(const std::vector<int16_t>& s, int rate, double lo, double hi) {
    double best = lo;
    double bestPower = -1;
    for (double f = lo; f <= hi; f += 0.05) {
        double re = 0, im = 0;
        const double w = 2 * M_PI * f / rate;
        for (size_t i = 0; i < s.size(); ++i) {
            re += s[i] * std::cos(w * static_cast<double>(i));
            im += s[i] * std::sin(w * static_cast<double>(i));
        }
        const double power = re * re + im * im;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

TEST(CaptureAudio, RecordsATonePlayedIntoAPrivateServer) {
    const std::string pulseaudio = FindProgram("pulseaudio");
    const std::string paplay = FindProgram("paplay");
    if (pulseaudio.empty() || paplay.empty())
        GTEST_SKIP() << "pulseaudio or paplay is not installed (scripts/setup-deps.sh installs pulseaudio and pulseaudio-utils)";
    test::TempDir dir;
    PrivatePulse server;
    ASSERT_TRUE(server.Start(pulseaudio, dir.Path())) << test::TempDir::Read(server.LogFile());
    setenv("PULSE_SERVER", ("unix:" + server.Socket()).c_str(), 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    {
        // The tone goes into the sink through the program's own player.
        // paplay asks for a short latency, so the null sink hands its monitor small blocks.
        const auto tone = Tone(440.0, 8.0, 11025, 16000);
        std::ofstream(dir.File("tone.wav"), std::ios::binary)
            .write(reinterpret_cast<const char*>(tone.data()), static_cast<std::streamsize>(tone.size()));
        Child tonePlayer;
        ASSERT_TRUE(tonePlayer.Spawn({paplay, "--latency-msec=20", "-d", "vsink", dir.File("tone.wav")}, server.ClientEnv()));
        // A null sink that has just started renders its first two seconds in one block; the
        // monitor follows the tone's short latency after that.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        ASSERT_FALSE(tonePlayer.Exited());

        SdlAudioCapture capture;
        rec::SteadyRecorderClock clock;
        FakeSoundPlayer player;
        rec::RecorderModel model(capture, clock, player);
        model.Show(nullptr, 0, 2000.0f);
        model.MarkerStart = 0.0f;
        model.MarkerEnd = 1.5e6f;
        model.StartRecording();
        ASSERT_TRUE(model.Recording()) << model.LabelText() << " " << capture.LastError();
        EXPECT_EQ(model.LabelText(), "R");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (model.Recording() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
            model.Tick();
        }
        model.FinishRecording();
        const int64_t count = model.Plan().count;
        ASSERT_EQ(count, 16537);
        EXPECT_GT(model.WrittenBytes(), count);  // at least half of the segment arrived
        std::vector<int16_t> samples;
        const auto& r = model.Record();
        for (int64_t i = 0; i < model.WrittenBytes() / 2; ++i) {
            int16_t v = 0;
            std::memcpy(&v, r.data() + kWaveHeaderBytes + static_cast<size_t>(i) * 2, 2);
            samples.push_back(v);
        }
        // Skip the first 0.2 s (the stream's start), then it is the tone, not silence.
        ASSERT_GT(samples.size(), 2205u + 5512u);
        std::vector<int16_t> steady(samples.begin() + 2205, samples.end());
        int peak = 0;
        for (int16_t v : steady) peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_GT(peak, 4000);
        const double hz = PeakFrequency(steady, 11025, 400.0, 480.0);
        EXPECT_NEAR(hz, 440.0, 3.0);
        RecordProperty("peak_frequency", std::to_string(hz));
        std::printf("recorded %zu samples, peak %d, %.2f Hz\n", samples.size(), peak, hz);
    }
    unsetenv("PULSE_SERVER");
}

// A sentence makes the sink run; once it has ended the player's stream is gone and the sink
// falls idle (and, with the server's suspend-on-idle, suspends), for as long as nothing plays.
TEST(CaptureAudio, ThePlayersStreamEndsWithTheSound) {
    const std::string pulseaudio = FindProgram("pulseaudio");
    if (pulseaudio.empty() || FindProgram("pactl").empty())
        GTEST_SKIP() << "pulseaudio or pactl is not installed (scripts/setup-deps.sh installs pulseaudio and pulseaudio-utils)";
    test::TempDir dir;
    PrivatePulse server;
    ASSERT_TRUE(server.Start(pulseaudio, dir.Path(), "load-module module-suspend-on-idle timeout=1\n"))
        << test::TempDir::Read(server.LogFile());
    setenv("PULSE_SERVER", ("unix:" + server.Socket()).c_str(), 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    {
        SdlSoundPlayer player;
        const auto tone = Tone(440.0, 0.6, 11025, 8000);
        ASSERT_TRUE(player.Play(tone.data(), tone.size()));
        const auto waitFor = [&](const std::function<bool()>& done) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!done() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return done();
        };
        EXPECT_TRUE(waitFor([&] { return server.SinkState() == "RUNNING"; }));
        ASSERT_TRUE(waitFor([&] { return !player.DeviceOpen(); }));
        EXPECT_TRUE(waitFor([&] { return server.SinkState() == "SUSPENDED"; })) << server.SinkState();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(server.SinkState(), "SUSPENDED");
    }
    unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace lq
