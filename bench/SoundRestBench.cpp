// The sound device between sounds, through the program's own player and play timer (a 200-ms
// QTimer driving PlayScheduler, as the main window does):
//   latency  SDL's disk driver: from Next (Stop and a reset of the last play) to the first sample
//            of the new sentence in the driver's file, split into the wait for the timer's tick
//            and the player's part; once with the previous sentence still playing, once after it
//            has ended 1.5 s before.
//   rest     a private PulseAudio server with a null sink: two plays with sound on, then sound off;
//            from 4 s after that, the process's wake-ups per second (context switches of all its
//            threads) and the sink's state. Goal: under 15 a second, the sink not RUNNING.
//            Also how long each Play call took (one that opens the device).
//            Skipped when pulseaudio is not installed.
// Usage: bench_sound_rest [latency|rest]   (both without an argument)
#include <QCoreApplication>
#include <QTimer>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "learn/PlayScheduler.h"
#include "platform/SoundPlayer.h"
#include "sound/WaveImage.h"
#include "tests/support/PrivatePulse.h"

namespace {

using lq::MonotonicMs;

int64_t MonotonicUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// `seconds` of 44100 Hz stereo whose every sample is `value` (a trial's mark in the output).
std::vector<uint8_t> Level(int16_t value, double seconds) {
    const size_t n = static_cast<size_t>(seconds * 44100) * 2;
    std::vector<uint8_t> image(lq::kWaveHeaderBytes + n * 2);
    lq::WriteWaveHeader(image.data(), static_cast<uint32_t>(image.size()), 2, 44100);
    for (size_t i = 0; i < n; ++i) std::memcpy(image.data() + lq::kWaveHeaderBytes + i * 2, &value, 2);
    return image;
}

// Follows the disk driver's file (rewritten from the start at each opening of the device) and
// notes when a sample of the awaited value first appears in it.
class FileWatcher {
public:
    explicit FileWatcher(std::string path) : path_(std::move(path)), thread_([this] { Run(); }) {}
    ~FileWatcher() {
        quit_ = true;
        thread_.join();
    }
    void Await(int16_t value) {
        seenUs_ = 0;
        want_ = value;
    }
    int64_t SeenUs() const { return seenUs_; }

private:
    void Run() {
        std::vector<char> buf;
        off_t offset = 0;
        while (!quit_) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            struct stat st {};
            if (stat(path_.c_str(), &st) != 0) continue;
            if (st.st_size < offset) offset = 0;
            const off_t end = st.st_size & ~static_cast<off_t>(1);
            if (end <= offset) continue;
            std::ifstream in(path_, std::ios::binary);
            in.seekg(offset);
            buf.resize(static_cast<size_t>(end - offset));
            in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
            const size_t got = static_cast<size_t>(in.gcount()) & ~static_cast<size_t>(1);
            const int16_t want = want_;
            if (want != 0 && seenUs_ == 0) {
                for (size_t i = 0; i < got; i += 2) {
                    int16_t v = 0;
                    std::memcpy(&v, buf.data() + i, 2);
                    if (v == want) {
                        seenUs_ = MonotonicUs();
                        break;
                    }
                }
            }
            offset += static_cast<off_t>(got);
        }
    }

    std::string path_;
    std::atomic<bool> quit_{false};
    std::atomic<int16_t> want_{0};
    std::atomic<int64_t> seenUs_{0};
    std::thread thread_;
};

struct Stats {
    double mean = 0, max = 0;
};
Stats Of(const std::vector<double>& v) {
    Stats s;
    for (double x : v) {
        s.mean += x / static_cast<double>(v.size());
        s.max = std::max(s.max, x);
    }
    return s;
}

// One series of steps: Next at 20..180 ms after a tick of the timer, `gapMs` after the sentence
// before it started to sound.
void LatencySeries(QCoreApplication& app, const char* title, int gapMs, int trials, int16_t firstValue) {
    lq::SdlSoundPlayer player;
    lq::PlayScheduler scheduler;
    FileWatcher watcher(std::getenv("SDL_DISKAUDIOFILE"));
    std::vector<std::vector<uint8_t>> images;
    for (int k = 0; k <= trials; ++k) images.push_back(Level(static_cast<int16_t>(firstValue + 7 * k), 1.0));
    int k = 0;  // the sentence the timer plays
    int64_t nextUs = 0, playUs = 0;
    bool armed = false;  // Next is due at a phase of the next tick
    std::vector<double> toTick, toSample, total;
    QTimer timer1;
    timer1.setInterval(200);
    QObject::connect(&timer1, &QTimer::timeout, [&] {
        scheduler.Tick(true, true, 600000, 1000.0f, MonotonicMs, [&] {
            playUs = MonotonicUs();
            player.Play(images[static_cast<size_t>(k)].data(), images[static_cast<size_t>(k)].size(), lq::PlayMode::NoStop);
        });
        if (!armed) return;
        armed = false;
        QTimer::singleShot(20 + 40 * (k % 5), Qt::PreciseTimer, [&] {  // the learner presses Next
            ++k;
            nextUs = MonotonicUs();
            watcher.Await(static_cast<int16_t>(firstValue + 7 * k));
            player.Stop();
            scheduler.Reset();
        });
    });
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (nextUs == 0 || watcher.SeenUs() == 0) return;
        toTick.push_back(static_cast<double>(playUs - nextUs) / 1000.0);
        toSample.push_back(static_cast<double>(watcher.SeenUs() - playUs) / 1000.0);
        total.push_back(static_cast<double>(watcher.SeenUs() - nextUs) / 1000.0);
        const int64_t started = playUs;
        nextUs = 0;
        if (static_cast<int>(total.size()) == trials) {
            app.quit();
            return;
        }
        const int wait = std::max(0, gapMs - static_cast<int>((MonotonicUs() - started) / 1000));
        QTimer::singleShot(wait, [&] { armed = true; });
    });
    timer1.start();
    poll.start();
    // The first sentence plays at the first tick; the series starts after it.
    QTimer::singleShot(gapMs + 200, [&] { armed = true; });
    app.exec();
    const Stats a = Of(toTick), b = Of(toSample), c = Of(total);
    std::printf("%-34s Next->tick %6.1f ms (max %6.1f)  play->first sample %6.1f ms (max %6.1f)  Next->first sample %6.1f ms (max %6.1f)  [%d steps]\n",
                title, a.mean, a.max, b.mean, b.max, c.mean, c.max, trials);
}

void Latency(QCoreApplication& app) {
    char dir[] = "/tmp/lq-sound-rest-XXXXXX";
    if (!mkdtemp(dir)) return;
    const std::string file = std::string(dir) + "/out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    LatencySeries(app, "disk, previous sentence playing:", 300, 20, 1000);
    LatencySeries(app, "disk, previous ended 1.5 s before:", 2500, 20, 3000);
    std::remove(file.c_str());
    rmdir(dir);
}

// Context switches of all the process's threads so far.
long long Switches() {
    long long total = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0;
    while (dirent* e = readdir(tasks)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream status(std::string("/proc/self/task/") + e->d_name + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::atoll(line.c_str() + line.find(':') + 1);
    }
    closedir(tasks);
    return total;
}

int Rest(QCoreApplication& app) {
    const std::string program = lq::test::FindProgram("pulseaudio");
    if (program.empty()) {
        std::printf("rest: skipped (pulseaudio is not installed)\n");
        return 0;
    }
    char dir[] = "/tmp/lq-sound-rest-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    int rc = 0;
    {
        lq::test::PrivatePulse server;
        if (!server.Start(program, dir, "load-module module-suspend-on-idle timeout=1\n")) {
            std::printf("rest: the private PulseAudio server did not start (see %s)\n", server.LogFile().c_str());
            return 1;
        }
        setenv("PULSE_SERVER", ("unix:" + server.Socket()).c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        lq::SdlSoundPlayer player;
        lq::PlayScheduler scheduler;
        const std::vector<uint8_t> sentence = Level(3000, 1.5);
        bool soundOn = true;
        QTimer timer1;
        timer1.setInterval(200);
        int plays = 0;
        std::vector<double> playMs;  // how long each Play call took (an opening of the device)
        QObject::connect(&timer1, &QTimer::timeout, [&] {
            scheduler.Tick(true, soundOn, 2000, 1500.0f, MonotonicMs, [&] {
                const int64_t from = MonotonicUs();
                plays += player.Play(sentence.data(), sentence.size(), lq::PlayMode::NoStop) ? 1 : 0;
                playMs.push_back(static_cast<double>(MonotonicUs() - from) / 1000.0);
            });
        });
        timer1.start();
        long long before = 0;
        int64_t fromMs = 0;
        std::string stateAtStart;
        QTimer::singleShot(5000, [&] { soundOn = false; });  // after two plays
        QTimer::singleShot(9000, [&] {
            stateAtStart = server.SinkState();
            before = Switches();
            fromMs = MonotonicMs();
        });
        QTimer::singleShot(14000, [&] { app.quit(); });
        app.exec();
        const double seconds = static_cast<double>(MonotonicMs() - fromMs) / 1000.0;
        const double perSecond = static_cast<double>(Switches() - before) / seconds;
        const std::string state = server.SinkState();
        const bool met = perSecond < 15.0 && state != "RUNNING" && !state.empty();
        std::printf("rest (pulseaudio null sink, %d plays, sound off 4 s before): %.1f wake-ups/s over %.1f s; sink %s at the start, %s at the end: goal %s\n",
                    plays, perSecond, seconds, stateAtStart.c_str(), state.c_str(), met ? "met" : "MISSED");
        std::printf("rest: Play calls took");
        for (double ms : playMs) std::printf(" %.1f", ms);
        std::printf(" ms\n");
        rc = met ? 0 : 2;
        unsetenv("PULSE_SERVER");
    }
    std::filesystem::remove_all(dir);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string what = argc > 1 ? argv[1] : "";
    int rc = 0;
    if (what.empty() || what == "latency") Latency(app);
    if (what.empty() || what == "rest") rc = Rest(app);
    return rc;
}
