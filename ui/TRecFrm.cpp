#include "ui/TRecFrm.h"

#include <QCoreApplication>
#include <QPalette>
#include <QPointer>
#include <QShowEvent>
#include <algorithm>

#include "platform/AudioCapture.h"
#include "platform/Prompter.h"
#include "platform/SoundPlayer.h"
#include "recorder/DrawWave.h"
#include "ui/RecorderWidgets.h"
#include "ui/ScreenFit.h"
#include "ui/WidgetFonts.h"
#include "ui_RecFrm.h"

namespace lq {

TRecFrm::TRecFrm(const RecorderServices& services, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::RecFrm>()), debugMode_(services.debugMode),
      prompter_(services.prompter) {
    ui_->setupUi(this);
    setModal(true);
    SetFontPixels(this, 11, QStringLiteral("Tahoma"));
    SetFontPixels(ui_->Label1, 16, QStringLiteral("Tahoma"));
    AudioCapture* capture = services.capture;
    if (!capture) {
        ownCapture_ = std::make_unique<SdlAudioCapture>();
        capture = ownCapture_.get();
    }
    rec::RecorderClock* clock = services.clock;
    if (!clock) {
        ownClock_ = std::make_unique<rec::SteadyRecorderClock>();
        clock = ownClock_.get();
    }
    model_ = std::make_unique<rec::RecorderModel>(*capture, *clock,
                                                  services.player ? *services.player : AppSoundPlayer());

    // The geometry keys, read in the order left, top, height, width, and kept within the screen
    // before the window lays out its views (their pictures are as large as they are).
    PlaceOnScreen(*this, services.ini ? ReadWindowGeometry(*services.ini, "Rcd") : WindowGeometry{10, 500, 200, 500});

    ui_->Panel4->setVisible(debugMode_);
    ui_->Panel5->setVisible(debugMode_);

    recTimer_.setInterval(120);
    connect(&recTimer_, &QTimer::timeout, this, [this] { RecTimerTimer(); });
    connect(ui_->SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(ui_->SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(ui_->SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(ui_->SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
    connect(ui_->OrigView, &WaveView::Released, this, &TRecFrm::RcrdViewMouseUp);
    connect(ui_->RcrdView, &WaveView::Released, this, &TRecFrm::RcrdViewMouseUp);
    connect(ui_->Splitter1, &SplitterBar::Dragged, this, [this](int dy) {
        // The bar lies on top of Panel5: dragging it down makes the panel lower.
        panel5Height_ = std::clamp(panel5Height_ - dy, 0, std::max(0, height() - 43 - 46 - 5));
        FormResize();
    });

    // The paint handlers: OrigView shows the recording while RcdCB is ticked.
    ui_->OrigView->Render = [this](QImage& img) { DrawOrigView(img, ui_->RcdCB->isChecked()); };
    ui_->RcrdView->Render = [this](QImage& img) {
        const rec::TimeAxis axis{model_->ViewCentre, model_->ViewWidth};
        rec::DrawWave(img, model_->Record().data(), model_->Record().size(), rec::ColourFromBgr(rec::kRecordWaveColour),
                      model_->MarkerStart, model_->MarkerEnd, axis);
    };
    connect(ui_->RcdCB, &QCheckBox::toggled, ui_->OrigView, qOverload<>(&QWidget::update));
    SetupKnobs();
    SetupAnalysis();
    ShowLabel();
}

TRecFrm::~TRecFrm() {
    worker_.Cancel();
    worker_.Wait();
    recTimer_.stop();
    model_->FinishRecording();
}

void TRecFrm::SetupKnobs() {
    glyphs_ = MakeKnobGlyphs();
    auto redraw = [this] {
        model_->ClampView();
        RedrawWaveViews();
    };
    ui_->WrkAmpImg->Attach(std::make_unique<rec::KnobDrag>(&amplitude_, &amplitudeStep_, 0, false, true, [] {}), &glyphs_);
    ui_->WrkSqzImg->Attach(std::make_unique<rec::KnobDrag>(&model_->ViewWidth, &zoomStep_, 2, false, false, redraw),
                           &glyphs_);
    ui_->WrkPosImg->Attach(
        std::make_unique<rec::KnobDrag>(&model_->ViewCentre, &model_->ViewWidth, 4, true, false, redraw), &glyphs_);
}

void TRecFrm::SetupAnalysis() {
    ui_->WvltView->SetPicture(&canvas_.Image());
    connect(ui_->SpeedButton5, &QToolButton::clicked, this, [this] { SpeedButton5Click(AnalysisSource::Sentence); });
    connect(ui_->SpeedButton6, &QToolButton::clicked, this, [this] { SpeedButton5Click(AnalysisSource::Record); });
    connect(ui_->SpeedButton7, &QToolButton::clicked, this, [this] { SpeedButton7Click(); });
}

void TRecFrm::AnalysisButtonsEnabled(bool on) {
    ui_->SpeedButton5->setEnabled(on);
    ui_->SpeedButton6->setEnabled(on);
    ui_->SpeedButton7->setEnabled(on);
}

void TRecFrm::SpeedButton5Click(AnalysisSource source) {
    if (worker_.Busy()) return;
    Prompter& prompter = prompter_ ? *prompter_ : AppPrompter();
    const WaveletSettings settings =
        ParseWaveletSettings(ui_->WaveNum->text().toStdString(), ui_->WLtR_ED->text().toStdString());
    if (!settings.Ok) {
        prompter.Show(QString::fromStdString(settings.Error), windowTitle(), MsgIcon::Error);
        return;
    }
    // Each source bounded by its own header (rate, channels, sample count).
    const bool record = source == AnalysisSource::Record;
    const auto& r = model_->Record();
    WaveletSignal signal = record ? WaveletSignalFromImage(r.data(), r.size())
                                  : WaveletSignalFromImage(model_->Sentence(), model_->SentenceSize());
    WaveletRequest request;
    request.ViewCentre = model_->ViewCentre;
    request.ViewWidth = model_->ViewWidth;
    request.LevelCount = settings.LevelCount;
    request.Ratio = settings.Ratio;
    if (ClampWaveletLevelCount(request.LevelCount) <= 0) return;  // nothing to compute or paint
    AnalysisButtonsEnabled(false);
    ui_->PB->setValue(0);
    QPointer<TRecFrm> self(this);
    const bool started = worker_.Start(
        std::move(signal), request,
        [self](int, int column, int columns) {
            QMetaObject::invokeMethod(self, [self, column, columns] {
                if (!self) return;
                self->ui_->PB->setMaximum(columns);
                self->ui_->PB->setValue(column);
            }, Qt::QueuedConnection);
        },
        [self](std::optional<std::vector<WaveletGrid>> grids) {
            QMetaObject::invokeMethod(self, [self, g = std::move(grids)]() mutable {
                if (self) self->AnalysisFinished(std::move(g));
            }, Qt::QueuedConnection);
        });
    if (!started) AnalysisButtonsEnabled(true);
}

void TRecFrm::AnalysisFinished(std::optional<std::vector<WaveletGrid>> grids) {
    AnalysisButtonsEnabled(true);
    if (!grids) return;  // cancelled
    grids_ = std::move(*grids);
    PaintGrids();
}

void TRecFrm::WaitForAnalysis() {
    worker_.Wait();
    QCoreApplication::sendPostedEvents(this);
}

void TRecFrm::SpeedButton7Click() { PaintGrids(); }

void TRecFrm::PaintGrids() {
    const WaveletLogMin logMin = ParseWaveletLogMin(ui_->LogMinED->text().toStdString());
    if (!logMin.Ok) {
        (prompter_ ? *prompter_ : AppPrompter()).Show(QString::fromStdString(logMin.Error), windowTitle(), MsgIcon::Error);
        return;
    }
    // The axis as it stands now: a grid painted after a zoom lies on the new axis.
    canvas_.Resize(ui_->WvltView->width(), ui_->WvltView->height());
    canvas_.Paint(grids_, model_->ViewCentre, model_->ViewWidth, static_cast<float>(logMin.LogMin));
    ui_->WvltView->update();
}

void TRecFrm::SetSentence(const uint8_t* image, size_t size, float durationMs) {
    sentence_ = image;
    sentenceSize_ = size;
    durationMs_ = durationMs;
}

std::optional<WindowGeometry> TRecFrm::GeometryToSave() const {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return std::nullopt;
    return WindowGeometry{x(), y(), height(), width()};
}

void TRecFrm::showEvent(QShowEvent* event) {
    KeepOnScreen(*this);
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TRecFrm::FormShow() {
    recTimer_.stop();
    model_->Show(sentence_, sentenceSize_, durationMs_);
    ShowLabel();
    ShowRecordButton();
    FormResize();
    RedrawWaveViews();
}

void TRecFrm::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TRecFrm::FormClose() {
    // A recording under way ends (and its pending bytes are read) before the window goes.
    recTimer_.stop();
    model_->Close();
    ShowLabel();
    ShowRecordButton();
}

void TRecFrm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TRecFrm::FormResize() {
    const int w = width();
    const int h = height();
    const int panel1 = 43;
    const int panel4 = ui_->Panel4->isVisibleTo(this) ? 46 : 0;
    const int panel5 = ui_->Panel5->isVisibleTo(this) ? panel5Height_ : 0;
    const int splitter = 5;
    int free = h - panel1;
    if (panel4) free -= panel4 + panel5;
    const int orig = std::max(0, free / 2);
    const int rcrd = std::max(0, h - panel1 - panel4 - orig - splitter - panel5);
    ui_->Panel1->setGeometry(0, 0, w, panel1);
    ui_->Panel4->setGeometry(0, panel1, w, 46);
    ui_->PB->setGeometry(0, 46 - 8, w, 8);
    ui_->OrigView->setGeometry(0, panel1 + panel4, w, orig);
    ui_->RcrdView->setGeometry(0, panel1 + panel4 + orig, w, rcrd);
    ui_->Splitter1->setGeometry(0, h - panel5 - splitter, w, splitter);
    ui_->Panel5->setGeometry(0, h - panel5, w, panel5);
    ui_->WvltView->setGeometry(0, 0, w, panel5);
    canvas_.Resize(w, panel5);
    ui_->WvltView->SetPicture(&canvas_.Image());
}

void TRecFrm::ShowLabel() {
    ui_->Label1->setText(QString::fromStdString(model_->LabelText()));
    QPalette pal = ui_->Label1->palette();
    pal.setColor(QPalette::WindowText, model_->LabelRed() ? QColor(255, 0, 0) : QColor(0, 0, 0));
    ui_->Label1->setPalette(pal);
}

void TRecFrm::ShowRecordButton() { ui_->SpeedButton1->setEnabled(model_->RecordEnabled()); }

void TRecFrm::DrawOrigView(QImage& img, bool record) {
    const rec::TimeAxis axis{model_->ViewCentre, model_->ViewWidth};
    const auto& r = model_->Record();
    rec::DrawWave(img, record ? r.data() : model_->Sentence(), record ? r.size() : model_->SentenceSize(),
                  rec::ColourFromBgr(rec::kOrigWaveColour), model_->MarkerStart, model_->MarkerEnd, axis);
}

void TRecFrm::RedrawWaveViews() {
    // The sentence's sound whatever RcdCB says; only the paint handler honours the box.
    ui_->OrigView->Redraw([this](QImage& img) { DrawOrigView(img, false); });
    ui_->RcrdView->Redraw();
}

void TRecFrm::RcrdViewMouseUp(Qt::MouseButton button, int x) {
    const auto b = button == Qt::LeftButton    ? rec::RecorderModel::Button::Left
                   : button == Qt::RightButton ? rec::RecorderModel::Button::Right
                                               : rec::RecorderModel::Button::Other;
    if (model_->MarkerClick(b, x, ui_->OrigView->width())) RedrawWaveViews();
}

void TRecFrm::SpeedButton1Click() {
    model_->StartRecording();
    ShowLabel();
    ShowRecordButton();
    if (model_->Recording()) recTimer_.start();
}

void TRecFrm::RecTimerTimer() {
    const bool ended = model_->Tick();
    ui_->RcrdView->Redraw();
    if (ended || !model_->Recording()) {
        recTimer_.stop();
        ShowLabel();
        ShowRecordButton();
    }
}

void TRecFrm::SpeedButton2Click() { model_->PlayRecording(); }

void TRecFrm::SpeedButton3Click() { model_->PlayOriginal(); }

void TRecFrm::SpeedButton4Click() { model_->StopPlaying(); }

}  // namespace lq
