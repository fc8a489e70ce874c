#include "tests/sound/SoundTestSupport.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/TempDir.h"

namespace lq::test {

std::string SoundFixture(const std::string& name) { return SourceDir() + "/tests/sound/fixtures/" + name; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

FullDecode DecodeWholeFile(const std::string& path) {
    mpg123_init();
    FullDecode d;
    int err = 0;
    // The offsets of every frame, from libmpg123's own scan.
    {
        mpg123_handle* mh = mpg123_new(nullptr, &err);
        mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0);
        mpg123_param(mh, MPG123_INDEX_SIZE, -1000, 0);
        if (mpg123_open(mh, path.c_str()) != MPG123_OK || mpg123_scan(mh) != MPG123_OK)
            throw std::runtime_error("libmpg123 cannot scan " + path);
        off_t* offsets = nullptr;
        off_t step = 0;
        size_t fill = 0;
        mpg123_index(mh, &offsets, &step, &fill);
        if (step != 1) throw std::runtime_error("index is not per frame");
        d.offsets.assign(offsets, offsets + fill);
        mpg123_delete(mh);
    }
    // The PCM, frame by frame, fed the whole file at once.
    const std::vector<uint8_t> bytes = ReadBytes(path);
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(mh);
    mpg123_feed(mh, bytes.data(), bytes.size());
    for (;;) {
        off_t num = 0;
        unsigned char* audio = nullptr;
        size_t n = 0;
        const int rc = mpg123_decode_frame(mh, &num, &audio, &n);
        if (rc == MPG123_NEW_FORMAT) {
            long rate = 0;
            int encoding = 0;
            mpg123_getformat(mh, &rate, &d.channels, &encoding);
            d.rate = static_cast<int>(rate);
            continue;
        }
        if (rc != MPG123_OK) break;
        if (d.frames.empty()) {
            mpg123_frameinfo info;
            if (mpg123_info(mh, &info) == MPG123_OK) {
                d.version = info.version == MPG123_1_0 ? 1 : info.version == MPG123_2_0 ? 2 : 3;
                d.layer = info.layer;
            }
        }
        d.frames.emplace_back(audio, audio + n);
    }
    mpg123_delete(mh);
    return d;
}

Difference Compare(const uint8_t* a, const uint8_t* b, size_t bytes) {
    Difference d;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        int16_t x, y;
        std::memcpy(&x, a + i, 2);
        std::memcpy(&y, b + i, 2);
        if (x == y) continue;
        ++d.values;
        d.largest = std::max(d.largest, std::abs(x - y));
    }
    return d;
}

Difference Compare(const uint8_t* a, const std::vector<uint8_t>& b) { return Compare(a, b.data(), b.size()); }

std::vector<uint8_t> Concat(const FullDecode& d, int first, int end) {
    std::vector<uint8_t> out;
    for (int i = first; i < end; ++i) out.insert(out.end(), d.frames[i].begin(), d.frames[i].end());
    return out;
}

}  // namespace lq::test
