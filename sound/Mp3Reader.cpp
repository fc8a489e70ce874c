#include "sound/Mp3Reader.h"

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "platform/CNumbers.h"
#include "sound/Mp3Decoder.h"
#include "sound/Mp3IndexCache.h"

namespace lq {
namespace {

// kbit/s by bitrate index 1..14 (index 0 unused): MPEG-1 layers I, II, III, then the
// low-sampling-frequency rows of MPEG-2 and 2.5 (layer I, layers II and III).
constexpr int kBitrateV1[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
};
constexpr int kBitrateLsf[2][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr int kSampleRate[3][3] = {
    {44100, 48000, 32000},  // MPEG-1
    {22050, 24000, 16000},  // MPEG-2
    {11025, 12000, 8000},   // MPEG-2.5
};

// The frame at or before `frame` (>= 0) that is a whole number of synthesis ring turns from frame 0.
int AlignToSynthesisRing(int frame, int framesPerTurn) {
    return frame - frame % framesPerTurn;
}


// Reads `count` bytes at `offset` (short reads and EINTR handled); the bytes read, fewer at the
// end of the file or on an error.
int64_t PreadAll(int fd, uint8_t* to, int64_t count, int64_t offset) {
    int64_t got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd, to + got, static_cast<size_t>(count - got), static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    return got;
}

// The bytes one decode feeds, kept per thread (the sound thread and the user-interface thread
// build) so that a build does not allocate them again.
uint8_t* InputScratch(size_t bytes) {
    thread_local std::unique_ptr<uint8_t[]> buffer;
    thread_local size_t capacity = 0;
    if (bytes > capacity) {
        capacity = std::max(bytes, size_t{1} << 20);
        buffer = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    }
    return buffer.get();
}

// The bits of a header that decide its fields other than padding: a header with the same key
// as the one before it has the same version, layer, bitrate, rate and channel count.
uint32_t HeaderKey(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2] & ~0x02) << 8 | (p[3] & 0xC0);
}

// A window on a file, read with pread in pieces: the index walks the file forward and looks at
// most two frames ahead (a frame is at most 144,000 bytes), so one piece in memory serves it. A
// read that ends early means the file is shorter than it said; its size is lowered to it.
class FileWindow {
public:
    static constexpr int64_t kBack = 4096;  // kept before a requested position, for short steps back
    static_assert(TMyPlayer0802::kIndexPieceBytes >= kBack + 2 * 144000 + 16, "two frames ahead must fit");

    FileWindow(int fd, int64_t size)
        : fd_(fd), size_(size), buffer_(std::make_unique_for_overwrite<uint8_t[]>(
                                     static_cast<size_t>(std::min(size, TMyPlayer0802::kIndexPieceBytes)) + 1)) {}

    int64_t Size() const { return size_; }
    bool Shrunk() const { return shrunk_; }

    // The bytes [pos, pos + count) (count at most a piece less kBack), or null when they do not
    // all lie in the file.
    const uint8_t* At(int64_t pos, int64_t count) {
        if (pos < 0 || pos + count > size_) return nullptr;
        if (pos < start_ || pos + count > end_) {
            Fill(pos);
            if (pos < start_ || pos + count > end_) return nullptr;
        }
        return buffer_.get() + (pos - start_);
    }

private:
    void Fill(int64_t pos) {
        start_ = std::max<int64_t>(0, pos - kBack);
        const int64_t want = std::min(TMyPlayer0802::kIndexPieceBytes, size_ - start_);
        const int64_t got = PreadAll(fd_, buffer_.get(), want, start_);
        end_ = start_ + got;
        if (got < want) {
            size_ = end_;
            shrunk_ = true;
        }
    }

    int fd_;
    int64_t size_;
    std::unique_ptr<uint8_t[]> buffer_;
    int64_t start_ = 0, end_ = 0;
    bool shrunk_ = false;
};

// Finds the chain of frames in a file and records its table: the positions are tried in the same
// order, against the same bytes, as if the whole file were in memory.
class ChainWalk {
public:
    ChainWalk(int fd, int64_t size) : window_(fd, size) {}

    bool Shrunk() const { return window_.Shrunk(); }
    int64_t Size() const { return window_.Size(); }
    bool SawHeader() const { return sawHeader_; }
    const Mp3FrameHeader& Last() const { return last_; }

    // The table from the first run of three frames; false when there is no such run.
    bool Index(Mp3FrameIndex& out) {
        const int64_t start = FindRunOfThree(0, window_.Size() - 4000);
        if (start < 0) return false;
        Walk(start, out);
        out.last = last_;
        return true;
    }

private:
    bool HeaderAt(int64_t pos, Mp3FrameHeader& h) {
        const uint8_t* p = window_.At(pos, 4);
        if (!p || !ParseMp3FrameHeader(p, h)) return false;
        last_ = h;
        sawHeader_ = true;
        return true;
    }

    // The next header at trunc(pos + length) + firstOffset, ... while below pos + length + 4.
    bool FindNextHeader(int64_t pos, float length, int firstOffset, int64_t& found, Mp3FrameHeader& h) {
        const double from = static_cast<double>(pos) + static_cast<double>(length);
        const double limit = from + 4.0;
        if (!(from < static_cast<double>(window_.Size()))) return false;
        for (int64_t q = static_cast<int64_t>(from) + firstOffset; static_cast<double>(q) < limit; ++q) {
            if (HeaderAt(q, h)) {
                found = q;
                return true;
            }
        }
        return false;
    }

    // The bytes of the ID3v2 tag at `pos` (its header, the syncsafe size it declares and a footer
    // when the flags say so), or 0 when none starts there or it would end beyond the file.
    int64_t TagAt(int64_t pos) {
        const uint8_t* p = window_.At(pos, 10);
        if (!p || p[0] != 'I' || p[1] != 'D' || p[2] != '3' || p[3] == 0xFF || p[4] == 0xFF ||
            ((p[6] | p[7] | p[8] | p[9]) & 0x80) != 0)
            return 0;
        const int64_t size = static_cast<int64_t>(p[6]) << 21 | static_cast<int64_t>(p[7]) << 14 |
                             static_cast<int64_t>(p[8]) << 7 | p[9];
        const int64_t length = 10 + size + (p[3] >= 4 && (p[5] & 0x10) != 0 ? 10 : 0);
        return pos + length <= window_.Size() ? length : 0;
    }

    // The first position from `pos` on, tried while below `lastStart`, from which three frames
    // follow one another at their computed lengths; ID3v2 tags met on the way are stepped over.
    int64_t FindRunOfThree(int64_t pos, int64_t lastStart) {
        const int64_t n = window_.Size();
        do {
            Mp3FrameHeader first, second, third;
            while (pos < n - 4) {
                const int64_t tag = TagAt(pos);
                if (tag == 0 && HeaderAt(pos, first)) break;
                pos += std::max<int64_t>(tag, 1);
            }
            if (pos < n - 4) {
                int64_t at2 = 0, at3 = 0;
                if (FindNextHeader(pos, first.Length(), 0, at2, second) &&
                    FindNextHeader(at2, second.Length(), 0, at3, third))
                    return pos;
            }
            ++pos;
        } while (pos < lastStart);
        return -1;
    }

    // Where the chain goes on after the frame at `pos`, whose bytes would end at `end`, is followed
    // by no header: the next run of three frames, searched from the byte after `pos` (the frame
    // may have been cut short), or from after an ID3v1 tag that ends the frame. -1 when there is
    // none; the last header parsed is then the one it was before the search.
    int64_t FindRunAfterBreak(int64_t pos, int64_t end) {
        const Mp3FrameHeader before = last_;
        const uint8_t* tag = window_.At(end, 3);
        const int64_t from = tag && std::memcmp(tag, "TAG", 3) == 0 && end + 128 <= window_.Size() ? end + 128 : pos + 1;
        const int64_t found = FindRunOfThree(from, window_.Size() - 4);
        if (found < 0) last_ = before;
        return found;
    }

    // Every frame that is followed by a valid header where its length says; where none follows,
    // the walk goes on at the next run of three frames, and the frame before the break is kept when
    // it ends before that run. The walk goes on while pos < n - L, L being the length of the frame
    // just added.
    void Walk(int64_t start, Mp3FrameIndex& out) {
        out.frames.clear();
        out.breaks.clear();
        out.chainEnd = start;
        Mp3FrameHeader h;
        if (!HeaderAt(start, h)) return;
        const int64_t size = window_.Size();
        const double n = static_cast<double>(size);
        out.frames.reserve(static_cast<size_t>(size / std::max(1.0f, h.Length())) + 16);
        uint32_t key = HeaderKey(window_.At(start, 4));
        uint32_t lengthKey = key;
        float length = h.Length();
        int64_t pos = start;
        for (;;) {
            const double from = static_cast<double>(pos) + static_cast<double>(length);
            // Most frames repeat the header before them but for padding: take the fast road then.
            int64_t next = static_cast<int64_t>(from) + h.Padding;
            const uint8_t* p = nullptr;
            if (from < n && next + 4 <= size && static_cast<double>(next) < from + 4.0 &&
                (p = window_.At(next, 4)) != nullptr && HeaderKey(p) == key) {
                h.Padding = (p[2] >> 1) & 0x01;
                last_ = h;
            } else if (FindNextHeader(pos, length, h.Padding, next, h)) {
                key = HeaderKey(window_.At(next, 4));
            } else {
                const int64_t end = static_cast<int64_t>(from) + h.Padding;
                const int64_t resume = FindRunAfterBreak(pos, end);
                if (resume < 0 || !HeaderAt(resume, h)) break;
                if (resume >= end) {
                    out.breaks.push_back({static_cast<uint32_t>(out.frames.size()), static_cast<uint32_t>(end)});
                    out.frames.push_back(static_cast<uint32_t>(pos));
                    out.chainEnd = end;
                }
                pos = resume;
                key = lengthKey = HeaderKey(window_.At(pos, 4));
                length = h.Length();
                continue;
            }
            out.frames.push_back(static_cast<uint32_t>(pos));
            out.chainEnd = next;
            if (!(static_cast<double>(next) < n - static_cast<double>(length))) break;
            pos = next;
            if (key != lengthKey) {
                length = h.Length();
                lengthKey = key;
            }
        }
    }

    FileWindow window_;
    Mp3FrameHeader last_;
    bool sawHeader_ = false;
};

int64_t FrameEnd(const Mp3FrameIndex& index, int frame) {
    if (!index.breaks.empty()) {
        const auto at = std::lower_bound(index.breaks.begin(), index.breaks.end(), frame,
                                         [](const Mp3ChainBreak& b, int f) { return static_cast<int64_t>(b.frame) < f; });
        if (at != index.breaks.end() && static_cast<int64_t>(at->frame) == frame) return at->end;
    }
    return frame + 1 < static_cast<int>(index.frames.size()) ? static_cast<int64_t>(index.frames[frame + 1])
                                                              : index.chainEnd;
}

// Where a fresh decoder must start so that frame `first` and the ones after it come out as in a
// decode of the whole file. Layer III frames take part of their data from earlier frames (the bit
// reservoir: at most 511 bytes back for MPEG-1, 255 for the other versions), and the first output
// of a frame overlaps the output of the frame before; at the low sampling frequencies a frame is a
// single granule, so the frame before that still shapes the synthesis filter's state. Those frames
// must be decoded from complete data, so the decoder starts early enough to hold their reservoir,
// and one frame earlier still.
//
// libmpg123's synthesis filter writes each block of 32 samples into a ring of 16 places, one place
// on per block, and the rounding of a sample depends on where in the ring it lands. A decode of the
// whole file starts at frame 0, so the start is also moved back to a frame whose block count from
// frame 0 is a multiple of 16: there a fresh decoder's ring stands where the whole-file decode's
// stands, and the samples match bit for bit. (On some MPEG-2 files libmpg123 keeps a further trace
// of where it started, which no start frame undoes: a rare value, one in tens of thousands, comes
// out 1 apart.)
int PrerollStart(int fd, const Mp3FrameIndex& index, int first) {
    if (first <= 0) return 0;
    uint8_t bytes[4];
    Mp3FrameHeader h;
    if (PreadAll(fd, bytes, 4, index.frames[first]) != 4 || !ParseMp3FrameHeader(bytes, h))
        return AlignToSynthesisRing(std::max(0, first - 3), 8);
    // Blocks of 32 samples per frame: Layer I 12, Layer II 36, Layer III 36 (MPEG-1) or 18.
    const int blocks = h.Layer == 1 ? 12 : (h.Layer == 3 && h.Version != 1 ? 18 : 36);
    const int framesPerTurn = 16 / std::gcd(16, blocks);
    if (h.Layer != 3) return AlignToSynthesisRing(first - 1, framesPerTurn);  // no reservoir
    int p = first - (h.Version == 1 ? 1 : 2);
    const int64_t reach = h.Version == 1 ? 511 : 255;
    const int64_t overhead = 4 + 2 + (h.Version == 1 ? 32 : 17);  // header, CRC, side information
    int64_t need = reach;
    while (p > 0 && need > 0) {
        --p;
        need -= std::max<int64_t>(1, FrameEnd(index, p) - index.frames[p] - overhead);
    }
    return AlignToSynthesisRing(std::max(p - 1, 0), framesPerTurn);
}

// Where the bytes of a decode up to frame `end` stop: the end of the frame after the range, or of
// the range's last frame when it is the table's last.
int64_t SpanEnd(const Mp3FrameIndex& index, int end) {
    return end < static_cast<int>(index.frames.size()) ? FrameEnd(index, end) : FrameEnd(index, end - 1);
}

// Decodes frames [first, end) of the indexed file into `out` (at most `capacity` bytes; `out` may
// be null to count only), reading just their bytes and the pre-roll's.
TMyPlayer0802::Decoded DecodeFrames(int fd, const Mp3FrameIndex& index, int first, int end, uint8_t* out,
                                    size_t capacity) {
    TMyPlayer0802::Decoded result;
    const int count = static_cast<int>(index.frames.size());
    if (first < 0 || end > count || first >= end) return result;
    Mp3Decoder decoder;
    mpg123_handle* mh = decoder.get();
    if (!mh) return result;

    // Frames before the range prime the decoder; one frame after it lets the decoder finish
    // the range's last frame as it would in the middle of the file. Both outputs are dropped.
    const int from = PrerollStart(fd, index, first);
    const int64_t begin = index.frames[from];
    const int64_t stop = SpanEnd(index, end);
    uint8_t* input = InputScratch(static_cast<size_t>(stop - begin));
    const int64_t got = PreadAll(fd, input, stop - begin, begin);
    if (got <= 0 || mpg123_feed(mh, input, static_cast<size_t>(got)) != MPG123_OK) return result;

    bool gotData = false;
    for (;;) {
        off_t num = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        const int rc = mpg123_decode_frame(mh, &num, &audio, &bytes);
        if (rc == MPG123_NEW_FORMAT) {
            if (gotData) break;  // a change of format ends the range, so the header stays true
            long rate = 0;
            int channels = 0, encoding = 0;
            if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || encoding != MPG123_ENC_SIGNED_16)
                break;
            result.rate = static_cast<int>(rate);
            result.channels = channels;
            continue;
        }
        if (rc != MPG123_OK) break;  // MPG123_NEED_MORE: all fed; an error ends the range early
        const int64_t frame = static_cast<int64_t>(from) + static_cast<int64_t>(num);
        if (frame >= end) break;
        if (frame < first || bytes == 0) continue;
        if (bytes > capacity - result.bytes) break;  // the sound ends at the last frame that fits
        if (out) std::memcpy(out + result.bytes, audio, bytes);
        result.bytes += bytes;
        gotData = true;
    }
    result.ok = gotData && result.channels > 0 && result.rate > 0;
    if (!result.ok) result.bytes = 0;
    return result;
}

// Decodes ten frames (20..29, or the last ten there are) and takes the seconds of one frame; 0
// when they decode to nothing.
float MeasureFrameDuration(int fd, const Mp3FrameIndex& index) {
    const int end = std::min(30, static_cast<int>(index.frames.size()) - 1);
    const int first = std::max(0, std::min(20, end - 10));
    const TMyPlayer0802::Decoded d = DecodeFrames(fd, index, first, end, nullptr, std::numeric_limits<size_t>::max());
    if (!d.ok) return 0.0f;
    float seconds = static_cast<float>(d.bytes / 10);
    seconds = seconds * 0.5f;
    seconds = seconds / static_cast<float>(d.channels);
    seconds = seconds / static_cast<float>(d.rate);
    return seconds;
}

// Indexing one file: the table (null when the file is no usable MP3), and what the reader's header
// fields and frame duration become on the way.
struct IndexResult {
    std::shared_ptr<Mp3FrameIndex> index;
    bool sawHeader = false;
    Mp3FrameHeader last;
    bool measured = false;
    float duration = 0.0f;
    bool shrunk = false;  // the file was shorter than its size said
};

IndexResult BuildIndex(int fd, int64_t size) {
    IndexResult r;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // A file that turns out shorter than it said is indexed again from the start with the bytes
    // there are (a file being written); a few tries, then it counts as unreadable.
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto index = std::make_shared<Mp3FrameIndex>();
        ChainWalk walk(fd, size);
        const bool found = walk.Index(*index);
        if (walk.SawHeader()) {
            r.sawHeader = true;
            r.last = walk.Last();
        }
        if (walk.Shrunk()) {
            r.shrunk = true;
            size = walk.Size();  // the bytes before the read that came short
            continue;
        }
        if (!found || static_cast<int>(index->frames.size()) < TMyPlayer0802::kMinFrames) return r;
        r.measured = true;
        r.duration = MeasureFrameDuration(fd, *index);
        if (!(r.duration > 0.0f)) return r;
        index->frameDuration = r.duration;
        r.index = std::move(index);
        return r;
    }
    return r;
}

Mp3FileKey KeyOf(const std::string& path, const struct stat& st) {
    Mp3FileKey key;
    key.path = path;
    key.device = st.st_dev;
    key.inode = st.st_ino;
    key.size = st.st_size;
    key.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return key;
}

}  // namespace

float Mp3FrameHeader::Length() const {
    float length = 144.0f * static_cast<float>(BitrateKbps) / static_cast<float>(SampleRate) * 1000.0f;
    if (Version == 2 || Version == 3) length = length * 0.5f;
    return length;
}

bool ParseMp3FrameHeader(const uint8_t* p, Mp3FrameHeader& out) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    const int bitrateIndex = (p[2] >> 4) & 0x0F;
    const int rateIndex = (p[2] >> 2) & 0x03;
    if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;

    static constexpr int kVersion[4] = {3, -1, 2, 1};
    static constexpr int kLayer[4] = {-1, 3, 2, 1};
    Mp3FrameHeader h;
    h.Version = kVersion[(p[1] >> 3) & 0x03];
    h.Layer = kLayer[(p[1] >> 1) & 0x03];
    if (h.Version == -1 || h.Layer == -1) {
        h.BitrateKbps = 1;
    } else if (h.Version == 1) {
        h.BitrateKbps = kBitrateV1[h.Layer - 1][bitrateIndex];
    } else {
        h.BitrateKbps = kBitrateLsf[h.Layer == 1 ? 0 : 1][bitrateIndex];
    }
    h.SampleRate = h.Version == -1 ? 1 : kSampleRate[h.Version - 1][rateIndex];
    h.Padding = (p[2] >> 1) & 0x01;
    h.Channels = ((p[3] >> 6) & 0x03) == 3 ? 1 : 2;
    out = h;
    return true;
}

TMyPlayer0802::TMyPlayer0802() = default;
TMyPlayer0802::~TMyPlayer0802() { Close(); }

const std::vector<uint32_t>& TMyPlayer0802::FrameTable() const {
    static const std::vector<uint32_t> kNone;
    return index_ ? index_->frames : kNone;
}

bool TMyPlayer0802::Open() {
    Close();
    const int fd = ::open(Mp3FileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<uint64_t>(st.st_size) > std::numeric_limits<uint32_t>::max()) {
        ::close(fd);
        return false;
    }
    const Mp3FileKey key = KeyOf(Mp3FileName, st);
    Mp3IndexCache& cache = Mp3IndexCache::Shared();
    std::shared_ptr<const Mp3FrameIndex> index = cache.Find(key);
    if (!index) {
        IndexResult r = BuildIndex(fd, st.st_size);
        if (r.sawHeader) last_ = r.last;
        if (r.measured) frameDuration_ = r.duration;
        if (!r.index) {
            ::close(fd);
            return false;
        }
        // Kept only when the file was the same from the first byte read to the last.
        struct stat after;
        if (!r.shrunk && ::fstat(fd, &after) == 0 && KeyOf(Mp3FileName, after) == key) cache.Store(key, r.index);
        index = std::move(r.index);
    }
    fd_ = fd;
    index_ = std::move(index);
    last_ = index_->last;
    frameDuration_ = index_->frameDuration;
    return true;
}

void TMyPlayer0802::SetRange(int which, int position) {
    const float seconds = static_cast<float>(position) * (1.0f / 11025.0f);
    const float frame = frameDuration_ > 0.0f ? seconds / frameDuration_ : 0.0f;
    const int index = TruncToInt(frame);
    if (which == 0) StartFrame = index;
    else EndFrame = index;
}

TMyPlayer0802::Decoded TMyPlayer0802::DecodeRange(uint8_t* out, size_t capacity) {
    if (!index_ || fd_ < 0 || Mp3FileName.size() < 3 || FrameCount() < kMinFrames) return {};
    EndFrame = std::max(EndFrame, 20);
    EndFrame = std::min(EndFrame, FrameCount() - 1);
    if (StartFrame > EndFrame - 10) StartFrame = EndFrame - 10;
    StartFrame = std::max(StartFrame, 0);

    // Gather frames while they stay below the input window.
    const std::vector<uint32_t>& frames = index_->frames;
    int j = StartFrame;
    int64_t gathered = 0;
    int64_t length = 0;
    do {
        length = FrameEnd(*index_, j) - frames[j];
        gathered += length;
        ++j;
    } while (j < EndFrame && gathered < kInputWindowLimit - length);
    return DecodeFrames(fd_, *index_, StartFrame, j, out, capacity);
}

TMyPlayer0802::ByteSpan TMyPlayer0802::DecodeSpan(int first, int end) const {
    if (!index_ || fd_ < 0 || first < 0 || end > FrameCount() || first >= end) return {};
    return {index_->frames[PrerollStart(fd_, *index_, first)], SpanEnd(*index_, end)};
}

bool TMyPlayer0802::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    index_.reset();
    return true;
}

}  // namespace lq
