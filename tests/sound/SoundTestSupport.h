#pragma once
// Helpers of the sound tests: the fixture files and libmpg123's own decode of a whole file,
// which the reader's ranges are compared with.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lq::test {

std::string SoundFixture(const std::string& name);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

struct FullDecode {
    std::vector<std::vector<uint8_t>> frames;  // PCM of each frame, in order
    std::vector<int64_t> offsets;              // byte offset of each frame (libmpg123's index)
    int channels = 0;
    int rate = 0;
    int version = 0;  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5, as the reader's header fields
    int layer = 0;
};
// Decodes the whole file in feed mode with the reader's decoder settings: the reference the
// reader's ranges are held against.
FullDecode DecodeWholeFile(const std::string& path);

// How two runs of 16-bit PCM differ: the largest difference and how many values differ.
struct Difference {
    int largest = 0;
    size_t values = 0;
};
// `a` against all of `b`.
Difference Compare(const uint8_t* a, const std::vector<uint8_t>& b);
Difference Compare(const uint8_t* a, const uint8_t* b, size_t bytes);

// PCM of frames [first, end) of a full decode, back to back.
std::vector<uint8_t> Concat(const FullDecode& d, int first, int end);

}  // namespace lq::test
