#pragma once
// What another decoder made of a whole MP3 file, kept beside the fixture as NAME.mp3.cksums
// (written by tests/sound/fixtures/make-checksums.sh with Debian's mpg123): the stream's format
// and the POSIX cksum of each frame's PCM, for each of libmpg123's decoders (their synthesis
// filters round differently). Ranges the reader decodes are held against these.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lq::test {

// The POSIX cksum (as the cksum command prints it) of `size` bytes.
uint32_t PosixCksum(const uint8_t* data, size_t size);

struct FrameChecksums {
    std::string mpeg;   // "1.0", "2.0", "2.5"
    std::string layer;  // "I", "II", "III"
    int rate = 0;
    int channels = 0;
    size_t frameBytes = 0;
    std::vector<uint32_t> frames;  // frame 0 first

    int Version() const { return mpeg == "1.0" ? 1 : mpeg == "2.0" ? 2 : 3; }
    int Layer() const { return static_cast<int>(layer.size()); }

    // Frames of `pcm` (frame `first` of the file first) whose PCM is not the reference's; a
    // length that is not a whole number of the file's frames, or frames beyond the file's,
    // count as differing too.
    int Differing(int first, const uint8_t* pcm, size_t bytes) const;
    // Success when every frame is the reference's, else which ones differ.
    testing::AssertionResult Same(int first, const uint8_t* pcm, size_t bytes) const;
};

// Reads `path` (a .cksums file), the checksums of the decoder libmpg123 picks here; throws when it
// is missing or malformed, or holds none for that decoder.
FrameChecksums LoadChecksums(const std::string& path);
// The checksums kept beside the sound fixture `name`.
FrameChecksums FixtureChecksums(const std::string& name);

}  // namespace lq::test
