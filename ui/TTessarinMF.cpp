#include "ui/TTessarinMF.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTabWidget>
#include <QToolButton>
#include <map>
#include <optional>

#include "Version.h"
#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/Database.h"
#include "core/LearningStep.h"
#include "core/Restart.h"
#include "core/Score.h"
#include "core/Words.h"
#include "pages/Dictionary.h"
#include "platform/SoundPlayer.h"
#include "platform/Tick.h"
#include "sound/LoadSoundThread.h"
#include "ui/AboutPage.h"
#include "ui/EditPage.h"
#include "ui/GraphsPage.h"
#include "ui/LearnPage.h"
#include "ui/ListPage.h"
#include "ui/Log.h"
#include "ui/ModulePanel.h"
#include "ui/Page.h"
#include "ui/ScoreLabels.h"
#include "ui/ScreenFit.h"
#include "ui/SettingPage.h"
#include "ui/StatisticsPage.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"
#include "ui/TRecFrm.h"
#include "ui/TWlcmScrnFrm.h"
#include "ui_TabSheet1.h"
#include "ui_TessarinMF.h"

namespace lq {

// ---------------------------------------------------------------------------------------------
// The pages and windows of the other parts. ConnectOtherParts is the one place where they are
// created on their tabs and hooked to the main window.
struct TTessarinMF::OtherParts {
    std::unique_ptr<ScoreLabels> scoreLabels;
    std::unique_ptr<EditPage> edit;
    std::unique_ptr<ListPage> list;
    std::unique_ptr<GraphsPage> graphs;
    std::unique_ptr<SettingPage> setting;
    std::unique_ptr<ModulePanel> modules;  // goes before its page
    std::unique_ptr<StatisticsPage> statistics;
    std::unique_ptr<AboutPage> about;
    DesktopDictionaryPorts dictionaryPorts;
    std::unique_ptr<DictionaryLookup> dictionary;
    std::map<QWidget*, Page*> pages;  // tab -> page
};

class TTessarinMF::StepHooks final : public LearningStepHooks {
public:
    explicit StepHooks(TTessarinMF& w) : w_(w) {}
    void ShowAnswerCount(int n) override { w_.learnPage_->Form().AnswerCountLbl->setText(QString::number(n)); }
    void StopSound() override { w_.StopSound(); }
    void QueueAnsweredWord(const std::string& word) override {
        if (TLoadSound* sound = w_.Sound()) sound->QueueAnsweredWord(word);
    }
    void PrepareCurrentItem() override { w_.learnPage_->PrepareCurrentItem(); }
    void ShowScoreLabels(const ScoreLabelTexts& texts) override {
        if (w_.parts_->scoreLabels) w_.parts_->scoreLabels->Show(texts);
    }
    void ResetLastPlayTick() override { w_.scheduler_.Reset(); }
    void DisableNext() override { w_.learnPage_->DisableNext(); }
    void SwapSoundBuffers() override {
        if (TLoadSound* sound = w_.Sound()) sound->SwapBuffers(w_.ctx_.state->CurrentItemId, w_.ctx_.state->NextItemId);
    }
    void LoadPictures() override { w_.LoadPictures(); }
    void ShowStepTime(const std::string& caption) override { w_.setWindowTitle(QString::fromStdString(caption)); }

private:
    TTessarinMF& w_;
};

void TTessarinMF::ConnectOtherParts() {
    OtherParts& p = *parts_;
    Ui::TabSheet1& learn = learnPage_->Form();
    p.scoreLabels = std::make_unique<ScoreLabels>(learn.ScoreLbl, learn.Score2Lbl, learn.DaysLeftLbl);
    p.edit = std::make_unique<EditPage>(ui_->TabSheet2, ctx_, Board());
    p.list = std::make_unique<ListPage>(ui_->TabSheet3, ctx_);
    p.graphs = std::make_unique<GraphsPage>(ui_->TabSheet4, ctx_);
    p.setting = std::make_unique<SettingPage>(ui_->TabSheet5, ctx_);
    p.statistics = std::make_unique<StatisticsPage>(ui_->TabSheet7, ctx_);
    p.about = std::make_unique<AboutPage>(ui_->TabSheet6);
    p.pages = {{ui_->TabSheet2, p.edit.get()},     {ui_->TabSheet3, p.list.get()},
               {ui_->TabSheet4, p.graphs.get()},   {ui_->TabSheet5, p.setting.get()},
               {ui_->TabSheet7, p.statistics.get()}, {ui_->TabSheet6, p.about.get()}};

    // The learning step's hooks.
    stepHooks_ = std::make_unique<StepHooks>(*this);
    LearnPageHooks& hooks = learnPage_->Hooks();
    hooks.NextStep = [this] { NextBtnClick(); };

    // The Setting page: the free-word edit follows its check box; the sound check is ours.
    p.setting->SetFreeWordEdit(learn.InpWrdED0);
    p.setting->SetSoundCheckAvailable(true);
    connect(p.setting.get(), &SettingPage::SoundCheckVariablesClicked, this,
            [this] { SpeedButton5Click(parts_->setting->SoundCheckMemo()); });
    connect(p.setting.get(), &SettingPage::SoundCheckSound1Clicked, this,
            [this] { SpeedButton2Click(parts_->setting->SoundCheckMemo()); });
    connect(p.setting.get(), &SettingPage::SoundCheckSound2Clicked, this,
            [this] { SpeedButton4Click(parts_->setting->SoundCheckMemo()); });

    // The module list and the module buttons of the Setting page.
    p.modules = std::make_unique<ModulePanel>(*p.setting, ctx_);

    // The dictionary (the session loads its library at the end of the start-up).
    p.dictionary = std::make_unique<DictionaryLookup>(p.dictionaryPorts.Ports(), session_.Dictionary(),
                                                      [](std::string_view w) { return NormalizeWord(w); });
    hooks.HideTranslation = [this] { parts_->dictionary->LearnPageHidden(); };
    hooks.LookUpSelectedWord = [this] {
        parts_->dictionary->Lookup(Board(), learnPage_->Board().SelectedTile, ctx_.settings->Translater,
                                   learnPage_->Form().WorkPlace->mapToGlobal(QPoint(0, 0)),
                                   static_cast<uintptr_t>(winId()), *ctx_.state, TickCountMs());
    };
    hooks.CtrlBlocked = [this] { return parts_->dictionary->Guard().BlocksCtrl(TickCountMs()); };
    hooks.CtrlReleased = [this] { parts_->dictionary->Guard().NoteCtrlReleased(); };
    hooks.OpenRecorder = [this] { OpenRecorder(); };

    // Still for the entry: the pictures and comments windows (AttachPicturesWindow,
    // AttachCommentsWindow), the module chooser (AttachModuleChooser) and the module list's
    // actions on the Setting page.
}

void TTessarinMF::AttachModuleChooser(TChooseModuleFrm& window) { parts_->modules->SetChooserWindow(&window); }

void TTessarinMF::AttachPicturesWindow(TImagesFrm& window) {
    picturesWindow_ = &window;
    learnPage_->Hooks().ShowPictures = [&window](bool shown) { window.ShowWindow(shown); };
    // Closed by the window manager: the button comes up, so that its next click shows it again.
    window.Closed = [this] { learnPage_->Form().ImagesViewBtn->setChecked(false); };
    // The current sentence's pictures, as the start-up loads them.
    LoadPictures();
}

void TTessarinMF::AttachCommentsWindow(TComentFrm& window) {
    commentsWindow_ = &window;
    LearnPageHooks& hooks = learnPage_->Hooks();
    hooks.ShowComments = [&window](bool shown) { window.ShowWindow(shown); };
    hooks.ShowComment = [&window](const std::string& text) { window.ShowComment(text); };
    window.Closed = [this] { learnPage_->Form().ComentViewBtn->setChecked(false); };
}

void TTessarinMF::LoadPictures() {
    if (!picturesWindow_) return;
    picturesWindow_->LoadItemImages();
    picturesWindow_->DrawImages();
}
// ---------------------------------------------------------------------------------------------

class TTessarinMF::ShortcutFilter final : public QObject {
public:
    explicit ShortcutFilter(TTessarinMF& w) : w_(w) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
        auto* target = qobject_cast<QWidget*>(watched);
        if (!target || target->window() != &w_) return false;
        // Once per key: at the widget it is sent to, not again while it travels to the parents.
        QWidget* focus = w_.focusWidget();
        if (target != (focus ? focus : &w_)) return false;
        return w_.learnPage_->FormShortCut(static_cast<QKeyEvent*>(event),
                                           w_.ui_->Pages->currentWidget() == w_.ui_->TabSheet1);
    }

private:
    TTessarinMF& w_;
};

// The window's side of the session's start-up and shut-down.
class TTessarinMF::SessionView final : public StartupView, public ShutdownView {
public:
    explicit SessionView(TTessarinMF& w) : w_(w) {}

    void OpenWelcome() override {
        if (!w_.services_.welcomeWindow) return;
        w_.welcome_ = TWlcmScrnFrm::Open();
        w_.welcome_->SetVersionText(QString::fromStdString(FileVersionText()));
    }
    void StatusLine(const char* line, bool paint) override { w_.StatusLine(line, paint); }
    void PrepareDrawing() override {
        w_.learnPage_->SetTextColors();
        w_.learnPage_->CreateWorkBitmap();
    }
    void ShowGraphScales() override {
        if (w_.parts_->graphs) w_.parts_->graphs->InitScales();
    }
    void ShowSettings(const CommonSettings& settings, int left, int top) override {
        PlaceOnScreen(w_, {left, top, w_.height(), w_.width()});
        w_.learnPage_->ShowPlayDelay(settings.PlayDelay);
        if (w_.parts_->setting) w_.parts_->setting->ShowStartupSettings();
    }
    void ShowWordStatCount() override {
        if (w_.parts_->statistics) w_.parts_->statistics->UpdateRowCount();
    }
    void ParkTypingEdits() override { w_.learnPage_->ParkTypingEdits(); }
    void LoadPictures() override { w_.LoadPictures(); }
    void ShowLearnPage() override { w_.ui_->Pages->setCurrentWidget(w_.ui_->TabSheet1); }
    void CloseWelcome() override {
        if (!w_.welcome_) return;
        w_.welcome_->Finish();
        w_.welcome_.reset();
    }

    void CollectGeometry(WindowsToSave& windows) override {
        windows.MainLeft = w_.x();
        windows.MainTop = w_.y();
        if (w_.picturesWindow_) windows.Pictures = w_.picturesWindow_->Geometry();
        if (w_.commentsWindow_) windows.Comments = w_.commentsWindow_->Geometry();
        if (w_.recorder_) {
            w_.recorder_->done(QDialog::Rejected);  // a recording under way ends first
            windows.Recorder = w_.recorder_->GeometryToSave();
        }
        if (w_.CollectGeometry) w_.CollectGeometry(windows);
    }
    void StopPlaying() override { w_.player_->Stop(); }

private:
    TTessarinMF& w_;
};

TTessarinMF::TTessarinMF(Session& session, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      ctx_(session.Context()),
      services_(std::move(services)),
      ui_(std::make_unique<Ui::TessarinMF>()),
      view_(std::make_unique<SessionView>(*this)),
      parts_(std::make_unique<OtherParts>()) {
    player_ = services_.player ? services_.player : &AppSoundPlayer();

    ui_->setupUi(this);
    // The pages place their controls at fixed pixels: the window keeps the size they were laid
    // out for, so that it is never mostly empty (maximised) nor cuts them off (shrunk).
    ui_->centralwidget->setFixedSize(size());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    learnPage_ = std::make_unique<LearnPage>(ui_->TabSheet1, ctx_, Board());
    currentPage_ = ui_->Pages->currentIndex();
    connect(ui_->Pages, &QTabWidget::currentChanged, this, [this](int index) { PagesChanged(index); });
    ConnectOtherParts();

    session_.Start(*view_);

    shortcuts_ = std::make_unique<ShortcutFilter>(*this);
    qApp->installEventFilter(shortcuts_.get());
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(200);
    connect(&timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
    timer1_.start();
    SetMainWindowCloser([this] { close(); });
    // The recorder is created with the windows of the start-up (it reads its geometry keys now,
    // and writes them at the shut-down) and shown modally from the Learn page.
    if (ctx_.db->IsOpen()) Recorder();
}

TTessarinMF::~TTessarinMF() {
    SetMainWindowCloser(nullptr);
    if (shortcuts_) qApp->removeEventFilter(shortcuts_.get());
}

TRecFrm& TTessarinMF::Recorder() {
    if (!recorder_) {
        RecorderServices rs;
        rs.ini = ctx_.ini;
        rs.debugMode = ctx_.env && ctx_.env->DebugMode;
        rs.player = player_;
        rs.capture = services_.capture;
        recorder_ = std::make_unique<TRecFrm>(rs, this);
    }
    return *recorder_;
}

void TTessarinMF::OpenRecorder() {
    StopSound();
    learnPage_->SetSoundOn(false);
    TRecFrm& recorder = Recorder();
    if (const TLoadSound* sound = Sound())
        recorder.SetSentence(sound->CurrentSoundBuffer().Data(), SoundBuffer::Capacity(), sound->CurrentSoundDuration());
    else
        recorder.SetSentence(nullptr, 0, 0.0f);
    recorder.exec();
}

void TTessarinMF::StatusLine(const char* line, bool paint) {
    if (!welcome_) return;
    if (paint) {
        welcome_->AddStatusLine(QString::fromLatin1(line));
    } else {
        // Added now, painted with the next line.
        const QSignalBlocker block(welcome_.get());
        welcome_->setUpdatesEnabled(false);
        welcome_->AddStatusLine(QString::fromLatin1(line));
        welcome_->setUpdatesEnabled(true);
    }
}

void TTessarinMF::FormClose() {
    if (closed_) return;
    closed_ = true;
    timer1_.stop();
    session_.Shut(*view_);
}

void TTessarinMF::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    // Closing the main window ends the program, whatever tool windows are still shown.
    QCoreApplication::quit();
}

Page* TTessarinMF::PageOf(QWidget* tab) const {
    if (tab == ui_->TabSheet1) return learnPage_.get();
    const auto it = parts_->pages.find(tab);
    return it == parts_->pages.end() ? nullptr : it->second;
}

void TTessarinMF::PagesChanged(int index) {
    // A page switch is one operation: however many statements the pages run, it waits at most
    // once for another program's lock, and then shows what it could read.
    std::optional<OperationWait> wait;
    if (ctx_.db) wait.emplace(*ctx_.db);
    if (pageShown_) {
        if (Page* old = PageOf(ui_->Pages->widget(currentPage_))) old->OnHide();
        pageShown_ = false;
    }
    currentPage_ = index;
    if (isVisible() && !closed_) {
        pageShown_ = true;
        if (Page* page = PageOf(ui_->Pages->widget(index))) page->OnShow();
    }
}

void TTessarinMF::showEvent(QShowEvent* event) {
    KeepOnScreen(*this);
    QMainWindow::showEvent(event);
    // Restoring a minimised window is not a page change.
    if (event->spontaneous() || pageShown_ || closed_) return;
    currentPage_ = ui_->Pages->currentIndex();
    pageShown_ = true;
    if (Page* page = PageOf(ui_->Pages->currentWidget())) page->OnShow();
}

void TTessarinMF::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (event->spontaneous() || !pageShown_ || closed_) return;
    pageShown_ = false;
    if (Page* page = PageOf(ui_->Pages->widget(currentPage_))) page->OnHide();
}

void TTessarinMF::NextBtnClick() { session_.RunStep(*stepHooks_); }

void TTessarinMF::StopSound() { player_->Stop(); }

void TTessarinMF::PlayCurrentSound() {
    const TLoadSound* sound = Sound();
    if (!sound) return;
    const SoundBuffer& buffer = sound->CurrentSoundBuffer();
    player_->Play(buffer.Data(), buffer.ImageBytes(), PlayMode::NoStop);
}

void TTessarinMF::Timer1Timer() {
    TLoadSound* sound = Sound();
    if (!sound || closed_) return;
    ReportWordCountFailure(*sound, *ctx_.state);
    const std::function<int64_t()> now = services_.monotonicMs ? services_.monotonicMs : std::function<int64_t()>(MonotonicMs);
    // A sound another program's lock kept out is built again now and then, and played at once.
    if (learnPage_->LearnPageVisible() && learnPage_->SoundOn() &&
        sound->RetryMissingSound(ctx_.state->CurrentItemId, now()))
        scheduler_.Reset();
    scheduler_.Tick(learnPage_->LearnPageVisible(), learnPage_->SoundOn(), ctx_.settings->PlayDelay,
                    sound->CurrentSoundDuration(), now, [this] { PlayCurrentSound(); });
}

void TTessarinMF::SpeedButton5Click(QPlainTextEdit* memo) {
    memo->clear();
    const std::vector<std::string> lines =
        Sound() ? Sound()->DiagnosticLines() : std::vector<std::string>{"Handle 1 - Error", "Handle 2 - Error"};
    for (const std::string& line : lines) memo->appendPlainText(QString::fromStdString(line));
}

void TTessarinMF::SpeedButton2Click(QPlainTextEdit* memo) {
    TLoadSound* sound = Sound();
    if (!sound) return;
    StopSound();
    const int r = sound->RebuildCurrent(ctx_.state->CurrentItemId);
    PlayCurrentSound();
    memo->appendPlainText(QStringLiteral("Sound 1"));
    memo->appendPlainText(QStringLiteral("MakeSound: %1").arg(r));
    memo->appendPlainText(QString());
}

void TTessarinMF::SpeedButton4Click(QPlainTextEdit* memo) {
    TLoadSound* sound = Sound();
    if (!sound) return;
    StopSound();
    const int r = sound->RebuildPending(ctx_.state->NextItemId);
    const SoundBuffer& pending = sound->PendingSoundBuffer();
    player_->Play(pending.Data(), pending.ImageBytes(), PlayMode::NoStop);
    memo->appendPlainText(QStringLiteral("Sound 2"));
    memo->appendPlainText(QStringLiteral("MakeSound: %1").arg(r));
    memo->appendPlainText(QString());
}

}  // namespace lq
