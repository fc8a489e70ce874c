#pragma once
// The main window: the program's view of its session. Its creation runs the session's start-up
// (Session::Start: welcome window, database, settings, the first two sentences, the sound thread
// and the first sound, the pages), its closing the shut-down (Session::Shut: settings written,
// sound thread ended and waited for, database closed). It holds the page control with its seven
// pages, plays the current sentence from its 200 ms timer, and gives the learning step its hooks
// into the windows and the sound engine.
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
#include "session/Session.h"

namespace Ui {
class TessarinMF;
}

class QPlainTextEdit;

namespace lq {

class LearnPage;
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

// What the main window needs besides its session; every member may be left empty.
struct MainWindowServices {
    // Plays the sentence sounds; when empty, the process-wide player.
    SoundPlayer* player = nullptr;
    // A monotonic millisecond clock for the play timer; when empty, steady_clock.
    std::function<int64_t()> monotonicMs;
    // Whether the start-up shows the welcome window.
    bool welcomeWindow = true;
    // Records the learner's voice in the recorder; when empty, the recorder's SDL capture.
    AudioCapture* capture = nullptr;
};

class TTessarinMF : public QMainWindow {
    Q_OBJECT
public:
    // Runs the session's start-up with this window as its view. `session` must outlive the
    // window and every window made after it.
    explicit TTessarinMF(Session& session, MainWindowServices services = {}, QWidget* parent = nullptr);
    ~TTessarinMF() override;

    // The session's services (every member set).
    const AppContext& Context() const { return ctx_; }
    SentenceBoard& Board() { return session_.Board(); }
    Ui::TessarinMF& Form() { return *ui_; }
    LearnPage& Learn() { return *learnPage_; }
    TLoadSound* Sound() { return session_.Sound(); }
    PlayScheduler& Scheduler() { return scheduler_; }

    // The windows the entry creates after this one (Qt deletes them after this one's members).
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
    class SessionView;

    void FormClose();
    void StatusLine(const char* line, bool paint = true);
    void ConnectOtherParts();
    void PagesChanged(int index);
    void PlayCurrentSound();
    void LoadPictures();

    Session& session_;
    AppContext ctx_;  // the session's
    MainWindowServices services_;
    std::unique_ptr<Ui::TessarinMF> ui_;
    std::unique_ptr<LearnPage> learnPage_;
    SoundPlayer* player_ = nullptr;
    PlayScheduler scheduler_;
    QTimer timer1_;
    std::unique_ptr<StepHooks> stepHooks_;
    std::unique_ptr<SessionView> view_;
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
