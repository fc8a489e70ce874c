#pragma once
// One run of the program: the services it owns (the database and its row store, the learning
// state, the settings and their file, the clock, the random source, the sentence board, the sound
// builder and thread, the dictionary library) and the start-up and shut-down that make and end
// them. The entry makes the session before any window and destroys it after the last one, so the
// context it hands to the windows stays valid while any of them exists. The windows are views:
// the start-up and the shut-down call them at their steps (session/Startup.h).
#include <memory>
#include <string>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/Random.h"
#include "core/SentenceBoard.h"
#include "core/Settings.h"
#include "pages/Dictionary.h"
#include "platform/DateTime.h"
#include "platform/IniFile.h"
#include "session/Startup.h"

namespace lq {

class ItemWaveBuilder;
class LearningStepHooks;
class TLoadSound;
struct ScheduleResult;

// What a caller may give the session instead of its own; every member may be left empty.
struct SessionServices {
    // Builds the sentence sounds; when empty, a SoundBuilder over the module files of
    // ProgramDir/Data (made at the start-up, after the settings are read).
    ItemWaveBuilder* soundBuilder = nullptr;
    // The start-up's pause after the sound thread started (milliseconds).
    int startupPauseMs = 100;
};

class Session {
public:
    // `env`: the program folder and debug mode as the entry found them. `dbFile`: the database
    // file ("QV_01.db", or the "-dbfile" argument), relative to the current folder when it is
    // opened (the start-up enters the program folder first). The settings file is
    // DefaultIniPath(), the clock the system's, the random source seeded from the time now.
    Session(const ProgramEnv& env, std::string dbFile, SessionServices services = {});
    // Ends the sound thread (when the shut-down did not) before the database is closed.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The services of the run, every member set, for the windows and the pages; valid as long
    // as the session.
    const AppContext& Context() const { return ctx_; }
    const ProgramEnv& Env() const { return env_; }
    LearnState& State() { return state_; }
    CommonSettings& Settings() { return settings_; }
    Database& Db() { return db_; }
    IniFile& Ini() { return *ini_; }
    SentenceBoard& Board() { return board_; }
    DictionaryLibrary& Dictionary() { return dictionary_; }
    // The sound thread; null before the start-up made it.
    TLoadSound* Sound() { return sound_.get(); }

    // The program's one way to open its database (the windowed start-up and the "-additems"
    // road): `dbFile`, with its schema when new. When it cannot be opened the learner is told
    // ("Can't open database: %s") and QV_01.db of the program folder is tried instead. False
    // when no connection could be had (that has been told).
    bool OpenDatabase();
    // The item count and the last score (QV_01.db of the program folder is opened, silently,
    // when no connection is open). False without a connection.
    bool ReadTotals();

    // The start-up, in its order: the welcome window, the program folder, the database and its
    // totals, the drawing surfaces, the prune of the score history, the graph scales, the
    // settings, the first two sentences, the sound thread and the first sound, the word
    // statistics, the typing edits, the pictures, the Learn page, the dictionary library. It runs
    // to its end without a database too (the entry then ends the program).
    void Start(StartupView& view);
    // The shut-down, once (later calls do nothing): the dictionary library's exit, the settings
    // written with the windows' geometry, the sound thread ended and its last word counts stored
    // (a count that could not be stored is told), playing stopped, the database closed.
    void Shut(ShutdownView& view);
    bool IsShut() const { return shut_; }

    // One learning step (the Learn page's Next) over the session's services and board.
    ScheduleResult RunStep(LearningStepHooks& hooks);

private:
    void Pause() const;

    ProgramEnv env_;
    std::string dbFile_;
    SessionServices services_;
    LearnState state_;
    CommonSettings settings_;
    Database db_;
    CurrentRow row_;  // the user-interface thread's row store
    std::unique_ptr<IniFile> ini_;
    SystemClock clock_;
    StdRandom rng_;
    SentenceBoard board_;
    DictionaryLibrary dictionary_;
    AppContext ctx_;
    std::unique_ptr<ItemWaveBuilder> ownBuilder_;
    std::unique_ptr<TLoadSound> sound_;  // last: it ends before what it uses
    bool shut_ = false;
};

}  // namespace lq
