#pragma once
// The MP3 reader as it was before it kept frame tables and read only a range's bytes (see the
// .cpp): the reference that TMyPlayer0802's tables and decoded ranges must match.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/Mp3Reader.h"

namespace lq::test {

class WholeFileMp3Reader {
public:
    // The frames handed to one decode are at most this many bytes (less the last frame's length).
    static constexpr int64_t kInputWindowLimit = 786431;
    // Fewer frames than this, or a measured duration of 0, and Open fails.
    static constexpr int kMinFrames = 11;

    WholeFileMp3Reader();
    ~WholeFileMp3Reader();
    WholeFileMp3Reader(const WholeFileMp3Reader&) = delete;
    WholeFileMp3Reader& operator=(const WholeFileMp3Reader&) = delete;

    std::string Mp3FileName;

    // Reads Mp3FileName, builds the frame table and measures FrameDuration. False when the file
    // cannot be read, holds no run of three frames, fewer than 11 frames, or measures 0.
    bool Open();
    bool Open(const std::string& path) {
        Mp3FileName = path;
        return Open();
    }

    // which 0: StartFrame, else EndFrame = trunc(position * (1/11025) / FrameDuration).
    void SetRange(int which, int position);

    struct Decoded {
        bool ok = false;       // false: nothing was decoded (no file held, or the decoder failed at once)
        size_t bytes = 0;      // S, decoded bytes written to the output
        int channels = 0;      // K
        int rate = 0;          // R
    };
    // Clamps the range (EndFrame >= 20, EndFrame <= FrameCount - 1, StartFrame <= EndFrame - 10,
    // StartFrame >= 0), gathers its frames up to the input window and decodes them into `out`,
    // never writing more than `capacity` bytes: the sound ends at the last frame that fits.
    Decoded DecodeRange(uint8_t* out, size_t capacity);

    bool Close();  // always true

    bool IsOpen() const { return data_ != nullptr; }
    const std::vector<uint32_t>& FrameTable() const { return frames_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    float FrameDuration() const { return frameDuration_; }
    int StartFrame = 0;
    int EndFrame = 0;  // exclusive
    // The fields of the last frame header parsed.
    const Mp3FrameHeader& LastHeader() const { return last_; }

private:
    bool HeaderAt(int64_t pos, Mp3FrameHeader& h);
    bool FindNextHeader(int64_t pos, float length, int firstOffset, int64_t& found, Mp3FrameHeader& h);
    int64_t FindRunOfThree();
    void StartTable(int64_t start);
    void AdvanceTable();
    void IndexReadBytes();
    bool MeasureFrameDuration();
    int64_t FrameEnd(int frame) const;
    int PrerollStart(int first) const;
    Decoded DecodeFrames(int first, int end, uint8_t* out, size_t capacity) const;

    std::unique_ptr<uint8_t[]> data_;
    int64_t size_ = 0;
    int64_t readable_ = 0;         // bytes of data_ read so far
    bool starved_ = false;         // a search wanted bytes that are not read yet
    bool searchDeferred_ = false;  // the run of three is looked for once the whole file is in
    struct TableWalk {
        bool started = false, done = false;
        int64_t pos = 0;
        Mp3FrameHeader h;
        uint32_t key = 0, lengthKey = 0;
        float length = 0.0f;
    };
    TableWalk walk_;
    std::vector<uint32_t> frames_;
    int64_t chainEnd_ = 0;  // where the frame after the table's last one starts
    float frameDuration_ = 0.1f;
    Mp3FrameHeader last_;
};

}  // namespace lq::test
