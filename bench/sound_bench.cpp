// Building one sentence's sound: a 10-second sentence at the end of a 60-minute module
// (64 kbit/s, mono, 22050 Hz) with 3 s of extra time on both sides, and the floor for the same
// work: reading the file into memory and libmpg123 decoding the same frames.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "main/Database.h"
#include "sound/Mp3Reader.h"
#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"

namespace {

constexpr float kAddTime = 3.0f;

struct Module {
    std::string programDir = LQ_BENCH_DIR "/sound";
    std::string path = programDir + "/Data/module60.mp3";
    int begin = 0, end = 0;  // the sentence, in samples of 1/11025 s
    int firstFrame = 0, endFrame = 0;
    std::vector<uint32_t> frames;

    Module() {
        std::filesystem::create_directories(programDir + "/Data");
        if (!std::filesystem::exists(path)) {
            const std::string cmd = std::string("'") + LQ_BENCH_MODULE_SCRIPT + "' '" + path + "'";
            if (std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "cannot make %s\n", path.c_str());
                std::exit(1);
            }
        }
        lq::TMyPlayer0802 reader;
        if (!reader.Open(path)) std::exit(1);
        const double seconds = reader.FrameCount() * static_cast<double>(reader.FrameDuration());
        end = static_cast<int>((seconds - 5.0) * 11025);
        begin = end - 10 * 11025;
        const lq::wave::Range r = lq::wave::WidenRange(begin, end, kAddTime);
        reader.SetRange(0, r.start);
        reader.SetRange(1, r.end);
        std::vector<uint8_t> out(lq::kSoundBufferBytes);
        reader.DecodeRange(out.data(), out.size());  // applies the clamps
        firstFrame = reader.StartFrame;
        endFrame = reader.EndFrame;
        frames = reader.FrameTable();
    }
};

const Module& TheModule() {
    static Module m;
    return m;
}

void BM_BuildItemWave(benchmark::State& state) {
    const Module& m = TheModule();
    const std::string dbPath = m.programDir + "/bench.db";
    std::filesystem::remove(dbPath);
    lq::Database db;
    if (!db.Open(dbPath)) std::exit(1);
    db.Exec("INSERT INTO sounds (ididnt, isigns, icodes, sfname) VALUES (1, 1, 0, 'module60.mp3');");
    db.Exec(lq::Sql("INSERT INTO items2 (ididnt, isound, isndbg, isndfn) VALUES (1, 1, %i, %i);", m.begin, m.end));
    std::atomic<float> addTime{kAddTime};
    lq::SoundBuilder builder(db.Handle(), addTime, m.programDir);
    lq::SoundBuffer buffer;
    for (auto _ : state) {
        builder.BuildItemWave(buffer, 1);
        benchmark::DoNotOptimize(buffer.Data());
    }
    state.counters["image_bytes"] = static_cast<double>(buffer.ImageBytes());
}
BENCHMARK(BM_BuildItemWave)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DecodeFloor(benchmark::State& state) {
    const Module& m = TheModule();
    mpg123_init();
    std::vector<uint8_t> out(lq::kSoundBufferBytes);
    for (auto _ : state) {
        // Read the whole file.
        const int fd = ::open(m.path.c_str(), O_RDONLY);
        struct stat st;
        ::fstat(fd, &st);
        auto data = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(st.st_size));
        for (off_t got = 0; got < st.st_size;) {
            const ssize_t n = ::read(fd, data.get() + got, static_cast<size_t>(st.st_size - got));
            if (n <= 0) break;
            got += n;
        }
        ::close(fd);
        // Decode the sentence's frames.
        int err = 0;
        mpg123_handle* mh = mpg123_new(nullptr, &err);
        mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD, 0);
        mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
        mpg123_open_feed(mh);
        const uint32_t from = m.frames[m.firstFrame];
        mpg123_feed(mh, data.get() + from, m.frames[m.endFrame] - from);
        size_t written = 0;
        for (;;) {
            off_t num = 0;
            unsigned char* audio = nullptr;
            size_t bytes = 0;
            const int rc = mpg123_decode_frame(mh, &num, &audio, &bytes);
            if (rc == MPG123_NEW_FORMAT) continue;
            if (rc != MPG123_OK) break;
            if (written + bytes > out.size()) break;
            std::memcpy(out.data() + written, audio, bytes);
            written += bytes;
        }
        mpg123_delete(mh);
        benchmark::DoNotOptimize(out.data());
        state.counters["pcm_bytes"] = static_cast<double>(written);
    }
}
BENCHMARK(BM_DecodeFloor)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
