#include "session/Session.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "core/LearningStep.h"
#include "core/Scheduling.h"
#include "core/StartupPolicy.h"
#include "core/Words.h"
#include "core/WriteReports.h"
#include "session/Log.h"
#include "sound/LoadSoundThread.h"
#include "sound/SoundBuilder.h"

namespace lq {

Session::Session(const ProgramEnv& env, std::string dbFile, SessionServices services)
    : env_(env),
      dbFile_(std::move(dbFile)),
      services_(services),
      ini_(std::make_unique<IniFile>(DefaultIniPath())),
      // Seeded from the time of the start-up.
      rng_(static_cast<uint32_t>(std::time(nullptr))) {
    ctx_.env = &env_;
    ctx_.state = &state_;
    ctx_.settings = &settings_;
    ctx_.db = &db_;
    ctx_.row = &row_;
    ctx_.ini = ini_.get();
    ctx_.clock = &clock_;
    ctx_.rng = &rng_;
}

Session::~Session() {
    // Without a shut-down (a test, an exception) the thread still ends before the database.
    if (sound_) sound_->Shutdown();
}

bool Session::OpenDatabase() { return OpenAtStartup(db_, dbFile_, env_.ProgramDir); }

bool Session::ReadTotals() { return OpenDatabaseAndTotals(db_, env_.ProgramDir, state_, row_); }

void Session::Pause() const {
    if (services_.startupPauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(services_.startupPauseMs));
}

void Session::Start(StartupView& view) {
    const std::string& programDir = env_.ProgramDir;
    // 1-2. The welcome window with the version and the first status line.
    view.OpenWelcome();
    // 3-4.
    state_.NowText = DateText(clock_.Now());
    if (!programDir.empty() && chdir(programDir.c_str()) != 0)
        qCWarning(lcSession, "Cannot enter the program folder %s", programDir.c_str());
    // 5-6. The options were read by the entry; the database, with its schema when new.
    OpenDatabase();
    // 7-8.
    view.StatusLine(kStatusReadingSentences, false);
    view.StatusLine(kStatusReadingAnswers, true);
    ReadTotals();
    // A database that cannot be written is told once, before the learner starts to practise.
    ReportUnwritableDatabase(db_, state_);
    // 9-11.
    state_.LastNextTime = clock_.Now();
    view.PrepareDrawing();
    // 12: the random source was seeded when it was made. 13.
    state_.AnswerHistoryCount = PruneAnswerHistory(db_, row_);
    // 14-15. The graph scales, from the history's scores as numbers.
    view.ShowGraphScales();
    // 16. The settings, shown in the controls.
    if (!ini_->Load()) qCWarning(lcSession, "Cannot read the settings file %s", ini_->Path().c_str());
    int left = 10, top = 10;
    ReadCommonSettings(*ini_, settings_, state_.ItemCount, left, top);
    view.ShowSettings(settings_, left, top);
    // 17. The current and the following sentence.
    state_.CurrentItemId = SelectNextItem(db_, row_, clock_, -1);
    state_.NextItemId = SelectNextItem(db_, row_, clock_, state_.CurrentItemId);
    // 18-20. The sound thread, then the first sound here and the following one on the thread.
    view.StatusLine(kStatusPreparingSound, true);
    ItemWaveBuilder* builder = services_.soundBuilder;
    if (!builder) {
        ownBuilder_ = std::make_unique<SoundBuilder>(db_, settings_.AddTimeSnd, programDir);
        builder = ownBuilder_.get();
    }
    sound_ = std::make_unique<TLoadSound>(*builder, db_);
    Pause();
    if (state_.ItemCount != 0) sound_->PrepareFirstSounds(state_.CurrentItemId, state_.NextItemId);
    // 21-23. The statistics grid's rows (its column widths are the page's own).
    view.StatusLine(kStatusReadingStatistics, true);
    state_.WordStatCount = CountWordStats(db_, row_);
    view.ShowWordStatCount();
    // 24.
    view.ParkTypingEdits();
    // 25. The pictures (when the pictures window is there; it is attached after the start-up).
    view.LoadPictures();
    // 26. The Learn page; it lays the sentence out when the window is first shown.
    view.ShowLearnPage();
    // 27. The dictionary library from the program folder, when it is there.
    dictionary_.Load(programDir);
    // 28.
    view.CloseWelcome();
}

void Session::Shut(ShutdownView& view) {
    if (shut_) return;
    shut_ = true;
    dictionary_.Exit();
    WindowsToSave windows;
    view.CollectGeometry(windows);
    WriteCommonSettings(*ini_, settings_, windows);
    if (!ini_->Save()) qCWarning(lcSession, "Cannot write the settings file %s", ini_->Path().c_str());
    // The thread ends (and its last words are counted) before the connection goes; a count
    // that could not be stored is still told.
    if (sound_) {
        sound_->Shutdown();
        ReportWordCountFailure(*sound_, state_);
    }
    view.StopPlaying();
    db_.Close();
}

ScheduleResult Session::RunStep(LearningStepHooks& hooks) { return LearningStep(ctx_, board_, hooks).Run(); }

}  // namespace lq
