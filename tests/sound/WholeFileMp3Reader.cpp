// The MP3 reader as it was before it kept frame tables and read only a range's bytes: it reads
// the whole file into memory on every Open. The tests hold the reader's output against this one
// byte for byte.
#include "tests/sound/WholeFileMp3Reader.h"

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

namespace lq::test {
namespace {

// The frame at or before `frame` (>= 0) that is a whole number of synthesis ring turns from frame 0.
int AlignToSynthesisRing(int frame, int framesPerTurn) {
    return frame - frame % framesPerTurn;
}

}  // namespace

WholeFileMp3Reader::WholeFileMp3Reader() = default;
WholeFileMp3Reader::~WholeFileMp3Reader() = default;

bool WholeFileMp3Reader::HeaderAt(int64_t pos, Mp3FrameHeader& h) {
    if (pos < 0 || pos + 4 > size_) return false;
    if (pos + 4 > readable_) {  // not read yet
        starved_ = true;
        return false;
    }
    if (!ParseMp3FrameHeader(data_.get() + pos, h)) return false;
    last_ = h;
    return true;
}

// The next header at trunc(pos + length) + firstOffset, ... while below pos + length + 4.
bool WholeFileMp3Reader::FindNextHeader(int64_t pos, float length, int firstOffset, int64_t& found, Mp3FrameHeader& h) {
    const double from = static_cast<double>(pos) + static_cast<double>(length);
    const double limit = from + 4.0;
    if (!(from < static_cast<double>(size_))) return false;
    for (int64_t q = static_cast<int64_t>(from) + firstOffset; static_cast<double>(q) < limit; ++q) {
        if (HeaderAt(q, h)) {
            found = q;
            return true;
        }
    }
    return false;
}

// The first position from which three frames follow one another at their computed lengths.
int64_t WholeFileMp3Reader::FindRunOfThree() {
    const int64_t n = size_;
    int64_t pos = 0;
    do {
        Mp3FrameHeader first, second, third;
        while (pos < n - 4 && !HeaderAt(pos, first)) ++pos;
        if (pos < n - 4) {
            int64_t at2 = 0, at3 = 0;
            if (FindNextHeader(pos, first.Length(), 0, at2, second) &&
                FindNextHeader(at2, second.Length(), 0, at3, third))
                return pos;
        }
        ++pos;
    } while (pos < n - 4000);
    return -1;
}

namespace {
// The bits of a header that decide its fields other than padding: a header with the same key
// as the one before it has the same version, layer, bitrate, rate and channel count.
uint32_t HeaderKey(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2] & ~0x02) << 8 | (p[3] & 0xC0);
}
}  // namespace

// The frame table: every frame that is followed by a valid header where its length says, up to
// the first break in the chain. The walk goes on as the file comes in, while its bytes are still
// in the caches; each step needs the bytes up to its frame's end and the next header.
void WholeFileMp3Reader::StartTable(int64_t start) {
    frames_.clear();
    chainEnd_ = start;
    walk_ = TableWalk{};
    walk_.started = true;
    walk_.pos = start;
    if (!HeaderAt(start, walk_.h)) {
        walk_.done = true;
        return;
    }
    frames_.reserve(static_cast<size_t>(size_ / std::max(1.0f, walk_.h.Length())) + 16);
    walk_.key = walk_.lengthKey = HeaderKey(data_.get() + start);
    walk_.length = walk_.h.Length();
}

void WholeFileMp3Reader::AdvanceTable() {
    TableWalk& w = walk_;
    const double n = static_cast<double>(size_);
    const bool all = readable_ == size_;
    while (!w.done) {
        const double from = static_cast<double>(w.pos) + static_cast<double>(w.length);
        if (!all && !(from + 8.0 <= static_cast<double>(readable_))) return;  // wait for more bytes
        __builtin_prefetch(data_.get() + std::min(readable_ - 1, w.pos + 16 * static_cast<int64_t>(w.length)));
        // Most frames repeat the header before them but for padding: take the fast road then.
        int64_t next = static_cast<int64_t>(from) + w.h.Padding;
        if (from < n && next + 4 <= readable_ && static_cast<double>(next) < from + 4.0 &&
            HeaderKey(data_.get() + next) == w.key) {
            w.h.Padding = (data_[next + 2] >> 1) & 0x01;
            last_ = w.h;
        } else {
            if (!FindNextHeader(w.pos, w.length, w.h.Padding, next, w.h)) {
                w.done = true;
                break;
            }
            w.key = HeaderKey(data_.get() + next);
        }
        frames_.push_back(static_cast<uint32_t>(w.pos));
        chainEnd_ = next;
        // Go on while pos < n - L, L being the length of the frame just added.
        if (!(static_cast<double>(next) < n - static_cast<double>(w.length))) w.done = true;
        w.pos = next;
        if (w.key != w.lengthKey) {
            w.length = w.h.Length();
            w.lengthKey = w.key;
        }
    }
}

// What can be found in the bytes read so far: the start of the chain, then the table.
void WholeFileMp3Reader::IndexReadBytes() {
    const bool all = readable_ == size_;
    if (!walk_.started) {
        if (searchDeferred_ && !all) return;
        starved_ = false;
        const int64_t start = FindRunOfThree();
        if (starved_ && !all) {
            searchDeferred_ = true;  // no run in the first bytes: search once the file is in
            return;
        }
        if (start < 0) return;
        StartTable(start);
    }
    AdvanceTable();
}

int64_t WholeFileMp3Reader::FrameEnd(int frame) const {
    return frame + 1 < FrameCount() ? static_cast<int64_t>(frames_[frame + 1]) : chainEnd_;
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
int WholeFileMp3Reader::PrerollStart(int first) const {
    if (first <= 0) return 0;
    Mp3FrameHeader h;
    if (!ParseMp3FrameHeader(data_.get() + frames_[first], h)) return AlignToSynthesisRing(std::max(0, first - 3), 8);
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
        need -= std::max<int64_t>(1, FrameEnd(p) - frames_[p] - overhead);
    }
    return AlignToSynthesisRing(std::max(p - 1, 0), framesPerTurn);
}

WholeFileMp3Reader::Decoded WholeFileMp3Reader::DecodeFrames(int first, int end, uint8_t* out, size_t capacity) const {
    Decoded result;
    if (first < 0 || end > FrameCount() || first >= end) return result;
    Mp3Decoder decoder;
    mpg123_handle* mh = decoder.get();
    if (!mh) return result;

    // Frames before the range prime the decoder; one frame after it lets the decoder finish
    // the range's last frame as it would in the middle of the file. Both outputs are dropped.
    const int from = PrerollStart(first);
    const int64_t begin = frames_[from];
    const int64_t stop = end < FrameCount() ? FrameEnd(end) : FrameEnd(end - 1);
    if (mpg123_feed(mh, data_.get() + begin, static_cast<size_t>(stop - begin)) != MPG123_OK) return result;

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

// Decodes ten frames (20..29, or the last ten there are) and takes the seconds of one frame.
bool WholeFileMp3Reader::MeasureFrameDuration() {
    const int end = std::min(30, FrameCount() - 1);
    const int first = std::max(0, std::min(20, end - 10));
    const Decoded d = DecodeFrames(first, end, nullptr, std::numeric_limits<size_t>::max());
    frameDuration_ = 0.0f;
    if (!d.ok) return false;
    float seconds = static_cast<float>(d.bytes / 10);
    seconds = seconds * 0.5f;
    seconds = seconds / static_cast<float>(d.channels);
    seconds = seconds / static_cast<float>(d.rate);
    frameDuration_ = seconds;
    return frameDuration_ > 0.0f;
}

bool WholeFileMp3Reader::Open() {
    Close();
    // Read the whole file in pieces (EINTR and short reads handled), indexing as it comes.
    const int fd = ::open(Mp3FileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<uint64_t>(st.st_size) > std::numeric_limits<uint32_t>::max()) {
        ::close(fd);
        return false;
    }
    size_ = st.st_size;
    data_ = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size_) + 1);
    constexpr int64_t kPiece = 1 << 18;
    while (readable_ < size_) {
        const ssize_t n = ::read(fd, data_.get() + readable_, static_cast<size_t>(std::min(kPiece, size_ - readable_)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // an error, or the file shrank
        readable_ += n;
        if (readable_ < size_) IndexReadBytes();
    }
    ::close(fd);
    if (readable_ < size_) {  // shorter than it said: index what there is from the start
        size_ = readable_;
        frames_.clear();
        walk_ = TableWalk{};
        searchDeferred_ = false;
    }
    IndexReadBytes();
    if (!walk_.started || FrameCount() < kMinFrames || !MeasureFrameDuration()) {
        Close();
        return false;
    }
    return true;
}

void WholeFileMp3Reader::SetRange(int which, int position) {
    const float seconds = static_cast<float>(position) * (1.0f / 11025.0f);
    const float frame = frameDuration_ > 0.0f ? seconds / frameDuration_ : 0.0f;
    const int index = TruncToInt(frame);
    if (which == 0) StartFrame = index;
    else EndFrame = index;
}

WholeFileMp3Reader::Decoded WholeFileMp3Reader::DecodeRange(uint8_t* out, size_t capacity) {
    if (!data_ || Mp3FileName.size() < 3 || FrameCount() < kMinFrames) return {};
    EndFrame = std::max(EndFrame, 20);
    EndFrame = std::min(EndFrame, FrameCount() - 1);
    if (StartFrame > EndFrame - 10) StartFrame = EndFrame - 10;
    StartFrame = std::max(StartFrame, 0);

    // Gather frames while they stay below the input window.
    int j = StartFrame;
    int64_t gathered = 0;
    int64_t length = 0;
    do {
        length = FrameEnd(j) - frames_[j];
        gathered += length;
        ++j;
    } while (j < EndFrame && gathered < kInputWindowLimit - length);
    return DecodeFrames(StartFrame, j, out, capacity);
}

bool WholeFileMp3Reader::Close() {
    data_.reset();
    size_ = 0;
    readable_ = 0;
    starved_ = false;
    searchDeferred_ = false;
    walk_ = TableWalk{};
    frames_.clear();
    frames_.shrink_to_fit();
    chainEnd_ = 0;
    return true;
}

}  // namespace lq::test
