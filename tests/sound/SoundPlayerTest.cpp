// The sound player: the fake's rules, the SDL player's device that rests between sounds (over a
// fake output device), and the SDL player on SDL's file-writing "disk" driver, which must write
// the very samples of the image it was given and close the device once the sound has ended.
#include <gtest/gtest.h>

#include <QtGlobal>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <filesystem>

#include "core/Database.h"
#include "platform/SoundPlayer.h"
#include "tests/support/SoundPlayerFake.h"
#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"
#include "tests/sound/SoundTestSupport.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

using namespace std::chrono_literals;

// A chirp-like test sound: every value different from its neighbours, none zero.
std::vector<uint8_t> Image(int rate, int channels, int values) {
    std::vector<uint8_t> image(44 + 2 * static_cast<size_t>(values));
    WriteWaveHeader(image.data(), static_cast<uint32_t>(image.size()), channels, rate);
    for (int i = 0; i < values; ++i) {
        const int16_t v = static_cast<int16_t>(((i * 7919) % 20001) - 10000 + (i % 2 ? 1 : 2));
        std::memcpy(&image[44 + 2 * i], &v, 2);
    }
    return image;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

TEST(FakeSoundPlayer, NoStopRefusesWhilePlaying) {
    FakeSoundPlayer player;
    const auto a = Image(11025, 1, 100);
    EXPECT_TRUE(player.Play(a.data(), a.size()));
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_FALSE(player.Play(a.data(), a.size(), PlayMode::NoStop));
    EXPECT_TRUE(player.Play(a.data(), a.size(), PlayMode::Replace));
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_TRUE(player.Play(a.data(), a.size()));
    player.Finish();
    EXPECT_TRUE(player.Play(a.data(), a.size()));
    uint8_t empty[44];
    WriteEmptyWaveImage(empty);
    player.Stop();
    EXPECT_FALSE(player.Play(empty, 44));
    EXPECT_EQ(player.StartedCount(), 4);
    EXPECT_EQ(player.Calls().size(), 6u);
}

// The player over a fake device: a device is open only while something is queued or was queued
// less than the rest time ago; the next play opens one again.
class RestingDevice : public testing::Test {
protected:
    void Make(std::chrono::milliseconds restAfter) {
        player = std::make_unique<SdlSoundPlayer>(std::make_unique<FakeSoundOutput>(device), restAfter);
    }
    bool Closes() {
        return WaitUntil([&] { return !player->DeviceOpen(); }, 3000ms) && !device.open;
    }

    FakeSoundOutput::Counts device;
    std::unique_ptr<SdlSoundPlayer> player;
};

TEST_F(RestingDevice, ClosesOnceTheSoundHasEndedAndOpensAgainForTheNext) {
    struct Case {
        const char* name;
        int values;  // of 11025 Hz mono
        void (*end)(FakeSoundOutput::Counts&, SdlSoundPlayer&);
    };
    const Case cases[] = {
        {"the queue drains", 1100, [](FakeSoundOutput::Counts& d, SdlSoundPlayer&) { d.Drain(); }},
        {"Stop", 11025 * 10, [](FakeSoundOutput::Counts&, SdlSoundPlayer& p) { p.Stop(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.opens = device.closes = 0;
        Make(30ms);
        EXPECT_FALSE(player->DeviceOpen());  // nothing played yet: no device
        const auto image = Image(11025, 1, c.values);
        ASSERT_TRUE(player->Play(image.data(), image.size()));
        EXPECT_TRUE(player->DeviceOpen());
        EXPECT_EQ(device.opens, 1);
        c.end(device, *player);
        EXPECT_FALSE(player->IsPlaying());
        EXPECT_TRUE(Closes());
        EXPECT_EQ(device.closes, 1);
        ASSERT_TRUE(player->Play(image.data(), image.size()));
        EXPECT_TRUE(player->DeviceOpen());
        EXPECT_EQ(device.opens, 2);
        player.reset();
        EXPECT_EQ(device.closes, 2);
    }
}

TEST_F(RestingDevice, StaysOpenWhileTheSoundPlays) {
    Make(30ms);
    const auto image = Image(11025, 1, 110);  // 10 ms, which the fake device never plays out
    ASSERT_TRUE(player->Play(image.data(), image.size()));
    std::this_thread::sleep_for(300ms);  // ten times the sound and the rest time
    EXPECT_TRUE(player->DeviceOpen());
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_EQ(device.closes, 0);
    device.Drain();
    EXPECT_TRUE(Closes());
}

// Next stops the sentence and the timer plays the next one within a tick: the device that is
// still open plays it.
TEST_F(RestingDevice, APlaySoonAfterStopKeepsTheDevice) {
    Make(10s);
    const auto image = Image(11025, 1, 11025);
    ASSERT_TRUE(player->Play(image.data(), image.size()));
    player->Stop();
    ASSERT_TRUE(player->Play(image.data(), image.size(), PlayMode::NoStop));
    device.Drain();
    ASSERT_TRUE(player->Play(image.data(), image.size(), PlayMode::NoStop));
    EXPECT_EQ(device.opens, 1);
    EXPECT_EQ(device.queues, 3);
    EXPECT_EQ(device.closes, 0);
}

// A device that has played once and cannot be opened again later (a sound server restarting)
// is tried again at the next play; only a first failure means "no sound for this run".
TEST_F(RestingDevice, AFailedReopeningIsTriedAgain) {
    Make(10ms);
    const auto image = Image(11025, 1, 110);
    ASSERT_TRUE(player->Play(image.data(), image.size()));
    device.Drain();
    ASSERT_TRUE(Closes());
    device.failOpen = true;
    EXPECT_FALSE(player->Play(image.data(), image.size()));
    EXPECT_TRUE(player->Available());
    device.failOpen = false;
    EXPECT_TRUE(player->Play(image.data(), image.size()));
    EXPECT_EQ(device.opens, 2);
}

class DiskAudio : public testing::Test {
protected:
    void SetUp() override {
        output = dir.File("out.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    }
    void TearDown() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }

    test::TempDir dir;
    std::string output;
};

// Where `needle` starts in `hay`, or npos.
size_t Find(const std::vector<uint8_t>& hay, const uint8_t* needle, size_t n) {
    if (n == 0 || hay.size() < n) return std::string::npos;
    for (size_t i = 0; i + n <= hay.size(); ++i)
        if (std::memcmp(hay.data() + i, needle, n) == 0) return i;
    return std::string::npos;
}

TEST_F(DiskAudio, WritesTheImagesSamples) {
    const auto image = Image(22050, 1, 22050 / 4);  // a quarter of a second
    {
        SdlSoundPlayer player;
        ASSERT_TRUE(player.Play(image.data(), image.size()));
        EXPECT_TRUE(player.Available());
        EXPECT_TRUE(player.IsPlaying());
        const auto other = Image(22050, 1, 100);
        EXPECT_FALSE(player.Play(other.data(), other.size(), PlayMode::NoStop));  // refused while it plays
        ASSERT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }, 3000ms));
        std::this_thread::sleep_for(150ms);  // the device's own buffer
    }
    const auto written = test::ReadBytes(output);
    const size_t data = image.size() - 44;
    const size_t at = Find(written, image.data() + 44, 256);
    ASSERT_NE(at, std::string::npos) << written.size() << " bytes written";
    ASSERT_GE(written.size(), at + data);
    EXPECT_EQ(std::memcmp(written.data() + at, image.data() + 44, data), 0);
}

// A sentence built from a module file plays sample for sample.
TEST_F(DiskAudio, PlaysABuiltSentence) {
    std::filesystem::create_directories(dir.Path() + "/Data");
    std::filesystem::copy_file(test::SoundFixture("mpeg2_mono_22k.mp3"), dir.Path() + "/Data/m.mp3");
    Database db;
    ASSERT_TRUE(db.Open(dir.File("QV_01.db")).ok());
    ASSERT_TRUE(db.Exec("INSERT INTO sounds (ididnt, isigns, icodes, sfname) VALUES (1, 1, 0, 'm.mp3');").ok());
    ASSERT_TRUE(db.Exec("INSERT INTO items2 (ididnt, isound, isndbg, isndfn) VALUES (1, 1, 2000, 9000);").ok());
    std::atomic<float> addTime{0.2f};
    SoundBuilder builder(db, addTime, dir.Path());
    SoundBuffer buffer;
    builder.BuildItemWave(buffer, 1);
    const size_t size = buffer.ImageBytes();
    ASSERT_GT(size, 10000u);
    {
        SdlSoundPlayer player;
        ASSERT_TRUE(player.Play(buffer.Data(), size));
        ASSERT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }, 5000ms));
        std::this_thread::sleep_for(150ms);
    }
    const auto written = test::ReadBytes(output);
    // The fade-in begins with near-silence: look for a stretch from the middle of the sound.
    const size_t probe = 44 + (size - 44) / 2;
    const size_t at = Find(written, buffer.Data() + probe, 512);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(at, probe - 44);
    const size_t start = at - (probe - 44);
    ASSERT_GE(written.size(), start + size - 44);
    EXPECT_EQ(std::memcmp(written.data() + start, buffer.Data() + 44, size - 44), 0);
}

TEST_F(DiskAudio, StopEndsTheSound) {
    const auto image = Image(11025, 2, 11025 * 2 * 3);  // three seconds
    {
        SdlSoundPlayer player;
        ASSERT_TRUE(player.Play(image.data(), image.size()));
        std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(player.IsPlaying());
        player.Stop();
        EXPECT_FALSE(player.IsPlaying());
        const auto next = Image(11025, 2, 200);
        EXPECT_TRUE(player.Play(next.data(), next.size(), PlayMode::NoStop));  // nothing plays any more
        std::this_thread::sleep_for(300ms);
    }
    const auto written = test::ReadBytes(output);
    const size_t at = Find(written, image.data() + 44, 256);
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(written.size(), image.size() / 2);  // far less than the three seconds came out
}

// Once the sound has ended the device is closed: the driver writes no more silence. The next
// play opens it again (the disk driver then writes its file anew).
TEST_F(DiskAudio, ClosesTheDeviceOnceTheSoundHasEnded) {
    const auto image = Image(22050, 1, 22050 / 10);
    SdlSoundPlayer player;
    ASSERT_TRUE(player.Play(image.data(), image.size()));
    EXPECT_TRUE(player.DeviceOpen());
    ASSERT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }, 3000ms));
    ASSERT_TRUE(WaitUntil([&] { return !player.DeviceOpen(); }, 3000ms));
    const auto size = std::filesystem::file_size(output);
    std::this_thread::sleep_for(300ms);  // an open device would write 13 KB of silence meanwhile
    EXPECT_EQ(std::filesystem::file_size(output), size);
    const auto written = test::ReadBytes(output);
    EXPECT_NE(Find(written, image.data() + 44, image.size() - 44), std::string::npos);  // all of it came out

    const auto next = Image(22050, 1, 22050 / 4);
    ASSERT_TRUE(player.Play(next.data(), next.size()));
    EXPECT_TRUE(player.DeviceOpen());
    ASSERT_TRUE(WaitUntil([&] { return Find(test::ReadBytes(output), next.data() + 44, 256) != std::string::npos; }, 3000ms));
}

TEST_F(DiskAudio, InvalidAndEmptyImagesPlayNothing) {
    SdlSoundPlayer player;
    SoundBuffer zero;  // an all-zero buffer: no image
    EXPECT_FALSE(player.Play(zero.Data(), 1000));
    uint8_t empty[44];
    WriteEmptyWaveImage(empty);
    EXPECT_FALSE(player.Play(empty, sizeof empty));
    EXPECT_FALSE(player.Play(nullptr, 0));
    EXPECT_FALSE(player.IsPlaying());
}

int g_warnings = 0;
void CountWarnings(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtWarningMsg) ++g_warnings;
}

TEST(NoSoundDevice, ReportsOnceAndGoesOnSilently) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    g_warnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountWarnings);
    {
        SdlSoundPlayer player;
        const auto image = Image(11025, 1, 500);
        for (int i = 0; i < 3; ++i) EXPECT_FALSE(player.Play(image.data(), image.size()));
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_FALSE(player.Available());
        player.Stop();
    }
    qInstallMessageHandler(previous);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(g_warnings, 1);
}

TEST(AppSoundPlayer, CanBeReplaced) {
    FakeSoundPlayer fake;
    SetAppSoundPlayer(&fake);
    EXPECT_EQ(&AppSoundPlayer(), &fake);
    SetAppSoundPlayer(nullptr);
    EXPECT_NE(&AppSoundPlayer(), &fake);
}

}  // namespace
}  // namespace lq
