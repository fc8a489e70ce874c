#pragma once
// The main window: its creation is the program's start-up (welcome window, database, settings,
// the first two sentences, the sound thread and the first sound, the pages), its closing the
// shut-down (settings written, sound thread ended and waited for, database closed). It holds the
// page control with its seven pages, plays the current sentence from its 200 ms timer, and owns
// the learning step's hooks into the windows and the sound engine.
#include <QMainWindow>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/AppContext.h"
#include "core/FileVersion.h"
#include "core/SentenceBoard.h"
#include "core/Settings.h"
#include "learn/PlayScheduler.h"

namespace Ui {
class TessarinMF;
}

class QPlainTextEdit;

namespace lq {

class ItemWaveBuilder;
class LearnPage;
class LearningStep;
class Page;
class SoundPlayer;
class AudioCapture;
class TChooseModuleFrm;
class TComentFrm;
class TImagesFrm;
class TRecFrm;
class TLoadSound;
class TWlcmScrnFrm;
struct LearnPageHooks;

// What the main window needs besides the services bundle; every member may be left empty.
struct MainWindowServices {
    // Builds the sentence sounds; when empty the window builds them with a SoundBuilder from the
    // module files in ProgramDir/Data.
    ItemWaveBuilder* soundBuilder = nullptr;
    // Plays them; when empty, the process-wide player.
    SoundPlayer* player = nullptr;
    // A monotonic millisecond clock for the play timer; when empty, steady_clock.
    std::function<int64_t()> monotonicMs;
    // The pauses of the start-up around the sound thread's start (milliseconds).
    int startupPauseMs = 100;
    // Whether the start-up shows the welcome window.
    bool welcomeWindow = true;
    // Records the learner's voice in the recorder; when empty, the recorder's SDL capture.
    AudioCapture* capture = nullptr;
};

class TTessarinMF : public QMainWindow {
    Q_OBJECT
public:
    // Runs the whole start-up. `ctx.env` must be set (ProgramDir, DebugMode); the other members
    // of `ctx` may be null, and the window then provides its own (the settings file at
    // DefaultIniPath(), the system clock, a generator seeded from the time). `dbFile` is the
    // database file name ("QV_01.db", or the "-dbfile" argument), relative to ProgramDir.
    TTessarinMF(const AppContext& ctx, std::string dbFile, MainWindowServices services = {},
                QWidget* parent = nullptr);
    ~TTessarinMF() override;

    // The services of the run (every member set), for the windows created after this one.
    AppContext& Context() { return ctx_; }
    SentenceBoard& Board() { return board_; }
    Ui::TessarinMF& Form() { return *ui_; }
    LearnPage& Learn() { return *learnPage_; }
    TLoadSound* Sound() { return sound_.get(); }
    PlayScheduler& Scheduler() { return scheduler_; }

    // The windows the entry creates after this one (they live as long as this one).
    // The pictures window: its toggle, the current sentence's pictures now and after each step,
    // its geometry at the shut-down.
    void AttachPicturesWindow(TImagesFrm& window);
    // The comments window: its toggle, the comment of each sentence laid out, its geometry.
    void AttachCommentsWindow(TComentFrm& window);
    // The module chooser of the Setting page's "Add".
    void AttachModuleChooser(TChooseModuleFrm& window);
    // Further geometry keys for the settings file.
    std::function<void(WindowsToSave&)> CollectGeometry;
    // The recorder window (created at the start-up, kept for the run) and its opening from the
    // Learn page: playing stops, the sound loop goes off, the window shows modally on the current
    // sentence's sound.
    TRecFrm& Recorder();
    bool HasRecorder() const { return recorder_ != nullptr; }
    void OpenRecorder();

    // The learning step (NextBtnClick).
    void NextBtnClick();
    // The 200 ms timer: plays the current sentence while the Learn page is shown and sound is on.
    void Timer1Timer();
    // The stop used by the learning step, the sound check and the recorder.
    void StopSound();
    // The sound check of the Setting page: "Variables", "Sound 1", "Sound 2".
    void SpeedButton5Click(QPlainTextEdit* memo);
    void SpeedButton2Click(QPlainTextEdit* memo);
    void SpeedButton4Click(QPlainTextEdit* memo);

    // The page object of a tab (null for a page whose part is not connected).
    Page* PageOf(QWidget* tab) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class StepHooks;
    class ShortcutFilter;

    void FormCreate();
    void FormClose();
    void StatusLine(const char* line, bool paint = true);
    void Pause() const;
    void ConnectOtherParts();
    void PagesChanged(int index);
    void PlayCurrentSound();
    void LoadPictures();

    struct Owned;
    std::unique_ptr<Owned> owned_;  // the services the caller left to the window
    AppContext ctx_;
    std::string dbFile_;
    MainWindowServices services_;
    std::unique_ptr<Ui::TessarinMF> ui_;
    SentenceBoard board_;
    std::unique_ptr<LearnPage> learnPage_;
    std::unique_ptr<ItemWaveBuilder> ownBuilder_;
    std::unique_ptr<TLoadSound> sound_;
    SoundPlayer* player_ = nullptr;
    PlayScheduler scheduler_;
    QTimer timer1_;
    std::unique_ptr<StepHooks> stepHooks_;
    std::unique_ptr<LearningStep> step_;
    std::unique_ptr<ShortcutFilter> shortcuts_;
    std::unique_ptr<TWlcmScrnFrm> welcome_;

    // The pages of the other parts, by tab (see ConnectOtherParts).
    struct OtherParts;
    std::unique_ptr<OtherParts> parts_;

    int currentPage_ = -1;     // the tab whose page was last shown
    bool pageShown_ = false;   // its OnShow ran and its OnHide not yet
    bool closed_ = false;
    TImagesFrm* picturesWindow_ = nullptr;
    TComentFrm* commentsWindow_ = nullptr;
    std::unique_ptr<TRecFrm> recorder_;  // last: it goes before the services it uses
};

}  // namespace lq
