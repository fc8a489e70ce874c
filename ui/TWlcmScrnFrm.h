#pragma once
// The welcome window, shown while the main window's start-up runs: the program's version and a
// growing list of status lines, each repainted at once.
#include <QDialog>
#include <QString>
#include <memory>

#include "session/Startup.h"  // the status lines

namespace Ui {
class WlcmScrnFrm;
}

namespace lq {

// The program's version, "%d.%d.%d.%d" (major, minor, patch, tweak of the project version).
QString ProgramVersionText();

class TWlcmScrnFrm final : public QDialog {
    Q_OBJECT
public:
    explicit TWlcmScrnFrm(QWidget* parent = nullptr);
    ~TWlcmScrnFrm() override;

    // The start-up's opening: a new window with StatusMem cleared, the version in VersionLbl,
    // the line "Opening files...", shown and painted.
    static std::unique_ptr<TWlcmScrnFrm> Open();

    void ClearStatus();
    void SetVersionText(const QString& text);
    // Appends a line to StatusMem and repaints the window at once.
    void AddStatusLine(const QString& line);
    // Shows the window centred and on top, and paints it at once.
    void ShowNow();
    // Closes the window at the end of the start-up (the caller then destroys it).
    void Finish();

    QString StatusText() const;

public slots:
    void OkBtnClick();

protected:
    // Without border icons the user has no close button, but Alt+F4 still works: ignored
    // until the start-up finishes.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::WlcmScrnFrm> ui_;
    bool closing_ = false;
};

}  // namespace lq
