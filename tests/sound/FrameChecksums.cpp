#include "tests/sound/FrameChecksums.h"

#include <mpg123.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/sound/SoundTestSupport.h"

namespace lq::test {
namespace {

uint32_t CrcStep(uint32_t crc, uint8_t byte) {
    crc ^= static_cast<uint32_t>(byte) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    return crc;
}

// The decoder libmpg123 picks for a new handle, as the reader's decoder gets it.
std::string CurrentDecoder() {
    mpg123_init();
    int err = 0;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) throw std::runtime_error("libmpg123 gives no decoder");
    const char* name = mpg123_current_decoder(mh);
    std::string decoder = name ? name : "";
    mpg123_delete(mh);
    return decoder;
}

}  // namespace

uint32_t PosixCksum(const uint8_t* data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = CrcStep(crc, data[i]);
    for (size_t n = size; n != 0; n >>= 8) crc = CrcStep(crc, static_cast<uint8_t>(n & 0xFF));
    return ~crc;
}

int FrameChecksums::Differing(int first, const uint8_t* pcm, size_t bytes) const {
    if (frameBytes == 0) return 1;
    int differing = bytes % frameBytes != 0 ? 1 : 0;
    const size_t count = bytes / frameBytes;
    for (size_t k = 0; k < count; ++k) {
        const int64_t frame = static_cast<int64_t>(first) + static_cast<int64_t>(k);
        if (frame < 0 || frame >= static_cast<int64_t>(frames.size()) ||
            PosixCksum(pcm + k * frameBytes, frameBytes) != frames[static_cast<size_t>(frame)])
            ++differing;
    }
    return differing;
}

testing::AssertionResult FrameChecksums::Same(int first, const uint8_t* pcm, size_t bytes) const {
    if (frameBytes == 0) return testing::AssertionFailure() << "no checksums";
    if (bytes % frameBytes != 0)
        return testing::AssertionFailure() << bytes << " bytes are no whole number of " << frameBytes << "-byte frames";
    std::ostringstream differing;
    int count = 0;
    for (size_t k = 0; k < bytes / frameBytes; ++k) {
        if (Differing(first + static_cast<int>(k), pcm + k * frameBytes, frameBytes) == 0) continue;
        if (++count <= 8) differing << ' ' << first + static_cast<int>(k);
    }
    if (count == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << count << " frames differ from the reference decode:" << differing.str()
                                       << (count > 8 ? " ..." : "");
}

FrameChecksums LoadChecksums(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    FrameChecksums c;
    size_t declared = 0;
    int column = -1;
    const std::string decoder = CurrentDecoder();
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "mpeg") fields >> c.mpeg;
        else if (key == "layer") fields >> c.layer;
        else if (key == "rate") fields >> c.rate;
        else if (key == "channels") fields >> c.channels;
        else if (key == "frame-bytes") fields >> c.frameBytes;
        else if (key == "frames") fields >> declared;
        else if (key == "decoders") {
            std::vector<std::string> names;
            for (std::string name; fields >> name;) names.push_back(name);
            fields.clear();
            const auto it = std::find(names.begin(), names.end(), decoder);
            if (it == names.end())
                throw std::runtime_error(path + ": no checksums for libmpg123's decoder " + decoder +
                                         " (tests/sound/fixtures/make-checksums.sh writes them)");
            column = static_cast<int>(it - names.begin());
        } else {
            if (column < 0) throw std::runtime_error(path + ": checksums before the decoders line");
            std::string value = key;
            for (int k = 0; k < column; ++k) fields >> value;
            c.frames.push_back(static_cast<uint32_t>(std::stoul(value)));
        }
        if (fields.fail()) throw std::runtime_error(path + ": bad line: " + line);
    }
    if (c.rate <= 0 || c.channels <= 0 || c.frameBytes == 0 || c.frames.size() != declared || c.mpeg.empty() ||
        c.layer.empty())
        throw std::runtime_error(path + ": incomplete");
    return c;
}

FrameChecksums FixtureChecksums(const std::string& name) { return LoadChecksums(SoundFixture(name) + ".cksums"); }

}  // namespace lq::test
