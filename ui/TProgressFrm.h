#pragma once
// The progress window "Lindquest Progress": the operation's text, the percentage and a bar. Its
// callers do not return to the event loop until their work is done, so the window paints itself
// at once, but at most about 30 times a second (ProgressRepaintThrottle): its labels always hold
// the latest report and its bar the latest one whose percentage differs from the report before
// (each painting sets it to the latest report), and a report left unpainted is painted by a
// trailing timer when the event loop runs, or at the latest when the window is hidden. A widget
// is set only when what it shows changes: its callers report once per item.
#include <QDialog>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "core/Progress.h"

namespace Ui {
class ProgressFrm;
}

namespace lq {

class TProgressFrm final : public QDialog {
    Q_OBJECT
public:
    // `clock`: the steady clock the repaint throttle reads (null: the system's).
    explicit TProgressFrm(QWidget* parent = nullptr, ProgressRepaintThrottle::Clock clock = nullptr);
    ~TProgressFrm() override;

    // Label1 = text; the bar's maximum, then its position; Label2 = the percentage; shown on top
    // and repainted at once when the throttle lets it.
    void ShowProgress(const QString& text, int position, int maximum);
    // Paints the latest report when it is not painted yet, then hides the window.
    void HideProgress();
    // True while the latest report waits to be painted.
    bool PaintPending() const { return throttle_.Pending(); }

protected:
    // The user cannot close it (Alt+F4 included): only HideProgress hides it.
    void closeEvent(QCloseEvent* event) override;

private:
    void PaintPendingReport();
    void SetBar(int position, int maximum);

    std::unique_ptr<Ui::ProgressFrm> ui_;
    bool placed_ = false;  // centred on the screen at its first showing
    ProgressRepaintThrottle throttle_;
    QTimer trailing_;  // paints a waiting report once its interval is over, if the event loop runs
    std::string shownPercent_;                     // Label2's text, as reported
    int shownPosition_ = 0, shownMaximum_ = -1;    // the report the bar was set from
    int reportedPosition_ = 0, reportedMaximum_ = 0;  // the latest report
};

// The Progress of the program: the progress window, created on the first report (or by Create,
// which the windowed start creates hidden as its last window). Without a QApplication the
// reports go nowhere.
class ProgressWindow final : public Progress {
public:
    explicit ProgressWindow(ProgressRepaintThrottle::Clock clock = nullptr);
    ~ProgressWindow() override;

    void ShowProgress(const std::string& text, int position, int maximum) override;
    void HideProgress() override;  // nothing to do before the window exists

    TProgressFrm* Create();                          // the window, created hidden when missing
    TProgressFrm* Window() const { return frm_.get(); }  // null until created

private:
    ProgressRepaintThrottle::Clock clock_;
    std::unique_ptr<TProgressFrm> frm_;
    bool converted_ = false;
    std::string text_;   // the latest report's text (cp1251)
    QString shownText_;  // the same, converted
};

}  // namespace lq
