#pragma once
// The MP3 file reader: finds where a module's chain of MPEG audio frames starts (three frames in a
// row at their computed lengths), records every frame's byte offset, measures how long one frame
// lasts, and decodes a range of frames to signed 16-bit PCM with libmpg123 in feed mode. An ID3v2
// tag is skipped by its declared size before frames are looked for (a cover picture may hold bytes
// that look like frames); where the chain breaks (a damaged spot, two files joined, an ID3v1 tag
// between them) the search goes on for the next run of three frames.
//
// The frame table of a file is built once, by walking its headers through a window of the file
// read in pieces, and kept in Mp3IndexCache while the file stays as it was (path, inode, size and
// modification time); a decode reads only the bytes of its frames and their pre-roll, with pread.
//
// Positions are samples of 1/11025 s whatever the file's own rate; frame k covers
// [k * FrameDuration, (k + 1) * FrameDuration). Each range is decoded by a decoder of its own,
// primed with the frames before the range from a frame where the synthesis filter stands as in a
// decode of the whole file (and given the frame after it), so its samples are bit for bit those of
// that decode (on some MPEG-2 files a rare value stays 1 apart). A reader is not shared between
// threads: each build uses its own reader (the tables they share are read-only).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lq {

// The fields of one frame header (the first four bytes of a frame, big-endian).
struct Mp3FrameHeader {
    int Version = 0;      // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5, -1 reserved
    int Layer = 0;        // 1, 2, 3; -1 reserved
    int BitrateKbps = 0;  // 1 when the version or the layer is reserved
    int SampleRate = 0;   // Hz; 1 for a reserved version
    int Channels = 0;     // 1 or 2
    int Padding = 0;      // 0 or 1
    // Frame length in bytes without the padding byte (single precision, as the chain rule uses it).
    float Length() const;
};

// True when the four bytes at `p` (which must be inside the data) form a header the reader takes:
// sync bits, bitrate index neither 0 nor 15, sample-rate index not 3. Fills `out` then.
bool ParseMp3FrameHeader(const uint8_t* p, Mp3FrameHeader& out);

// A frame after which the chain breaks (junk, a tag, a join of two files) and goes on at the next
// run of three frames: `frame` indexes the table, and its bytes end at `end`, before the next entry.
struct Mp3ChainBreak {
    uint32_t frame = 0;
    uint32_t end = 0;
};

// What indexing a file finds: the byte offset of every frame in the chain (each one followed by a
// valid header where its length says, or by a break after which the frames go on), the breaks in
// table order, where the frame after the last one starts, the measured seconds of one frame, and
// the last header the walk parsed. Frames are numbered on across the breaks as a decoder that
// resyncs counts them, so a frame's index still counts the samples decoded before it.
struct Mp3FrameIndex {
    std::vector<uint32_t> frames;
    std::vector<Mp3ChainBreak> breaks;
    int64_t chainEnd = 0;
    float frameDuration = 0.0f;
    Mp3FrameHeader last;
};

class TMyPlayer0802 {
public:
    // The frames handed to one decode are at most this many bytes (less the last frame's length).
    static constexpr int64_t kInputWindowLimit = 786431;
    // Fewer frames than this, or a measured duration of 0, and Open fails.
    static constexpr int kMinFrames = 11;
    // Indexing reads the file in pieces of this many bytes (two frames ahead fit in one).
    static constexpr int64_t kIndexPieceBytes = 1 << 20;

    TMyPlayer0802();
    ~TMyPlayer0802();
    TMyPlayer0802(const TMyPlayer0802&) = delete;
    TMyPlayer0802& operator=(const TMyPlayer0802&) = delete;

    std::string Mp3FileName;

    // Opens Mp3FileName and takes its frame table from the cache, or builds it and measures
    // FrameDuration. False when the file cannot be read, holds no run of three frames, fewer than
    // 11 frames, or measures 0. The file stays open for DecodeRange until Close.
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

    // The bytes of the file that decoding frames [first, end) reads: from the first frame of its
    // pre-roll to the end of the frame after the range. Empty when the frames are not in the table.
    struct ByteSpan {
        int64_t begin = 0, end = 0;
    };
    ByteSpan DecodeSpan(int first, int end) const;

    bool Close();  // always true

    bool IsOpen() const { return index_ != nullptr; }
    const std::vector<uint32_t>& FrameTable() const;
    int FrameCount() const { return index_ ? static_cast<int>(index_->frames.size()) : 0; }
    float FrameDuration() const { return frameDuration_; }
    int StartFrame = 0;
    int EndFrame = 0;  // exclusive
    // The fields of the last frame header parsed.
    const Mp3FrameHeader& LastHeader() const { return last_; }

private:
    int fd_ = -1;
    std::shared_ptr<const Mp3FrameIndex> index_;
    float frameDuration_ = 0.1f;
    Mp3FrameHeader last_;
};

}  // namespace lq
