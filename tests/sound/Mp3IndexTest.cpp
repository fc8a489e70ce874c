// The reader's kept frame tables and its range reads: every table, frame duration and decoded
// range is byte for byte what the whole-file reader gives, whether the table was just built or
// taken from the cache; a file that changed is indexed again; a decode reads only its range.
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
#include "tests/sound/WholeFileMp3Reader.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

using test::SoundFixture;
using test::WholeFileMp3Reader;

// The same range asked of both readers: the clamped range, the out-values and every byte.
void ExpectSameRange(TMyPlayer0802& reader, WholeFileMp3Reader& reference, int start, int end) {
    std::vector<uint8_t> got(1 << 20, 0xA5), want(1 << 20, 0xA5);
    reader.StartFrame = reference.StartFrame = start;
    reader.EndFrame = reference.EndFrame = end;
    const auto d = reader.DecodeRange(got.data(), got.size());
    const auto r = reference.DecodeRange(want.data(), want.size());
    ASSERT_EQ(reader.StartFrame, reference.StartFrame) << start << ".." << end;
    ASSERT_EQ(reader.EndFrame, reference.EndFrame) << start << ".." << end;
    ASSERT_EQ(d.ok, r.ok) << start << ".." << end;
    ASSERT_EQ(d.bytes, r.bytes) << start << ".." << end;
    ASSERT_EQ(d.channels, r.channels);
    ASSERT_EQ(d.rate, r.rate);
    ASSERT_EQ(std::memcmp(got.data(), want.data(), got.size()), 0) << "range " << start << ".." << end;
}

void ExpectSameTable(const TMyPlayer0802& reader, const WholeFileMp3Reader& reference) {
    ASSERT_EQ(reader.FrameTable(), reference.FrameTable());
    EXPECT_EQ(reader.FrameDuration(), reference.FrameDuration());
    const Mp3FrameHeader& a = reader.LastHeader();
    const Mp3FrameHeader& b = reference.LastHeader();
    EXPECT_EQ(a.Version, b.Version);
    EXPECT_EQ(a.Layer, b.Layer);
    EXPECT_EQ(a.BitrateKbps, b.BitrateKbps);
    EXPECT_EQ(a.SampleRate, b.SampleRate);
    EXPECT_EQ(a.Channels, b.Channels);
}

// Every range of ten frames from every start frame, the clamp cases and a long range; `step`
// thins the start frames of long files.
void ExpectSameRanges(const std::string& path, int step = 1) {
    WholeFileMp3Reader reference;
    ASSERT_TRUE(reference.Open(path));
    TMyPlayer0802 reader;
    for (const char* pass : {"indexed", "cached"}) {
        SCOPED_TRACE(pass);
        ASSERT_TRUE(reader.Open(path));
        ExpectSameTable(reader, reference);
        const int count = reader.FrameCount();
        for (int start = 0; start + 10 <= count - 1; start += step) {
            ExpectSameRange(reader, reference, start, std::max(start + 10, 20));
            if (testing::Test::HasFatalFailure()) return;
        }
        const int rows[][2] = {{3, count - 1}, {0, 5}, {15, 16}, {30, 1000000}, {count + 5, count + 9},
                               {-40, 25}, {INT_MIN, INT_MIN}, {0, INT_MAX}};
        for (const auto& row : rows) ExpectSameRange(reader, reference, row[0], row[1]);
        // Positions in samples of 1/11025 s, through SetRange.
        for (int position : {0, 5000, 11025, 40000}) {
            reader.SetRange(0, position);
            reference.SetRange(0, position);
            reader.SetRange(1, position + 30000);
            reference.SetRange(1, position + 30000);
            ExpectSameRange(reader, reference, reader.StartFrame, reader.EndFrame);
        }
        reader.Close();
    }
}

class Mp3IndexFixture : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override { Mp3IndexCache::Shared().Clear(); }
};

TEST_P(Mp3IndexFixture, SameAsTheWholeFileReader) {
    const uint64_t stores = Mp3IndexCache::Shared().Stores();
    ExpectSameRanges(SoundFixture(GetParam()));
    EXPECT_EQ(Mp3IndexCache::Shared().Stores(), stores + 1);  // indexed once, then taken from the cache
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Mp3IndexFixture,
                         testing::Values("mpeg1_stereo_44k.mp3", "mpeg1_mono_32k.mp3", "mpeg2_mono_22k.mp3",
                                         "mpeg2_stereo_22k.mp3", "mpeg25_mono_11k.mp3", "id3v2_mono_11k.mp3",
                                         "vbr_mono_44k.mp3", "short_13_frames.mp3", "cut_mono_22k.mp3"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

TEST(Mp3Index, DemoModuleSameAsTheWholeFileReader) { ExpectSameRanges(test::SourceDir() + "/Data/demo01.mp3", 3); }

// A file of several read pieces, with junk before its first frame that itself spans more than a
// piece: the chain is found and walked across the pieces as in memory.
TEST(Mp3Index, FileOfManyPiecesSameAsTheWholeFileReader) {
    test::TempDir dir;
    const auto one = test::ReadBytes(SoundFixture("mpeg2_mono_22k.mp3"));  // whole copies chain
    std::vector<uint8_t> bytes(TMyPlayer0802::kIndexPieceBytes + 300001, 0);
    for (size_t i = 0; i < bytes.size(); i += 991) bytes[i] = 0xFF;  // lone sync bytes, no header
    while (bytes.size() < 3 * TMyPlayer0802::kIndexPieceBytes + 5000) bytes.insert(bytes.end(), one.begin(), one.end());
    const std::string path = dir.File("long.mp3");
    test::WriteBytes(path, bytes);
    ExpectSameRanges(path, 97);
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
    const auto expectTableOf = [&](const std::vector<uint8_t>& bytes) {
        test::TempDir other;
        test::WriteBytes(other.File("x.mp3"), bytes);
        WholeFileMp3Reader reference;
        ASSERT_TRUE(reference.Open(other.File("x.mp3")));
        TMyPlayer0802 reader;
        ASSERT_TRUE(reader.Open(path));
        ExpectSameTable(reader, reference);
        ExpectSameRange(reader, reference, 3, 25);
    };

    test::WriteBytes(path, a);
    SetModified(path, 1700000000, 100);
    uint64_t stores = cache.Stores();
    expectTableOf(a);
    EXPECT_EQ(cache.Stores(), stores + 1);
    expectTableOf(a);
    EXPECT_EQ(cache.Stores(), stores + 1);  // unchanged: the kept table

    test::WriteBytes(path, b);  // a new size
    SetModified(path, 1700000000, 100);
    expectTableOf(b);
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
    expectTableOf(shiftedB);
    EXPECT_EQ(cache.Stores(), stores + 3);
    EXPECT_EQ(cache.Entries(), 1u);  // the old tables of the path are gone

    // Only the time changes: indexed again, the same table.
    SetModified(path, 1700000001, 101);
    expectTableOf(shiftedB);
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
    std::vector<std::vector<uint8_t>> expected;
    for (const char* name : names) {
        WholeFileMp3Reader reference;
        EXPECT_TRUE(reference.Open(SoundFixture(name)));
        reference.StartFrame = 12;
        reference.EndFrame = 40;
        std::vector<uint8_t> out(1 << 18);
        out.resize(reference.DecodeRange(out.data(), out.size()).bytes);
        expected.push_back(out);
    }
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
