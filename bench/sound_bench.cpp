// Building one sentence's sound: a 10-second sentence at the end of a module of 64 kbit/s mono
// MP3 at 22050 Hz, with 3 s of extra time on both sides.
//   BM_BuildItemWave/M  the whole build (the two queries, the module's frame table from the cache,
//                       reading and decoding the range, scaling and fades) in an M-minute module;
//                       "index_ms" is the first opening of the module, which indexes it
//   BM_BuildVsFloor/M   the build and its floor timed alternately in one process: "ratio" is build
//                       time over floor time, the floor being reading the bytes of the range and its
//                       pre-roll and decoding its frames with libmpg123
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Database.h"
#include "core/SqlText.h"
#include "sound/Mp3Decoder.h"
#include "sound/Mp3Reader.h"
#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"

namespace {

constexpr float kAddTime = 3.0f;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One module with one sentence near its end, in a lesson database of its own.
struct Module {
    std::string programDir = LQ_BENCH_DIR "/sound";
    std::string name;
    std::string path;
    int begin = 0, end = 0;  // the sentence, in samples of 1/11025 s
    int firstFrame = 0, endFrame = 0;
    lq::TMyPlayer0802::ByteSpan span;  // what the reader reads for it
    lq::Database db;
    std::atomic<float> addTime{kAddTime};
    std::unique_ptr<lq::SoundBuilder> builder;
    double indexMs = 0.0;

    explicit Module(int minutes) : name("module" + std::to_string(minutes) + ".mp3"), path(programDir + "/Data/" + name) {
        std::filesystem::create_directories(programDir + "/Data");
        if (!std::filesystem::exists(path)) {
            const std::string cmd =
                std::string("'") + LQ_BENCH_MODULE_SCRIPT + "' '" + path + "' " + std::to_string(minutes);
            if (std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "cannot make %s\n", path.c_str());
                std::exit(1);
            }
        }
        const std::string dbPath = programDir + "/bench" + std::to_string(minutes) + ".db";
        std::filesystem::remove(dbPath);
        if (!db.Open(dbPath).ok()) std::exit(1);

        // The first opening indexes the file; the builds take its table from the cache.
        lq::TMyPlayer0802 reader;
        const auto t0 = Clock::now();
        if (!reader.Open(path)) std::exit(1);
        indexMs = Ms(Clock::now() - t0);
        const double seconds = reader.FrameCount() * static_cast<double>(reader.FrameDuration());
        end = static_cast<int>((seconds - 5.0) * 11025);
        begin = end - 10 * 11025;
        db.Exec(lq::Sql("INSERT INTO sounds (ididnt, isigns, icodes, sfname) VALUES (1, 1, 0, '%q');", name.c_str()));
        db.Exec(lq::Sql("INSERT INTO items2 (ididnt, isound, isndbg, isndfn) VALUES (1, 1, %i, %i);", begin, end));
        builder = std::make_unique<lq::SoundBuilder>(db, addTime, programDir);

        const lq::wave::Range r = lq::wave::WidenRange(begin, end, kAddTime);
        reader.SetRange(0, r.start);
        reader.SetRange(1, r.end);
        std::vector<uint8_t> out(lq::kSoundBufferBytes);
        reader.DecodeRange(out.data(), out.size());  // applies the clamps
        firstFrame = reader.StartFrame;
        endFrame = reader.EndFrame;
        span = reader.DecodeSpan(firstFrame, endFrame);
    }
};

Module& TheModule(int minutes) {
    static std::map<int, std::unique_ptr<Module>> modules;
    auto& m = modules[minutes];
    if (!m) m = std::make_unique<Module>(minutes);
    return *m;
}

// The floor: read the range's bytes with its pre-roll and decode them all.
class Floor {
public:
    explicit Floor(const Module& m)
        : m_(m), fd_(::open(m.path.c_str(), O_RDONLY | O_CLOEXEC)),
          input_(static_cast<size_t>(m.span.end - m.span.begin)), out_(lq::kSoundBufferBytes) {}
    ~Floor() { ::close(fd_); }

    size_t Run() {
        if (::pread(fd_, input_.data(), input_.size(), m_.span.begin) != static_cast<ssize_t>(input_.size())) return 0;
        lq::Mp3Decoder decoder;
        mpg123_feed(decoder.get(), input_.data(), input_.size());
        size_t written = 0;
        for (;;) {
            off_t num = 0;
            unsigned char* audio = nullptr;
            size_t bytes = 0;
            const int rc = mpg123_decode_frame(decoder.get(), &num, &audio, &bytes);
            if (rc == MPG123_NEW_FORMAT) continue;
            if (rc != MPG123_OK) break;
            if (written + bytes > out_.size()) break;
            std::memcpy(out_.data() + written, audio, bytes);
            written += bytes;
        }
        benchmark::DoNotOptimize(out_.data());
        return written;
    }

private:
    const Module& m_;
    int fd_;
    std::vector<uint8_t> input_, out_;
};

void BM_BuildItemWave(benchmark::State& state) {
    Module& m = TheModule(static_cast<int>(state.range(0)));
    lq::SoundBuffer buffer;
    for (auto _ : state) {
        m.builder->BuildItemWave(buffer, 1);
        benchmark::DoNotOptimize(buffer.Data());
    }
    state.counters["image_bytes"] = static_cast<double>(buffer.ImageBytes());
    state.counters["index_ms"] = m.indexMs;
}
BENCHMARK(BM_BuildItemWave)->Arg(60)->Arg(240)->Unit(benchmark::kMillisecond);

void BM_BuildVsFloor(benchmark::State& state) {
    Module& m = TheModule(static_cast<int>(state.range(0)));
    Floor floor(m);
    lq::SoundBuffer buffer;
    Clock::duration build{}, bare{};
    size_t pcm = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        m.builder->BuildItemWave(buffer, 1);
        benchmark::DoNotOptimize(buffer.Data());
        const auto t1 = Clock::now();
        pcm = floor.Run();
        const auto t2 = Clock::now();
        build += t1 - t0;
        bare += t2 - t1;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["build_ms"] = Ms(build) / n;
    state.counters["floor_ms"] = Ms(bare) / n;
    state.counters["ratio"] = Ms(build) / Ms(bare);
    state.counters["read_bytes"] = static_cast<double>(m.span.end - m.span.begin);
    state.counters["pcm_bytes"] = static_cast<double>(pcm);
}
BENCHMARK(BM_BuildVsFloor)->Arg(60)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
