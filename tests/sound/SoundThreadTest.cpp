// The sound thread, the double buffer and the answered-word queue, with a builder the tests
// control: which sentence each buffer holds after each step, coalesced requests, the order of
// builds and word counts, and the shut-down.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/LessonCaches.h"
#include "core/SqlText.h"
#include "sound/AnsweredWords.h"
#include "sound/LoadSoundThread.h"
#include "sound/SoundBuilder.h"
#include "sound/SoundDoubleBuffer.h"
#include "tests/sound/SoundTestSupport.h"
#include "tests/support/RawConnection.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

using namespace std::chrono_literals;

// One shared record of what happened, in order: builds and statements.
class EventLog {
public:
    void Add(std::string e) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(e));
    }
    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

// Writes the sentence id into the buffer and 10 ms per id as its duration. A gated id blocks
// until released, to stand for a slow build.
class FakeBuilder final : public ItemWaveBuilder {
public:
    explicit FakeBuilder(EventLog* log = nullptr) : log_(log) {}

    int BuildItemWave(SoundBuffer& dest, int itemId) override {
        std::unique_lock<std::mutex> lock(mutex_);
        started_.push_back(itemId);
        threads_.push_back(std::this_thread::get_id());
        errno = 0;
        nice_.push_back(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())));
        maxActive_ = std::max(maxActive_, ++active_);
        changed_.notify_all();
        changed_.wait(lock, [&] { return gated_.count(itemId) == 0; });
        lock.unlock();
        if (Failing(itemId)) {
            // What the real builder leaves when the database refuses its read.
            WriteEmptyWaveImage(dest.Data());
            dest.DurationMs = 0.0f;
            dest.ReadFailed = true;
        } else {
            std::memcpy(dest.Data(), &itemId, sizeof itemId);
            dest.DurationMs = 10.0f * static_cast<float>(itemId);
        }
        if (log_) log_->Add("build " + std::to_string(itemId));
        lock.lock();
        --active_;
        done_.push_back(itemId);
        changed_.notify_all();
        return 5;
    }

    static int ItemIn(const SoundBuffer& b) {
        int id;
        std::memcpy(&id, b.Data(), sizeof id);
        return id;
    }
    void Gate(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        gated_.insert(id);
    }
    // Builds of `id` cannot read the database until Heal(id).
    void Fail(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        failing_.insert(id);
    }
    void Heal(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        failing_.erase(id);
    }
    void Release(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        gated_.erase(id);
        changed_.notify_all();
    }
    bool WaitStarted(int id) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return std::count(started_.begin(), started_.end(), id) > 0; });
    }
    bool WaitDone(int id) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return std::count(done_.begin(), done_.end(), id) > 0; });
    }
    std::vector<int> Started() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }
    std::vector<std::thread::id> Threads() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }
    std::vector<int> Nice() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return nice_;
    }
    int MaxActive() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return maxActive_;
    }

private:
    bool Failing(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        return failing_.count(id) != 0;
    }
    EventLog* log_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::set<int> gated_, failing_;
    std::vector<int> started_, done_, nice_;
    std::vector<std::thread::id> threads_;
    int active_ = 0, maxActive_ = 0;
};

// A database with a word-statistics table; every UPDATE run on it is logged.
class WordsDb {
public:
    explicit WordsDb(EventLog* log = nullptr) : log_(log) {
        EXPECT_TRUE(db.Open(dir.File("QV_01.db")).ok());
        sqlite3_trace_v2(lq::test::RawHandle(db), SQLITE_TRACE_STMT, &WordsDb::Trace, this);
    }
    void Add(const std::string& word, const char* ianswr = "0") {
        EXPECT_TRUE(db.Exec(Sql("INSERT INTO wrdstt (icount, ianswr, istate, twordd) VALUES (1, %s, 0, %Q);", ianswr,
                                word.c_str()))
                        .ok());
    }
    int Answers(const std::string& word) {
        CurrentRow row;
        row.ianswr = -1;
        db.Query(Sql("SELECT ianswr FROM wrdstt WHERE twordd=%Q;", word.c_str()), row);
        return row.ianswr;
    }
    std::vector<std::string> Updates() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return updates_;
    }
    sqlite3* Handle() const { return lq::test::RawHandle(db); }
    operator Database&() { return db; }  // NOLINT(google-explicit-constructor): the sound thread's connection

private:
    // Statements are logged with their bound values in place.
    static int Trace(unsigned, void* self, void* stmt, void*) {
        auto* me = static_cast<WordsDb*>(self);
        char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(stmt));
        if (sql && std::strncmp(sql, "UPDATE", 6) == 0) {
            std::lock_guard<std::mutex> lock(me->mutex_);
            me->updates_.push_back(sql);
            if (me->log_) me->log_->Add(sql);
        }
        sqlite3_free(sql);
        return 0;
    }

    test::TempDir dir;
    Database db;
    EventLog* log_;
    mutable std::mutex mutex_;
    std::vector<std::string> updates_;
};

std::string UpdateOf(const std::string& word) {
    return "UPDATE wrdstt SET ianswr=ifnull(ianswr,0)+1 WHERE twordd='" + word + "';";
}

TEST(AnsweredWords, HoldsAHundredAndGivesTheNewestFirst) {
    AnsweredWordQueue q;
    for (int i = 0; i < 101; ++i) EXPECT_EQ(q.Push("w" + std::to_string(i)), i < 100);
    EXPECT_EQ(q.Size(), 100u);
    for (int i = 99; i >= 0; --i) EXPECT_EQ(q.PopNewest(), "w" + std::to_string(i));
    EXPECT_FALSE(q.PopNewest());
}

TEST(AnsweredWords, DrainCountsEachWordOnce) {
    WordsDb db;
    for (int i = 0; i <= 100; ++i) db.Add("w" + std::to_string(i));
    db.Add("nullword", "NULL");
    db.Add("o'clock");
    AnsweredWordQueue q;
    for (int i = 0; i <= 100; ++i) q.Push("w" + std::to_string(i));  // the 101st is dropped
    EXPECT_EQ(DrainAnsweredWords(q, db), 100);
    const auto updates = db.Updates();
    ASSERT_EQ(updates.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(updates[i], UpdateOf("w" + std::to_string(99 - i)));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(db.Answers("w" + std::to_string(i)), 1);
    EXPECT_EQ(db.Answers("w100"), 0);

    for (const char* w : {"w5", "w5", "nullword", "absent", "o'clock"}) q.Push(w);
    EXPECT_EQ(DrainAnsweredWords(q, db), 5);
    EXPECT_EQ(db.Answers("w5"), 3);       // queued twice: two more
    EXPECT_EQ(db.Answers("nullword"), 1);  // NULL counts as 0
    EXPECT_EQ(db.Answers("absent"), -1);   // no row: nothing inserted
    EXPECT_EQ(db.Answers("o'clock"), 1);
    EXPECT_EQ(q.Size(), 0u);
}

TEST(AnsweredWords, AnOpenTransactionKeepsTheWordsQueuedInTheirOrder) {
    WordsDb db;
    for (const char* w : {"a1", "a2", "a3"}) db.Add(w);
    AnsweredWordQueue q;
    for (const char* w : {"a1", "a2", "a3"}) q.Push(w);
    ASSERT_EQ(sqlite3_exec(lq::test::RawHandle(db), "BEGIN;", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(DrainAnsweredWords(q, db), 0);
    EXPECT_EQ(q.Size(), 3u);
    ASSERT_EQ(sqlite3_exec(lq::test::RawHandle(db), "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(DrainAnsweredWords(q, db), 3);
    EXPECT_EQ(db.Updates(), (std::vector<std::string>{UpdateOf("a3"), UpdateOf("a2"), UpdateOf("a1")}));
}

TEST(AnsweredWords, ProducerAndDrainTogether) {
    AnsweredWordQueue q;
    std::multiset<std::string> taken;
    std::atomic<bool> producing{true};
    std::thread consumer([&] {
        while (producing.load() || q.Size() > 0)
            if (auto w = q.PopNewest()) taken.insert(*w);
    });
    std::multiset<std::string> pushed;
    for (int i = 0; i < 5000; ++i) {
        const std::string w = "w" + std::to_string(i % 300);
        while (!q.Push(w)) std::this_thread::yield();
        pushed.insert(w);
    }
    producing = false;
    consumer.join();
    EXPECT_EQ(taken, pushed);
}

TEST(DoubleBuffer, RequestsAndSwapWithoutAThread) {
    FakeBuilder builder;
    SoundDoubleBuffer buffers(builder);
    EXPECT_EQ(buffers.CurrentSlot(), SoundSlot::A);
    EXPECT_FALSE(buffers.Request(SoundSlot::A, 4));  // the current buffer is never a target
    EXPECT_FALSE(buffers.ServeOneRequest());

    buffers.BuildCurrentNow(1);
    EXPECT_TRUE(buffers.Request(SoundSlot::B, 2));
    EXPECT_TRUE(buffers.Request(SoundSlot::B, 5));  // the latest request for a buffer wins
    EXPECT_TRUE(buffers.ServeOneRequest());
    EXPECT_FALSE(buffers.ServeOneRequest());
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 5}));
    EXPECT_EQ(buffers.HeldItem(SoundSlot::B), 5);

    // The buffer holds what becomes current: no build. Then a request that was never served is
    // built at once by the swap, and is not built again later.
    EXPECT_EQ(buffers.SwapToPending(5), SoundSlot::A);
    EXPECT_EQ(FakeBuilder::ItemIn(buffers.Current()), 5);
    EXPECT_FLOAT_EQ(buffers.CurrentDurationMs(), 50.0f);
    EXPECT_TRUE(buffers.Request(SoundSlot::A, 6));
    EXPECT_EQ(buffers.SwapToPending(6), SoundSlot::B);
    EXPECT_EQ(FakeBuilder::ItemIn(buffers.Current()), 6);
    EXPECT_FALSE(buffers.ServeOneRequest());
    // A buffer holding another sentence is rebuilt for the one that becomes current.
    EXPECT_EQ(buffers.SwapToPending(9), SoundSlot::A);
    EXPECT_EQ(FakeBuilder::ItemIn(buffers.Current()), 9);
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 5, 6, 9}));
}

// A build that could not read its sentence holds no sentence: the swap builds it again, and
// while it is current the play path does, never waiting for the thread's build.
TEST(DoubleBuffer, ABuildThatCouldNotReadIsBuiltAgain) {
    using Retry = SoundDoubleBuffer::Retry;
    FakeBuilder builder;
    SoundDoubleBuffer buffers(builder);
    buffers.BuildCurrentNow(1);
    builder.Fail(2);
    ASSERT_TRUE(buffers.Request(SoundSlot::B, 2));
    ASSERT_TRUE(buffers.ServeOneRequest());
    EXPECT_EQ(buffers.HeldItem(SoundSlot::B), std::nullopt);
    EXPECT_EQ(buffers.MissingItem(SoundSlot::B), 2);
    builder.Heal(2);
    EXPECT_EQ(buffers.SwapToPending(2), SoundSlot::A);
    EXPECT_EQ(FakeBuilder::ItemIn(buffers.Current()), 2);
    EXPECT_FLOAT_EQ(buffers.CurrentDurationMs(), 20.0f);
    EXPECT_EQ(buffers.HeldItem(SoundSlot::B), 2);
    EXPECT_EQ(buffers.RebuildCurrentIfMissing(2), Retry::NotNeeded);

    // The swap's own build fails too: the current sound is missing until a retry can read.
    builder.Fail(3);
    EXPECT_EQ(buffers.SwapToPending(3), SoundSlot::B);
    EXPECT_TRUE(buffers.CurrentMissing(3));
    EXPECT_EQ(buffers.Current().ImageBytes(), kWaveHeaderBytes);
    EXPECT_EQ(buffers.RebuildCurrentIfMissing(4), Retry::NotNeeded) << "another sentence's";
    EXPECT_EQ(buffers.RebuildCurrentIfMissing(3), Retry::StillMissing);
    builder.Heal(3);
    EXPECT_EQ(buffers.RebuildCurrentIfMissing(3), Retry::Rebuilt);
    EXPECT_EQ(FakeBuilder::ItemIn(buffers.Current()), 3);
    EXPECT_FLOAT_EQ(buffers.CurrentDurationMs(), 30.0f);
    EXPECT_EQ(buffers.HeldItem(SoundSlot::A), 3);
    EXPECT_FALSE(buffers.CurrentMissing(3));
    EXPECT_EQ(buffers.RebuildCurrentIfMissing(3), Retry::NotNeeded);
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 2, 2, 3, 3, 3}));
}

template <typename F>
bool WaitFor(F done) {
    for (int i = 0; i < 1000 && !done(); ++i) std::this_thread::sleep_for(5ms);
    return done();
}

TEST(SoundThread, AMissingSoundIsRetriedNowAndThenAndNeverWaitsForTheThread) {
    FakeBuilder builder;
    Database noDb;
    TLoadSound sound(builder, noDb);
    builder.Fail(1);
    builder.Gate(2);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitStarted(2));
    builder.Heal(1);
    // The thread is building: the retry is put off at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sound.RetryMissingSound(1, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    builder.Release(2);
    ASSERT_TRUE(WaitFor([&] { return sound.Buffers().HeldItem(SoundSlot::B) == 2; }));
    EXPECT_FALSE(sound.RetryMissingSound(1, TLoadSound::kMissingRetryEveryMs - 1)) << "too soon after the last";
    EXPECT_EQ(sound.CurrentSoundBuffer().ImageBytes(), kWaveHeaderBytes);
    EXPECT_TRUE(sound.RetryMissingSound(1, TLoadSound::kMissingRetryEveryMs));
    EXPECT_EQ(FakeBuilder::ItemIn(sound.CurrentSoundBuffer()), 1);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 10.0f);
    EXPECT_FALSE(sound.RetryMissingSound(1, 2 * TLoadSound::kMissingRetryEveryMs)) << "nothing missing";
    sound.Shutdown();
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(builder.MaxActive(), 1);
}

TEST(SoundThread, AThenBThenA) {
    FakeBuilder builder;
    Database noDb;
    TLoadSound sound(builder, noDb);
    EXPECT_EQ(sound.DiagnosticLines(), (std::vector<std::string>{"Handle 1 - OK", "Handle 2 - OK"}));
    sound.PrepareFirstSounds(1, 2);
    EXPECT_EQ(sound.CurrentSlot(), SoundSlot::A);
    EXPECT_EQ(FakeBuilder::ItemIn(sound.CurrentSoundBuffer()), 1);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 10.0f);
    ASSERT_TRUE(builder.WaitDone(2));

    sound.SwapBuffers(2, 3);
    EXPECT_EQ(sound.CurrentSlot(), SoundSlot::B);
    EXPECT_EQ(FakeBuilder::ItemIn(sound.CurrentSoundBuffer()), 2);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 20.0f);
    ASSERT_TRUE(builder.WaitDone(3));

    sound.SwapBuffers(3, 4);
    EXPECT_EQ(sound.CurrentSlot(), SoundSlot::A);
    EXPECT_EQ(FakeBuilder::ItemIn(sound.CurrentSoundBuffer()), 3);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 30.0f);
    ASSERT_TRUE(builder.WaitDone(4));
    sound.Shutdown();

    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 2, 3, 4}));
    const auto threads = builder.Threads();
    EXPECT_EQ(threads[0], std::this_thread::get_id());  // the first sound is built at once
    for (size_t i = 1; i < threads.size(); ++i) EXPECT_NE(threads[i], std::this_thread::get_id());
    EXPECT_EQ(builder.MaxActive(), 1);
}

TEST(SoundThread, SwapDuringASlowBuildGetsThatSentence) {
    FakeBuilder builder;
    Database noDb;
    TLoadSound sound(builder, noDb);
    builder.Gate(2);
    // The build of 2 is let go only once the swap waits for it; the swap must not have returned
    // nor built 2 again by then.
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;
    std::atomic<bool> swapped{false};
    sound.Buffers().SetSwapWaitHook([&] {
        const std::lock_guard<std::mutex> lock(mutex);
        waiting = true;
        changed.notify_all();
    });
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitStarted(2));
    bool sawTheWait = false, swappedEarly = false;
    std::vector<int> startedAtTheWait;
    std::thread releaser([&] {
        {
            std::unique_lock<std::mutex> lock(mutex);
            sawTheWait = changed.wait_for(lock, 5s, [&] { return waiting; });
        }
        swappedEarly = swapped.load();
        startedAtTheWait = builder.Started();
        builder.Release(2);
    });
    sound.SwapBuffers(2, 3);  // waits for the build of 2 to end
    swapped = true;
    releaser.join();
    EXPECT_TRUE(sawTheWait) << "the swap did not wait for the running build";
    EXPECT_FALSE(swappedEarly);
    EXPECT_EQ(startedAtTheWait, (std::vector<int>{1, 2}));
    EXPECT_EQ(FakeBuilder::ItemIn(sound.CurrentSoundBuffer()), 2);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 20.0f);
    ASSERT_TRUE(builder.WaitDone(3));
    sound.Shutdown();
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 2, 3}));
}

TEST(SoundThread, TwoRequestsBeforeAWakeGiveOneBuild) {
    FakeBuilder builder;
    Database noDb;
    TLoadSound sound(builder, noDb);
    builder.Gate(2);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitStarted(2));
    EXPECT_TRUE(sound.MakeSound(SoundSlot::B, 7));
    EXPECT_TRUE(sound.MakeSound(SoundSlot::B, 8));
    EXPECT_FALSE(sound.MakeSound(SoundSlot::A, 9));  // A is current
    builder.Release(2);
    ASSERT_TRUE(builder.WaitDone(8));
    sound.Shutdown();
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 2, 8}));
    EXPECT_EQ(sound.Buffers().HeldItem(SoundSlot::B), 8);
}

TEST(SoundThread, WordsAreCountedAfterTheBuild) {
    EventLog log;
    FakeBuilder builder(&log);
    WordsDb db(&log);
    db.Add("alpha");
    db.Add("beta");
    TLoadSound sound(builder, db);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitDone(2));
    builder.Gate(3);
    sound.SwapBuffers(2, 3);
    ASSERT_TRUE(builder.WaitStarted(3));
    sound.QueueAnsweredWord("alpha");  // queued while the thread builds
    sound.QueueAnsweredWord("beta");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(db.Answers("alpha"), 0);
    builder.Release(3);
    sound.Shutdown();
    const auto events = log.Events();
    const std::vector<std::string> tail(events.end() - 3, events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"build 3", UpdateOf("beta"), UpdateOf("alpha")}));
    EXPECT_EQ(db.Answers("alpha"), 1);
    EXPECT_EQ(db.Answers("beta"), 1);
}

TEST(SoundThread, AHundredAndOneWordsGiveAHundredUpdates) {
    FakeBuilder builder;
    WordsDb db;
    for (int i = 0; i <= 100; ++i) db.Add("w" + std::to_string(i));
    TLoadSound sound(builder, db);
    builder.Gate(2);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitStarted(2));
    for (int i = 0; i <= 100; ++i) sound.QueueAnsweredWord("w" + std::to_string(i));
    sound.QueueAnsweredWord("w7");  // dropped as well: the queue is full
    builder.Release(2);
    ASSERT_TRUE(builder.WaitDone(2));
    sound.Shutdown();
    const auto updates = db.Updates();
    ASSERT_EQ(updates.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(updates[i], UpdateOf("w" + std::to_string(99 - i)));
    EXPECT_EQ(db.Answers("w7"), 1);
    EXPECT_EQ(db.Answers("w100"), 0);
}

TEST(SoundThread, KillDuringABuildLetsItFinishAndBuildsNoMore) {
    FakeBuilder builder;
    WordsDb db;
    db.Add("gamma");
    TLoadSound sound(builder, db);
    builder.Gate(2);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitStarted(2));
    sound.QueueAnsweredWord("gamma");
    sound.Kill();
    sound.MakeSound(SoundSlot::B, 9);  // too late: the thread ends after this build
    builder.Release(2);
    sound.Shutdown();
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 2}));
    EXPECT_EQ(db.Answers("gamma"), 1);
    EXPECT_FALSE(sound.Running());
    sound.Shutdown();  // twice is harmless
}

TEST(SoundThread, ShutDownRightAfterQueueingAppliesEveryWord) {
    FakeBuilder builder;
    WordsDb db;
    for (const char* w : {"one", "two", "three"}) db.Add(w);
    {
        TLoadSound sound(builder, db);
        sound.PrepareFirstSounds(1, 2);
        for (const char* w : {"one", "two", "three", "two"}) sound.QueueAnsweredWord(w);
        sound.Shutdown();
    }
    EXPECT_EQ(db.Answers("one"), 1);
    EXPECT_EQ(db.Answers("two"), 2);
    EXPECT_EQ(db.Answers("three"), 1);
}

TEST(SoundThread, EmptyDatabaseBuildsNothing) {
    FakeBuilder builder;
    Database noDb;
    TLoadSound sound(builder, noDb);
    std::this_thread::sleep_for(20ms);
    sound.Shutdown();
    EXPECT_TRUE(builder.Started().empty());
    EXPECT_EQ(sound.CurrentSoundBuffer().ImageBytes(), 0u);
    EXPECT_EQ(sound.CurrentSoundDuration(), 0.0f);
}

TEST(SoundThread, BuildsRunBelowNormalPriority) {
    FakeBuilder builder;
    Database noDb;
    TLoadSound sound(builder, noDb);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitDone(2));
    sound.Shutdown();
    const auto nice = builder.Nice();
    ASSERT_EQ(nice.size(), 2u);
    EXPECT_EQ(nice[1], std::min(19, nice[0] + 5));
}

TEST(SoundThread, SoundCheckBuildsTheBufferItNames) {
    FakeBuilder builder;
    Database noDb;
    TLoadSound sound(builder, noDb);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitDone(2));
    EXPECT_EQ(sound.RebuildCurrent(1), 5);
    EXPECT_EQ(FakeBuilder::ItemIn(sound.CurrentSoundBuffer()), 1);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 10.0f);  // the current slot's own duration
    EXPECT_EQ(sound.RebuildPending(2), 5);
    EXPECT_EQ(FakeBuilder::ItemIn(sound.PendingSoundBuffer()), 2);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 10.0f);
    sound.SwapBuffers(2, 3);
    EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), 20.0f);
    ASSERT_TRUE(builder.WaitDone(3));
    sound.Shutdown();
    EXPECT_EQ(builder.Started(), (std::vector<int>{1, 2, 1, 2, 3}));
}

// A program folder with one module of six 6000-sample sentences, 2000 samples apart.
void MakeSixSentences(const test::TempDir& dir, Database& db) {
    std::filesystem::create_directories(dir.Path() + "/Data");
    std::filesystem::copy_file(test::SoundFixture("mpeg2_mono_22k.mp3"), dir.Path() + "/Data/m.mp3");
    ASSERT_TRUE(db.Open(dir.File("QV_01.db")).ok());
    ASSERT_TRUE(db.Exec("INSERT INTO sounds (ididnt, isigns, icodes, sfname) VALUES (1, 1, 0, 'm.mp3');").ok());
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(db.Exec(Sql("INSERT INTO items2 (ididnt, isound, isndbg, isndfn) VALUES (%i, 1, %i, %i);", i,
                                i * 2000, i * 2000 + 6000))
                        .ok());
}

// The real builder on the thread, while the user-interface thread keeps using the connection:
// each sentence becomes current with the image a direct build gives.
TEST(SoundThread, RealBuildsOnTheSharedConnection) {
    test::TempDir dir;
    Database db;
    MakeSixSentences(dir, db);
    if (HasFatalFailure()) return;
    db.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) VALUES (1, 0, 0, 'word');");
    std::atomic<float> addTime{0.3f};
    SoundBuilder builder(db, addTime, dir.Path());

    std::vector<std::vector<uint8_t>> expected(7);
    {
        SoundBuffer b;
        for (int i = 1; i <= 6; ++i) {
            builder.BuildItemWave(b, i);
            expected[i].assign(b.Data(), b.Data() + b.ImageBytes());
        }
    }
    TLoadSound sound(builder, db);
    sound.PrepareFirstSounds(1, 2);
    for (int current = 2; current <= 5; ++current) {
        for (int k = 0; k < 20; ++k) {  // the learning step's own statements meanwhile
            CurrentRow row;
            db.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", k % 6 + 1), row);
        }
        sound.QueueAnsweredWord("word");
        sound.SwapBuffers(current, current + 1);
        const SoundBuffer& b = sound.CurrentSoundBuffer();
        ASSERT_EQ(b.ImageBytes(), expected[current].size()) << current;
        EXPECT_EQ(std::memcmp(b.Data(), expected[current].data(), expected[current].size()), 0) << current;
        // 3307.5 positions of extra time: the start loses 3308, the end gains 3307.
        EXPECT_FLOAT_EQ(sound.CurrentSoundDuration(), (6000.0f + 3308.0f + 3307.0f) / 11025.0f * 1000.0f);
    }
    sound.Shutdown();
    CurrentRow row;
    db.Query("SELECT ianswr FROM wrdstt WHERE twordd='word';", row);
    EXPECT_EQ(row.ianswr, 4);
}

// Another program holds the lock while the sounds are built: each sound comes back once the
// lock is gone, built by the next swap or by the play path's retry, which holds the window's
// thread only briefly. A sentence or module that is not there is no failure.
TEST(SoundThread, ASoundALockKeptOutComesBack) {
    test::TempDir dir;
    Database db;
    MakeSixSentences(dir, db);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(db.Exec("INSERT INTO items2 (ididnt, isound, isndbg, isndfn) VALUES (7, 9, 0, 6000);").ok());
    std::atomic<float> addTime{0.3f};
    SoundBuilder builder(db, addTime, dir.Path());
    std::vector<std::vector<uint8_t>> expected(7);
    SoundBuffer b;
    for (int i = 1; i <= 6; ++i) {
        builder.BuildItemWave(b, i);
        ASSERT_FALSE(b.ReadFailed);
        expected[i].assign(b.Data(), b.Data() + b.ImageBytes());
    }
    for (const int absent : {99, 7}) {  // no such sentence; no such module
        builder.BuildItemWave(b, absent);
        EXPECT_FALSE(b.ReadFailed) << absent;
        EXPECT_EQ(b.ImageBytes(), kWaveHeaderBytes) << absent;
    }

    constexpr int kTimeoutMs = 1000;
    db.SetBusyTimeout(kTimeoutMs);
    Database other;
    ASSERT_TRUE(other.Open(db.Path()).ok());
    const auto holds = [&](int current, const SoundBuffer& buffer, float durationMs) {
        ASSERT_EQ(buffer.ImageBytes(), expected[current].size()) << current;
        EXPECT_EQ(std::memcmp(buffer.Data(), expected[current].data(), expected[current].size()), 0) << current;
        EXPECT_FLOAT_EQ(durationMs, (6000.0f + 3308.0f + 3307.0f) / 11025.0f * 1000.0f);
    };
    TLoadSound sound(builder, db);
    SoundDoubleBuffer& buffers = sound.Buffers();
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(WaitFor([&] { return buffers.HeldItem(SoundSlot::B) == 2; }));

    // A step is stored, then the lock is taken: the thread's build of the following sentence
    // cannot read it. Once the lock is gone the next step's swap builds it.
    ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE;").ok());
    sound.SwapBuffers(2, 3);
    holds(2, sound.CurrentSoundBuffer(), sound.CurrentSoundDuration());
    ASSERT_TRUE(WaitFor([&] { return buffers.MissingItem(SoundSlot::A) == 3; }));
    EXPECT_EQ(buffers.HeldItem(SoundSlot::A), std::nullopt);
    ASSERT_TRUE(other.Exec("ROLLBACK;").ok());
    sound.SwapBuffers(3, 4);
    holds(3, sound.CurrentSoundBuffer(), sound.CurrentSoundDuration());
    EXPECT_EQ(buffers.HeldItem(SoundSlot::A), 3);
    ASSERT_TRUE(WaitFor([&] { return buffers.HeldItem(SoundSlot::B) == 4; }));

    // The swap itself cannot read the sentence it makes current: the play path's retries wait
    // only briefly while the lock lasts, and bring the sound back once it is gone.
    ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE;").ok());
    sound.SwapBuffers(5, 6);
    EXPECT_TRUE(buffers.CurrentMissing(5));
    EXPECT_EQ(sound.CurrentSoundBuffer().ImageBytes(), kWaveHeaderBytes);
    ASSERT_TRUE(WaitFor([&] { return buffers.MissingItem(SoundSlot::A) == 6; }));  // the thread is idle
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sound.RetryMissingSound(5, 0));
    const auto held = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_LT(held.count(), kTimeoutMs / 2) << "the retry waits its own short time, not the connection's";
    EXPECT_TRUE(buffers.CurrentMissing(5));
    ASSERT_TRUE(other.Exec("ROLLBACK;").ok());
    EXPECT_FALSE(sound.RetryMissingSound(5, 1)) << "not on every tick";
    EXPECT_TRUE(sound.RetryMissingSound(5, TLoadSound::kMissingRetryEveryMs));
    holds(5, sound.CurrentSoundBuffer(), sound.CurrentSoundDuration());
    EXPECT_EQ(buffers.HeldItem(SoundSlot::B), 5);
    sound.SwapBuffers(6, 1);  // the thread's failed build of 6 is done again by the swap
    holds(6, sound.CurrentSoundBuffer(), sound.CurrentSoundDuration());
    sound.Shutdown();
}

// ---- Word counts that cannot be stored, and the window thread's operations ---------------------

int RunOn(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

TEST(SoundThread, AFailedWordCountIsToldOnceOnTheWindowsThread) {
    FakeBuilder builder;
    WordsDb db;
    db.Add("alpha");
    db.Add("beta");
    ASSERT_EQ(RunOn(lq::test::RawHandle(db), "CREATE TRIGGER refuse BEFORE UPDATE ON wrdstt WHEN new.twordd='beta' BEGIN "
                                 "SELECT RAISE(ABORT, 'disk refused'); END;"),
              SQLITE_OK);
    test::RecordingPrompter prompter;
    LearnState state;
    TLoadSound sound(builder, db);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitDone(2));
    ReportWordCountFailure(sound, state);
    EXPECT_TRUE(prompter.messages.empty()) << "nothing failed yet";

    sound.QueueAnsweredWord("alpha");
    sound.QueueAnsweredWord("beta");
    sound.SwapBuffers(2, 3);
    ASSERT_TRUE(builder.WaitDone(3));
    for (int i = 0; i < 500 && db.Answers("alpha") == 0; ++i) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(prompter.messages.empty()) << "the sound thread shows nothing itself";
    EXPECT_EQ(db.Answers("alpha"), 1) << "the other words are still counted";

    ReportWordCountFailure(sound, state);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("not being saved")))
        << prompter.messages[0].text.toStdString();
    EXPECT_TRUE(prompter.messages[0].text.contains(QStringLiteral("disk refused")));
    ReportWordCountFailure(sound, state);

    // Another failure, at the shut-down's drain: the learner was told already.
    sound.QueueAnsweredWord("beta");
    sound.Shutdown();
    ReportWordCountFailure(sound, state);
    EXPECT_EQ(prompter.messages.size(), 1u) << "told once per run";
    EXPECT_EQ(db.Answers("beta"), 0);
}

// A word count whose statement fails after a trigger of it changed a sentence: the engine undoes
// the statement without reporting the undone row, so the score's totals must hear of the failure.
TEST(SoundThread, AFailedWordCountLeavesTheScoreTotalsRight) {
    test::TempDir dir;
    Database db;
    ASSERT_TRUE(db.Open(dir.File("QV_01.db")).ok());
    ASSERT_TRUE(db.Exec("INSERT INTO items2 (isound, igansw, irng_2) values(1, 1, 10);"
                        "INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(1, 0, 0, 'w');"
                        "CREATE TRIGGER bump AFTER UPDATE ON wrdstt BEGIN UPDATE items2 SET igansw=igansw+5; "
                        "SELECT RAISE(ABORT, 'refused'); END;")
                    .ok());
    LessonCaches* caches = LessonCaches::Of(db);
    ASSERT_NE(caches, nullptr);
    ItemTotals totals;
    ASSERT_TRUE(caches->ReadTotals(totals));
    ASSERT_EQ(totals.CountOf(1), 1);

    const SqlResult r = ApplyAnsweredWord(db, "w");
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message.find("refused"), std::string::npos) << r.message;
    ASSERT_TRUE(caches->ReadTotals(totals));
    EXPECT_EQ(totals.CountOf(1), 1) << "the undone change is not counted";
    EXPECT_EQ(totals.CountOf(6), 0);
}

TEST(SoundThread, AWordCountIsPutOffWhileTheWindowThreadsOperationIsOpenAndOutlivesItsRollback) {
    FakeBuilder builder;
    WordsDb db;
    db.Add("alpha");
    TLoadSound sound(builder, db);
    sound.PrepareFirstSounds(1, 2);
    ASSERT_TRUE(builder.WaitDone(2));

    // An operation of the window's thread is under way when the word is counted, and fails.
    ASSERT_EQ(RunOn(lq::test::RawHandle(db), "BEGIN IMMEDIATE;"), SQLITE_OK);
    sound.QueueAnsweredWord("alpha");
    sound.SwapBuffers(2, 3);
    ASSERT_TRUE(builder.WaitDone(3));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(db.Answers("alpha"), 0) << "not made part of the open operation";
    EXPECT_EQ(sound.Words().Size(), 1u) << "it waits in the queue";
    ASSERT_EQ(RunOn(lq::test::RawHandle(db), "ROLLBACK;"), SQLITE_OK);

    sound.Shutdown();
    EXPECT_EQ(db.Answers("alpha"), 1) << "counted once the operation was over";
    EXPECT_FALSE(sound.TakeWordCountFailure());
}

}  // namespace
}  // namespace lq
