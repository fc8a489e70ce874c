#include "ui/TTessarinMF.h"

#include <unistd.h>

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
#include <chrono>
#include <ctime>
#include <map>
#include <optional>
#include <thread>

#include "Version.h"
#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/LearningStep.h"
#include "core/Random.h"
#include "core/Restart.h"
#include "core/Scheduling.h"
#include "core/Score.h"
#include "core/StartupPolicy.h"
#include "core/Words.h"
#include "core/WriteReports.h"
#include "pages/Dictionary.h"
#include "platform/DateTime.h"
#include "platform/IniFile.h"
#include "platform/SoundPlayer.h"
#include "platform/Tick.h"
#include "sound/LoadSoundThread.h"
#include "sound/SoundBuilder.h"
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

// The services the caller did not provide.
struct TTessarinMF::Owned {
    ProgramEnv env;
    LearnState state;
    CommonSettings settings;
    Database db;
    CurrentRow row;
    std::unique_ptr<IniFile> ini;
    SystemClock clock;
    std::unique_ptr<StdRandom> rng;
};

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
    DictionaryLibrary dictionaryLibrary;
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
        if (w_.sound_) w_.sound_->QueueAnsweredWord(word);
    }
    void PrepareCurrentItem() override { w_.learnPage_->PrepareCurrentItem(); }
    void ShowScoreLabels(const ScoreLabelTexts& texts) override {
        if (w_.parts_->scoreLabels) w_.parts_->scoreLabels->Show(texts);
    }
    void ResetLastPlayTick() override { w_.scheduler_.Reset(); }
    void DisableNext() override { w_.learnPage_->DisableNext(); }
    void SwapSoundBuffers() override {
        if (w_.sound_) w_.sound_->SwapBuffers(w_.ctx_.state->CurrentItemId, w_.ctx_.state->NextItemId);
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
    p.edit = std::make_unique<EditPage>(ui_->TabSheet2, ctx_, board_);
    p.list = std::make_unique<ListPage>(ui_->TabSheet3, ctx_);
    p.graphs = std::make_unique<GraphsPage>(ui_->TabSheet4, ctx_);
    p.setting = std::make_unique<SettingPage>(ui_->TabSheet5, ctx_);
    p.statistics = std::make_unique<StatisticsPage>(ui_->TabSheet7, ctx_);
    p.about = std::make_unique<AboutPage>(ui_->TabSheet6);
    p.pages = {{ui_->TabSheet2, p.edit.get()},     {ui_->TabSheet3, p.list.get()},
               {ui_->TabSheet4, p.graphs.get()},   {ui_->TabSheet5, p.setting.get()},
               {ui_->TabSheet7, p.statistics.get()}, {ui_->TabSheet6, p.about.get()}};

    // The learning step.
    stepHooks_ = std::make_unique<StepHooks>(*this);
    step_ = std::make_unique<LearningStep>(ctx_, board_, *stepHooks_);
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

    // The dictionary (its library is loaded at the end of the start-up).
    p.dictionary = std::make_unique<DictionaryLookup>(p.dictionaryPorts.Ports(), p.dictionaryLibrary,
                                                      [](std::string_view w) { return NormalizeWord(w); });
    hooks.HideTranslation = [this] { parts_->dictionary->LearnPageHidden(); };
    hooks.LookUpSelectedWord = [this] {
        parts_->dictionary->Lookup(board_, learnPage_->Board().SelectedTile, ctx_.settings->Translater,
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

TTessarinMF::TTessarinMF(const AppContext& ctx, std::string dbFile, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      owned_(std::make_unique<Owned>()),
      ctx_(ctx),
      dbFile_(std::move(dbFile)),
      services_(std::move(services)),
      ui_(std::make_unique<Ui::TessarinMF>()),
      parts_(std::make_unique<OtherParts>()) {
    if (!ctx_.env) ctx_.env = &owned_->env;
    if (!ctx_.state) ctx_.state = &owned_->state;
    if (!ctx_.settings) ctx_.settings = &owned_->settings;
    if (!ctx_.db) ctx_.db = &owned_->db;
    if (!ctx_.row) ctx_.row = &owned_->row;
    if (!ctx_.ini) {
        owned_->ini = std::make_unique<IniFile>(DefaultIniPath());
        ctx_.ini = owned_->ini.get();
    }
    if (!ctx_.clock) ctx_.clock = &owned_->clock;
    if (!ctx_.rng) {
        // Seeded from the time of the start-up.
        owned_->rng = std::make_unique<StdRandom>(static_cast<uint32_t>(std::time(nullptr)));
        ctx_.rng = owned_->rng.get();
    }
    player_ = services_.player ? services_.player : &AppSoundPlayer();

    ui_->setupUi(this);
    // The pages place their controls at fixed pixels: the window keeps the size they were laid
    // out for, so that it is never mostly empty (maximised) nor cuts them off (shrunk).
    ui_->centralwidget->setFixedSize(size());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    learnPage_ = std::make_unique<LearnPage>(ui_->TabSheet1, ctx_, board_);
    currentPage_ = ui_->Pages->currentIndex();
    connect(ui_->Pages, &QTabWidget::currentChanged, this, [this](int index) { PagesChanged(index); });
    ConnectOtherParts();

    FormCreate();

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
    // Without a close (a test, an exception) the thread still ends before the database.
    if (sound_) sound_->Shutdown();
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
    if (sound_)
        recorder.SetSentence(sound_->CurrentSoundBuffer().Data(), SoundBuffer::Capacity(), sound_->CurrentSoundDuration());
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

void TTessarinMF::Pause() const {
    if (services_.startupPauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(services_.startupPauseMs));
}

void TTessarinMF::FormCreate() {
    LearnState& state = *ctx_.state;
    CommonSettings& settings = *ctx_.settings;
    Database& db = *ctx_.db;
    CurrentRow& row = *ctx_.row;
    const std::string& programDir = ctx_.env->ProgramDir;

    // 1-2. The welcome window with the version and the first status line.
    if (services_.welcomeWindow) {
        welcome_ = TWlcmScrnFrm::Open();
        welcome_->SetVersionText(QString::fromStdString(FileVersionText()));
    }
    // 3-4.
    state.NowText = DateText(ctx_.clock->Now());
    if (!programDir.empty() && chdir(programDir.c_str()) != 0)
        qCWarning(lcUi, "Cannot enter the program folder %s", programDir.c_str());
    // 5-6. The options were read by the entry; the database, with its schema when new.
    OpenAtStartup(db, dbFile_, programDir);
    // 7-8.
    StatusLine(kStatusReadingSentences, false);
    StatusLine(kStatusReadingAnswers);
    OpenDatabaseAndTotals(db, programDir, state, row);
    // A database that cannot be written is told once, before the learner starts to practise.
    ReportUnwritableDatabase(db, state);
    // 9-11.
    state.LastNextTime = ctx_.clock->Now();
    learnPage_->SetTextColors();
    learnPage_->CreateWorkBitmap();
    // 12: the random source was seeded when it was made. 13.
    state.AnswerHistoryCount = PruneAnswerHistory(db, row);
    // 14-15. The graph scales, from the history's scores as numbers.
    if (parts_->graphs) parts_->graphs->InitScales();
    // 16. The settings, shown in the controls.
    if (!ctx_.ini->Load()) qCWarning(lcUi, "Cannot read the settings file %s", ctx_.ini->Path().c_str());
    int left = 10, top = 10;
    ReadCommonSettings(*ctx_.ini, settings, state.ItemCount, left, top);
    PlaceOnScreen(*this, {left, top, height(), width()});
    learnPage_->ShowPlayDelay(settings.PlayDelay);
    if (parts_->setting) parts_->setting->ShowStartupSettings();
    // 17. The current and the following sentence.
    state.CurrentItemId = SelectNextItem(db, row, *ctx_.clock, -1);
    state.NextItemId = SelectNextItem(db, row, *ctx_.clock, state.CurrentItemId);
    // 18-20. The sound thread, then the first sound here and the following one on the thread.
    StatusLine(kStatusPreparingSound);
    ItemWaveBuilder* builder = services_.soundBuilder;
    if (!builder) {
        ownBuilder_ = std::make_unique<SoundBuilder>(db, settings.AddTimeSnd, programDir);
        builder = ownBuilder_.get();
    }
    sound_ = std::make_unique<TLoadSound>(*builder, db);
    Pause();
    if (state.ItemCount != 0) sound_->PrepareFirstSounds(state.CurrentItemId, state.NextItemId);
    // 21-23. The statistics grid's rows (its column widths are the page's own).
    StatusLine(kStatusReadingStatistics);
    state.WordStatCount = CountWordStats(db, row);
    if (parts_->statistics) parts_->statistics->UpdateRowCount();
    // 24.
    learnPage_->ParkTypingEdits();
    // 25. The pictures (when the pictures window is there; it is attached after the start-up).
    LoadPictures();
    // 26. The Learn page; it lays the sentence out when the window is first shown.
    ui_->Pages->setCurrentWidget(ui_->TabSheet1);
    // 27. The dictionary library from the program folder, when it is there.
    if (parts_->dictionary) parts_->dictionaryLibrary.Load(programDir);
    // 28.
    if (welcome_) {
        welcome_->Finish();
        welcome_.reset();
    }
}

void TTessarinMF::FormClose() {
    if (closed_) return;
    closed_ = true;
    timer1_.stop();
    if (parts_->dictionary) parts_->dictionary->MainWindowClosing();
    WindowsToSave windows;
    windows.MainLeft = x();
    windows.MainTop = y();
    if (picturesWindow_) windows.Pictures = picturesWindow_->Geometry();
    if (commentsWindow_) windows.Comments = commentsWindow_->Geometry();
    if (recorder_) {
        recorder_->done(QDialog::Rejected);  // a recording under way ends first
        windows.Recorder = recorder_->GeometryToSave();
    }
    if (CollectGeometry) CollectGeometry(windows);
    WriteCommonSettings(*ctx_.ini, *ctx_.settings, windows);
    if (!ctx_.ini->Save()) qCWarning(lcUi, "Cannot write the settings file %s", ctx_.ini->Path().c_str());
    // The thread ends (and its last words are counted) before the connection goes; a count
    // that could not be stored is still told.
    if (sound_) {
        sound_->Shutdown();
        ReportWordCountFailure(*sound_, *ctx_.state);
    }
    player_->Stop();
    ctx_.db->Close();
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

void TTessarinMF::NextBtnClick() {
    if (step_) step_->Run();
}

void TTessarinMF::StopSound() { player_->Stop(); }

void TTessarinMF::PlayCurrentSound() {
    if (!sound_) return;
    const SoundBuffer& buffer = sound_->CurrentSoundBuffer();
    player_->Play(buffer.Data(), buffer.ImageBytes(), PlayMode::NoStop);
}

void TTessarinMF::Timer1Timer() {
    if (!sound_ || closed_) return;
    ReportWordCountFailure(*sound_, *ctx_.state);
    const std::function<int64_t()> now = services_.monotonicMs ? services_.monotonicMs : std::function<int64_t()>(MonotonicMs);
    // A sound another program's lock kept out is built again now and then, and played at once.
    if (learnPage_->LearnPageVisible() && learnPage_->SoundOn() &&
        sound_->RetryMissingSound(ctx_.state->CurrentItemId, now()))
        scheduler_.Reset();
    scheduler_.Tick(learnPage_->LearnPageVisible(), learnPage_->SoundOn(), ctx_.settings->PlayDelay,
                    sound_->CurrentSoundDuration(), now, [this] { PlayCurrentSound(); });
}

void TTessarinMF::SpeedButton5Click(QPlainTextEdit* memo) {
    memo->clear();
    const std::vector<std::string> lines =
        sound_ ? sound_->DiagnosticLines() : std::vector<std::string>{"Handle 1 - Error", "Handle 2 - Error"};
    for (const std::string& line : lines) memo->appendPlainText(QString::fromStdString(line));
}

void TTessarinMF::SpeedButton2Click(QPlainTextEdit* memo) {
    if (!sound_) return;
    StopSound();
    const int r = sound_->RebuildCurrent(ctx_.state->CurrentItemId);
    PlayCurrentSound();
    memo->appendPlainText(QStringLiteral("Sound 1"));
    memo->appendPlainText(QStringLiteral("MakeSound: %1").arg(r));
    memo->appendPlainText(QString());
}

void TTessarinMF::SpeedButton4Click(QPlainTextEdit* memo) {
    if (!sound_) return;
    StopSound();
    const int r = sound_->RebuildPending(ctx_.state->NextItemId);
    const SoundBuffer& pending = sound_->PendingSoundBuffer();
    player_->Play(pending.Data(), pending.ImageBytes(), PlayMode::NoStop);
    memo->appendPlainText(QStringLiteral("Sound 2"));
    memo->appendPlainText(QStringLiteral("MakeSound: %1").arg(r));
    memo->appendPlainText(QString());
}

}  // namespace lq
