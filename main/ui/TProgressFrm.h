#pragma once
// The progress window "Lindquest Progress": the operation's text, the percentage and a bar,
// repainted at once on every report because its callers do not return to the event loop until
// their work is done.
#include <QDialog>
#include <memory>

#include "main/Progress.h"

namespace Ui {
class ProgressFrm;
}

namespace lq {

class TProgressFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TProgressFrm(QWidget* parent = nullptr);
    ~TProgressFrm() override;

    // Label1 = text; the bar's maximum, then its position; Label2 = the percentage; shown on top
    // and repainted at once.
    void ShowProgress(const QString& text, int position, int maximum);
    void HideProgress();

protected:
    // The user cannot close it (Alt+F4 included): only HideProgress hides it.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::ProgressFrm> ui_;
    bool placed_ = false;  // centred on the screen at its first showing
};

// The Progress of the program: the progress window, created on the first report (or by Create,
// which the windowed start creates hidden as its last window). Without a QApplication the
// reports go nowhere.
class ProgressWindow final : public Progress {
public:
    ProgressWindow();
    ~ProgressWindow() override;

    void ShowProgress(const std::string& text, int position, int maximum) override;
    void HideProgress() override;  // nothing to do before the window exists

    TProgressFrm* Create();                          // the window, created hidden when missing
    TProgressFrm* Window() const { return frm_.get(); }  // null until created

private:
    std::unique_ptr<TProgressFrm> frm_;
};

}  // namespace lq
