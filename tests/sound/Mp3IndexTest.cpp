// The reader's frame tables and its range reads against libmpg123's decode of the whole file (the
// one reference): every table is libmpg123's own scan of the file and every decoded range is, value
// for value, that decode's frames, whether the table was just built or taken from the cache; a file
// that changed is indexed again; a decode reads only its range.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sound/Mp3IndexCache.h"
#include "sound/Mp3Reader.h"
#include "tests/sound/SoundTestSupport.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

using test::FullDecode;
using test::SoundFixture;

// The range that DecodeRange makes of [start, end) on a table of `count` frames: the end at
// least 20 and at most count - 1, then the start at most end - 10 and at least 0.
struct Clamped {
    int start, end;
};
Clamped ClampedRange(int start, int end, int count) {
    end = std::min(std::max(end, 20), count - 1);
    if (start > end - 10) start = end - 10;
    return {std::max(start, 0), end};
}

// How far a file's ranges may come out from the whole-file decode. Exact files: not a value apart.
// On some files libmpg123 keeps a trace of where its decode started, which no start frame undoes:
// there a rare value comes out 1 apart, in at most one value in 10,000 and one frame in 20 of the
// file's ranges.
struct Tolerance {
    bool nearlyExact = false;
    size_t values = 0, differingValues = 0, frames = 0, differingFrames = 0;  // over the ranges so far

    void Check(const uint8_t* got, const FullDecode& want, int first, int end) {
        for (int k = first; k < end; ++k) {
            const std::vector<uint8_t>& frame = want.frames[static_cast<size_t>(k)];
            const test::Difference d = test::Compare(got, frame);
            EXPECT_LE(d.largest, nearlyExact ? 1 : 0) << "frame " << k << ": " << d.values << " values differ";
            values += frame.size() / 2;
            differingValues += d.values;
            ++frames;
            differingFrames += d.values > 0 ? 1 : 0;
            got += frame.size();
        }
    }
    void CheckTotal() const {
        EXPECT_LE(differingValues * 10000, values) << differingValues << " of " << values << " values differ";
        EXPECT_LE(differingFrames * 20, frames) << differingFrames << " of " << frames << " frames differ";
    }
};

// Decodes [start, end) and checks the clamped range, the out-values, that nothing is written
// past the decoded bytes, and the samples against the reference's frames.
void ExpectRange(TMyPlayer0802& reader, const FullDecode& want, int start, int end, Tolerance& tolerance) {
    SCOPED_TRACE(testing::Message() << "range " << start << ".." << end);
    // The builder's 8 MiB: every range of these files fits. Only the bytes after the decode's
    // are checked to be untouched, and set back after it.
    constexpr size_t kCapacity = 8 << 20, kTail = 64 << 10;
    static std::vector<uint8_t> got(kCapacity + kTail, 0xA5);
    reader.StartFrame = start;
    reader.EndFrame = end;
    const auto d = reader.DecodeRange(got.data(), kCapacity);
    const Clamped c = ClampedRange(start, end, reader.FrameCount());
    const size_t written = std::min(d.bytes, kCapacity);
    const auto after = got.begin() + static_cast<std::ptrdiff_t>(written);
    const bool untouched = std::all_of(after, after + kTail, [](uint8_t b) { return b == 0xA5; });
    const std::vector<uint8_t> pcm(got.begin(), after);
    std::fill(got.begin(), after + kTail, 0xA5);
    ASSERT_TRUE(untouched);
    ASSERT_EQ(reader.StartFrame, c.start);
    ASSERT_EQ(reader.EndFrame, c.end);
    ASSERT_TRUE(d.ok);
    ASSERT_LE(c.end, static_cast<int>(want.frames.size()));
    const std::vector<uint8_t> expected = test::Concat(want, c.start, c.end);
    ASSERT_EQ(d.bytes, expected.size());
    ASSERT_EQ(d.channels, want.channels);
    ASSERT_EQ(d.rate, want.rate);
    tolerance.Check(pcm.data(), want, c.start, c.end);
}

// Every range of ten frames and every start frame of a file, on a just indexed table and on a kept
// one.
struct FileCase {
    const char* name;
    bool cut = false;  // the file ends inside a frame, which libmpg123 does not count
    bool nearlyExact = false;  // see Tolerance
    int step = 1;              // thins the start frames of a long file
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

// The table is libmpg123's frame offsets (all but the last frame, which no header follows, or
// all of them when the file ends inside a frame); the duration is one frame's samples over the
// rate; the header fields are the stream's.
void ExpectTable(const TMyPlayer0802& reader, const FullDecode& want, bool cut) {
    std::vector<uint32_t> offsets(want.offsets.begin(), want.offsets.end() - (cut ? 0 : 1));
    ASSERT_EQ(reader.FrameTable(), offsets);
    ASSERT_FALSE(want.frames.empty());
    const int samples = static_cast<int>(want.frames[0].size()) / 2 / want.channels;
    EXPECT_EQ(reader.FrameDuration(), static_cast<float>(samples) / static_cast<float>(want.rate));
    const Mp3FrameHeader& h = reader.LastHeader();
    EXPECT_EQ(h.Version, want.version);
    EXPECT_EQ(h.Layer, want.layer);
    EXPECT_EQ(h.SampleRate, want.rate);
    EXPECT_EQ(h.Channels, want.channels);
}

// Every range of ten frames from every start frame (every `step`th), one range over nearly the
// whole file, the clamp cases and ranges set through SetRange, on a just indexed and on a kept table.
void ExpectRanges(const std::string& path, const FileCase& file) {
    const FullDecode want = test::DecodeWholeFile(path);
    TMyPlayer0802 reader;
    for (const char* pass : {"indexed", "cached"}) {
        SCOPED_TRACE(pass);
        ASSERT_TRUE(reader.Open(path));
        ExpectTable(reader, want, file.cut);
        if (testing::Test::HasFatalFailure()) return;
        Tolerance tolerance{file.nearlyExact};
        const auto check = [&](int start, int end) { ExpectRange(reader, want, start, end, tolerance); };
        const int count = reader.FrameCount();
        for (int start = 0; start + 10 <= count - 1; start += file.step) {
            check(start, std::max(start + 10, 20));
            if (testing::Test::HasFatalFailure()) return;
        }
        const int rows[][2] = {{3, count - 1}, {0, 5}, {15, 16}, {30, 1000000}, {count + 5, count + 9},
                               {-40, 25}, {INT_MIN, INT_MIN}, {0, INT_MAX}};
        for (const auto& row : rows) check(row[0], row[1]);
        // Positions in samples of 1/11025 s, through SetRange: frame = trunc(seconds / FrameDuration).
        for (int position : {0, 5000, 11025, 40000}) {
            reader.SetRange(0, position);
            reader.SetRange(1, position + 30000);
            const float seconds = static_cast<float>(position) * (1.0f / 11025.0f);
            const float after = static_cast<float>(position + 30000) * (1.0f / 11025.0f);
            EXPECT_EQ(reader.StartFrame, static_cast<int>(seconds / reader.FrameDuration())) << position;
            EXPECT_EQ(reader.EndFrame, static_cast<int>(after / reader.FrameDuration())) << position;
            check(reader.StartFrame, reader.EndFrame);
        }
        tolerance.CheckTotal();
        reader.Close();
    }
}

class Mp3IndexFixture : public testing::TestWithParam<FileCase> {
protected:
    void SetUp() override { Mp3IndexCache::Shared().Clear(); }
};

TEST_P(Mp3IndexFixture, TablesAndRangesAsTheWholeFileDecode) {
    const uint64_t stores = Mp3IndexCache::Shared().Stores();
    const std::string name = GetParam().name;
    ExpectRanges(name == "demo01.mp3" ? test::SourceDir() + "/Data/demo01.mp3" : SoundFixture(name), GetParam());
    EXPECT_EQ(Mp3IndexCache::Shared().Stores(), stores + 1);  // indexed once, then taken from the cache
}

// The fixtures, and the demo module's sound (MPEG-1, an hour-long lesson's kind of file).
const FileCase kFiles[] = {
    {"mpeg1_stereo_44k.mp3"},
    {"mpeg1_mono_32k.mp3"},
    {"mpeg2_mono_22k.mp3"},
    {"mpeg2_stereo_22k.mp3", false, true},
    {"mpeg25_mono_11k.mp3"},
    {"id3v2_mono_11k.mp3"},
    {"vbr_mono_44k.mp3"},
    {"short_13_frames.mp3"},
    {"cut_mono_22k.mp3", true},
    {"damaged_mono_32k.mp3"},                // 300 junk bytes between two frames (lame)
    {"damaged_layer2_48k.mp3"},              // the same in Layer II (twolame)
    {"cover_mono_22k.mp3", false, true},     // frame headers in the ID3v2 tag's cover picture
    {"joined_mono_22k.mp3", false, true},    // cat of a file ending in ID3v1 and the one above
    {"joined_ffmpeg_22k.mp3", false, true},  // cat of two files with ffmpeg's ID3v2.4 and ID3v1
    {"demo01.mp3", false, false, 3},
};
INSTANTIATE_TEST_SUITE_P(Fixtures, Mp3IndexFixture, testing::ValuesIn(kFiles),
                         [](const testing::TestParamInfo<FileCase>& info) {
                             std::string n = info.param.name;
                             return n.substr(0, n.find('.'));
                         });

// A file of several read pieces, with junk before its first frame that itself spans more than a
// piece: the chain is found and walked across the pieces as in memory. The copies chain into one
// another, so the table is every copy's frames but the file's last; the first copy decodes as the
// fixture does, and a range anywhere decodes as the same frames of a longer range.
TEST(Mp3Index, FileOfManyPiecesIndexedAcrossThePieces) {
    test::TempDir dir;
    const std::string fixture = SoundFixture("mpeg2_mono_22k.mp3");
    const auto one = test::ReadBytes(fixture);
    const test::FullDecode scan = test::DecodeWholeFile(fixture);
    std::vector<uint8_t> bytes(TMyPlayer0802::kIndexPieceBytes + 300001, 0);
    for (size_t i = 0; i < bytes.size(); i += 991) bytes[i] = 0xFF;  // lone sync bytes, no header
    std::vector<uint32_t> table;
    while (bytes.size() < 3 * TMyPlayer0802::kIndexPieceBytes + 5000) {
        for (const int64_t offset : scan.offsets) table.push_back(static_cast<uint32_t>(static_cast<int64_t>(bytes.size()) + offset));
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    table.pop_back();
    const std::string path = dir.File("long.mp3");
    test::WriteBytes(path, bytes);

    const size_t frameBytes = scan.frames[0].size();
    const int perCopy = static_cast<int>(scan.offsets.size());
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(path));
    ASSERT_EQ(reader.FrameTable(), table);
    Tolerance exact;
    for (int start = 0; start + 10 < perCopy; start += 7) ExpectRange(reader, scan, start, std::max(start + 10, 20), exact);

    std::vector<uint8_t> longer(1 << 20), range(1 << 20);
    size_t compared = 0, differing = 0;
    for (int start = 40; start + 10 <= reader.FrameCount() - 1; start += 97) {
        SCOPED_TRACE(start);
        reader.StartFrame = start - 40;
        reader.EndFrame = start + 10;
        const auto all = reader.DecodeRange(longer.data(), longer.size());
        reader.StartFrame = start;
        reader.EndFrame = start + 10;
        const auto part = reader.DecodeRange(range.data(), range.size());
        ASSERT_EQ(part.bytes, 10 * frameBytes);
        ASSERT_EQ(all.bytes, 50 * frameBytes);
        // Two decoders that start apart keep a trace of it on MPEG-2 files: a rare value 1 apart.
        const test::Difference diff = test::Compare(range.data(), longer.data() + 40 * frameBytes, part.bytes);
        EXPECT_LE(diff.largest, 1);
        compared += part.bytes / 2;
        differing += diff.values;
    }
    EXPECT_LE(differing * 1000, compared) << differing << " of " << compared << " values differ";
}

// Bytes this process has read through read and pread so far (the count's own reading adds a few
// bytes, kSlack at most); -1 when the system does not say.
constexpr int64_t kSlack = 256;
struct ReadCounter {
    static int64_t Now() {
        std::ifstream io("/proc/self/io");
        std::string key;
        int64_t value = 0;
        while (io >> key >> value)
            if (key == "rchar:") return value;
        return -1;
    }
};

// A decode reads the frames of its range with their pre-roll and the frame after, and nothing
// else; an open of a file whose table is kept reads nothing.
TEST(Mp3Index, DecodeReadsOnlyItsRange) {
    if (ReadCounter::Now() < 0) GTEST_SKIP() << "no /proc/self/io";
    test::TempDir dir;
    const auto one = test::ReadBytes(SoundFixture("mpeg1_stereo_44k.mp3"));
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 40; ++i) bytes.insert(bytes.end(), one.begin(), one.end());
    const std::string path = dir.File("m.mp3");
    test::WriteBytes(path, bytes);

    TMyPlayer0802 first;
    int64_t before = ReadCounter::Now();
    ASSERT_TRUE(first.Open(path));
    const int64_t indexing = ReadCounter::Now() - before;
    EXPECT_GE(indexing, static_cast<int64_t>(bytes.size()) * 9 / 10);  // the file once, in pieces
    EXPECT_LE(indexing, static_cast<int64_t>(bytes.size()) * 11 / 10);
    first.Close();

    TMyPlayer0802 reader;
    before = ReadCounter::Now();
    ASSERT_TRUE(reader.Open(path));
    EXPECT_LE(ReadCounter::Now() - before, kSlack);
    std::vector<uint8_t> out(1 << 20);
    const int count = reader.FrameCount();
    for (int start : {0, 1, 25, count / 2, count - 11}) {
        const int end = std::max(start + 10, 20);
        const auto span = reader.DecodeSpan(start, end);
        ASSERT_GT(span.end, span.begin);
        reader.StartFrame = start;
        reader.EndFrame = end;
        before = ReadCounter::Now();
        ASSERT_TRUE(reader.DecodeRange(out.data(), out.size()).ok);
        const int64_t read = ReadCounter::Now() - before;
        // The range's bytes and the header that sets the pre-roll (none for frame 0).
        EXPECT_GE(read, span.end - span.begin + (start > 0 ? 4 : 0)) << start;
        EXPECT_LE(read, span.end - span.begin + (start > 0 ? 4 : 0) + kSlack) << start;
        EXPECT_LT(span.end - span.begin, 12 * 1024) << start;
        if (end + 1 < count) {
            EXPECT_EQ(span.end, reader.FrameTable()[end + 1]);  // to the end of the frame after
        }
    }
}

void SetModified(const std::string& path, time_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Same path, new size, or the same size with a new modification time (1 ns later): the file is
// indexed again and the new table is the new file's. Unchanged, the kept table serves.
TEST(Mp3Index, ChangedFileIsIndexedAgain) {
    Mp3IndexCache::Shared().Clear();
    test::TempDir dir;
    const std::string path = dir.File("lesson.mp3");
    const auto a = test::ReadBytes(SoundFixture("mpeg2_mono_22k.mp3"));
    const auto b = test::ReadBytes(SoundFixture("mpeg25_mono_11k.mp3"));
    ASSERT_NE(a.size(), b.size());
    Mp3IndexCache& cache = Mp3IndexCache::Shared();
    const test::FullDecode scanA = test::DecodeWholeFile(SoundFixture("mpeg2_mono_22k.mp3"));
    const test::FullDecode scanB = test::DecodeWholeFile(SoundFixture("mpeg25_mono_11k.mp3"));
    // The table and a range are those of the file's bytes now: the frames of `scan` `shift` bytes
    // further on, as many as still have a header after them.
    const auto expectFileOf = [&](const test::FullDecode& scan, int shift) {
        TMyPlayer0802 reader;
        ASSERT_TRUE(reader.Open(path));
        const int count = reader.FrameCount();
        const int all = static_cast<int>(scan.offsets.size()) - 1;
        if (shift == 0) EXPECT_EQ(count, all);
        else EXPECT_GE(count, all - 3);
        ASSERT_LE(count, all);
        for (int i = 0; i < count; ++i) ASSERT_EQ(reader.FrameTable()[i], scan.offsets[i] + shift) << i;
        Tolerance exact;
        ExpectRange(reader, scan, 3, 25, exact);
    };
    test::WriteBytes(path, a);
    SetModified(path, 1700000000, 100);
    uint64_t stores = cache.Stores();
    expectFileOf(scanA, 0);
    EXPECT_EQ(cache.Stores(), stores + 1);
    expectFileOf(scanA, 0);
    EXPECT_EQ(cache.Stores(), stores + 1);  // unchanged: the kept table

    test::WriteBytes(path, b);  // a new size
    SetModified(path, 1700000000, 100);
    expectFileOf(scanB, 0);
    EXPECT_EQ(cache.Stores(), stores + 2);

    // The same size, the frames 300 bytes further on, 1 ns later.
    ASSERT_GT(b.size(), 300u);
    std::vector<uint8_t> shiftedB(b.size(), 0);
    std::copy(b.begin(), b.end() - 300, shiftedB.begin() + 300);
    test::WriteBytes(path, shiftedB);
    SetModified(path, 1700000000, 101);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    if (st.st_mtim.tv_nsec != 101) GTEST_SKIP() << "the file system keeps no nanoseconds";
    expectFileOf(scanB, 300);
    EXPECT_EQ(cache.Stores(), stores + 3);
    EXPECT_EQ(cache.Entries(), 1u);  // the old tables of the path are gone

    // Only the time changes: indexed again, the same table.
    SetModified(path, 1700000001, 101);
    expectFileOf(scanB, 300);
    EXPECT_EQ(cache.Stores(), stores + 4);
}

// A file that is no longer there, or no longer MP3, fails even though its old table was kept.
TEST(Mp3Index, FileGoneOrSpoiledFailsDespiteAKeptTable) {
    test::TempDir dir;
    const std::string path = dir.File("m.mp3");
    test::WriteBytes(path, test::ReadBytes(SoundFixture("mpeg1_mono_32k.mp3")));
    TMyPlayer0802 reader;
    ASSERT_TRUE(reader.Open(path));
    reader.Close();
    test::WriteBytes(path, std::vector<uint8_t>(10152, 0));
    SetModified(path, 1600000000, 0);
    EXPECT_FALSE(reader.Open(path));
    EXPECT_FALSE(reader.IsOpen());
    std::filesystem::remove(path);
    EXPECT_FALSE(reader.Open(path));
}

// The cache keeps the few files opened last; the oldest is indexed again when it comes back.
TEST(Mp3Index, KeepsTheFilesOpenedLast) {
    Mp3IndexCache::Shared().Clear();
    Mp3IndexCache& cache = Mp3IndexCache::Shared();
    test::TempDir dir;
    const auto bytes = test::ReadBytes(SoundFixture("mpeg2_mono_22k.mp3"));
    std::vector<std::string> paths;
    for (size_t i = 0; i <= Mp3IndexCache::kDefaultEntries; ++i) {
        paths.push_back(dir.File("m" + std::to_string(i) + ".mp3"));
        test::WriteBytes(paths.back(), bytes);
    }
    const uint64_t stores = cache.Stores();
    TMyPlayer0802 reader;
    for (const std::string& p : paths) ASSERT_TRUE(reader.Open(p));
    EXPECT_EQ(cache.Entries(), Mp3IndexCache::kDefaultEntries);
    EXPECT_EQ(cache.Stores(), stores + paths.size());
    ASSERT_TRUE(reader.Open(paths.back()));  // kept
    EXPECT_EQ(cache.Stores(), stores + paths.size());
    ASSERT_TRUE(reader.Open(paths.front()));  // dropped as the oldest: indexed again
    EXPECT_EQ(cache.Stores(), stores + paths.size() + 1);
    EXPECT_EQ(cache.Entries(), Mp3IndexCache::kDefaultEntries);
}

// Readers on two threads share the kept tables while a third file keeps replacing entries.
TEST(Mp3Index, ReadersOnTwoThreads) {
    Mp3IndexCache::Shared().Clear();
    const char* names[] = {"mpeg1_stereo_44k.mp3", "mpeg2_mono_22k.mp3", "vbr_mono_44k.mp3", "mpeg25_mono_11k.mp3",
                           "mpeg1_mono_32k.mp3", "id3v2_mono_11k.mp3"};
    std::vector<std::vector<uint8_t>> expected;  // frames 12..39 of each file
    for (const char* name : names) expected.push_back(test::Concat(test::DecodeWholeFile(SoundFixture(name)), 12, 40));
    const auto work = [&](int offset, int& mismatches) {
        TMyPlayer0802 reader;
        std::vector<uint8_t> out(1 << 18);
        for (int round = 0; round < 30; ++round) {
            const int k = (round + offset) % 6;
            if (!reader.Open(SoundFixture(names[k]))) {
                ++mismatches;
                continue;
            }
            reader.StartFrame = 12;
            reader.EndFrame = 40;
            const auto d = reader.DecodeRange(out.data(), out.size());
            if (d.bytes != expected[k].size() || std::memcmp(out.data(), expected[k].data(), d.bytes) != 0) ++mismatches;
        }
    };
    int a = 0, b = 0;
    std::thread one(work, 0, std::ref(a)), two(work, 3, std::ref(b));
    one.join();
    two.join();
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_LE(Mp3IndexCache::Shared().Entries(), Mp3IndexCache::kDefaultEntries);
}

}  // namespace
}  // namespace lq
