#pragma once
// The voice recorder window "Запись голоса": record the current sentence's reading over the
// marked segment and compare it with the module's sound by ear and by waveform. Thin over
// rec::RecorderModel; the analysis panel and the knobs are shown in debug mode only.
#include <QDialog>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "core/Settings.h"
#include "recorder/RecorderModel.h"
#include "recorder/Wavelet.h"
#include "recorder/WaveletPainter.h"

namespace Ui {
class RecFrm;
}

namespace lq {

class IniFile;
class Prompter;
class SoundPlayer;
class AudioCapture;

struct RecorderServices {
    const IniFile* ini = nullptr;      // the geometry keys; none: the defaults
    bool debugMode = false;            // Panel4 (knobs, analysis) and Panel5 (analysis picture)
    SoundPlayer* player = nullptr;     // none: the process-wide player
    AudioCapture* capture = nullptr;   // none: the window's own SDL capture
    rec::RecorderClock* clock = nullptr;  // none: a steady clock
    Prompter* prompter = nullptr;      // the analysis's conversion errors; none: the process-wide one
};

class TRecFrm : public QDialog {
    Q_OBJECT
public:
    explicit TRecFrm(const RecorderServices& services, QWidget* parent = nullptr);
    ~TRecFrm() override;

    // The sentence's sound the next showing works on (the current sound buffer and its
    // duration); the window only reads it.
    void SetSentence(const uint8_t* image, size_t size, float durationMs);

    // Left, top, height, width for the settings file; nothing unless the state is normal.
    std::optional<WindowGeometry> GeometryToSave() const;

    rec::RecorderModel& Model() { return *model_; }
    Ui::RecFrm& Form() { return *ui_; }
    QTimer& RecTimer() { return recTimer_; }

    // The handlers, public for the tests.
    void SpeedButton1Click();  // record
    void SpeedButton2Click();  // play the recording
    void SpeedButton3Click();  // play the sentence's sound
    void SpeedButton4Click();  // stop playing
    void RecTimerTimer();
    void RedrawWaveViews();
    // The analysis: "Or" (the sentence's sound) and "Rc" (the recording) compute the levels on a
    // worker thread, "Sh" paints the grids again as they stand.
    enum class AnalysisSource { Sentence, Record };
    void SpeedButton5Click(AnalysisSource source);
    void SpeedButton7Click();
    bool AnalysisRunning() const { return worker_.Busy(); }
    // Waits for a running analysis and handles its result (for the tests).
    void WaitForAnalysis();
    const std::vector<WaveletGrid>& Grids() const { return grids_; }
    const QImage& AnalysisPicture() const { return canvas_.Image(); }

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void FormResize();
    void ShowLabel();
    void ShowRecordButton();
    void RcrdViewMouseUp(Qt::MouseButton button, int x);
    void DrawOrigView(QImage& img, bool record);
    void SetupKnobs();
    void SetupAnalysis();
    void AnalysisButtonsEnabled(bool on);
    void AnalysisFinished(std::optional<std::vector<WaveletGrid>> grids);
    void PaintGrids();

    std::unique_ptr<Ui::RecFrm> ui_;
    std::unique_ptr<AudioCapture> ownCapture_;
    std::unique_ptr<rec::RecorderClock> ownClock_;
    std::unique_ptr<rec::RecorderModel> model_;
    QTimer recTimer_;
    bool debugMode_ = false;
    const uint8_t* sentence_ = nullptr;
    size_t sentenceSize_ = 0;
    float durationMs_ = 0.0f;
    std::vector<QPixmap> glyphs_;
    float amplitude_ = 200.0f;            // the amplitude knob's own value (no drawing reads it)
    const float zoomStep_ = 1.03f;
    const float amplitudeStep_ = 1.03f;
    int panel5Height_ = 179;
    Prompter* prompter_ = nullptr;
    std::vector<WaveletGrid> grids_ = std::vector<WaveletGrid>(1);  // as they stand ("Sh")
    WaveletCanvas canvas_;
    WaveletWorker worker_;  // last: it stops before the members its results reach
};

}  // namespace lq
