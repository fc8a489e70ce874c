// The real capture against a private PulseAudio server: the server runs on a socket of its own
// in a temporary folder with a null sink and a source remapped from the sink's monitor; a 440 Hz
// tone is played into the sink while the recorder's capture path (SDL, pulseaudio driver)
// records a marked second. The recording must hold the tone, not silence.
#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioCapture.h"
#include "platform/SoundPlayerFake.h"
#include "recorder/RecorderModel.h"
#include "sound/WaveImage.h"
#include "tests/support/TempDir.h"

// The PulseAudio client library keeps a small allocation for the whole process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }

namespace lq {
namespace {

std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t from = 0;
    while (from <= dirs.size()) {
        const size_t to = dirs.find(':', from);
        const std::string dir = dirs.substr(from, to == std::string::npos ? std::string::npos : to - from);
        const std::string candidate = dir + "/" + name;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
        if (to == std::string::npos) break;
        from = to + 1;
    }
    return {};
}

// A child process ended by its pid (terminated, then killed when it does not go).
class Child {
public:
    // The child's output goes to /dev/null (a test runner waits for its pipes to close), and the
    // child is ended with the test even when the test itself is killed.
    bool Spawn(std::vector<std::string> args, std::vector<std::string> env) {
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
            }
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        if (pid_ < 0) pid_ = 0;
        return pid_ > 0;
    }
    bool Exited() {
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) pid_ = 0;
        return pid_ <= 0;
    }
    ~Child() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (Exited()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }

private:
    pid_t pid_ = 0;
};

// A PulseAudio server of the test's own on a socket in `dir`.
class PrivatePulse {
public:
    bool Start(const std::string& program, const test::TempDir& dir) {
        runtime_ = dir.File("rt");
        mkdir(runtime_.c_str(), 0700);
        socket_ = runtime_ + "/native";
        const std::string script = dir.Write("default.pa",
            "load-module module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1\n"
            "load-module module-null-sink sink_name=vsink rate=44100\n"
            "load-module module-remap-source master=vsink.monitor source_name=vmic\n"
            "set-default-sink vsink\nset-default-source vmic\n");
        std::vector<std::string> env = {"HOME=" + dir.Path(), "PULSE_RUNTIME_PATH=" + runtime_,
                                        "XDG_RUNTIME_DIR=" + runtime_, "PATH=/usr/bin:/bin"};
        std::vector<std::string> args = {program, "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
                                         "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes",
                                         "--log-target=file:" + dir.File("pulse.log")};
        env_ = {"HOME=" + dir.Path(), "PULSE_RUNTIME_PATH=" + runtime_, "XDG_RUNTIME_DIR=" + runtime_,
                "PULSE_SERVER=unix:" + socket_, "PATH=/usr/bin:/bin"};
        if (!server_.Spawn(args, env)) return false;
        // The socket appears once the modules are loaded.
        for (int i = 0; i < 100; ++i) {
            struct stat st {};
            if (stat(socket_.c_str(), &st) == 0) return true;
            if (server_.Exited()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // The environment of a client of this server.
    const std::vector<std::string>& ClientEnv() const { return env_; }
    const std::string& Socket() const { return socket_; }

private:
    Child server_;
    std::string runtime_;
    std::string socket_;
    std::vector<std::string> env_;
};

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
    ASSERT_TRUE(server.Start(pulseaudio, dir)) << test::TempDir::Read(dir.File("pulse.log"));
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

}  // namespace
}  // namespace lq
