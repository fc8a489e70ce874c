#pragma once
// The comments window: the current sentence's comment or translation, editable and saved with
// "Save". A tool window without border icons that stays on top, created hidden; the Learn page's
// ComentViewBtn shows and hides it; its geometry lives in the settings ("Cmn" keys). While the
// pointer moves over the text, the Learn page's shortcuts are suspended.
#include <memory>
#include <string>

#include "core/AppContext.h"
#include "core/Settings.h"
#include "ui/ToolWindow.h"

namespace Ui {
class ComentFrm;
}

class QPlainTextEdit;

namespace lq {

class TComentFrm : public ToolWindow {
    Q_OBJECT
public:
    explicit TComentFrm(const AppContext& ctx, QWidget* parent = nullptr);
    ~TComentFrm() override;

    // Each layout of a sentence, shown or not: `strtrn` as the row store holds it (cp1251,
    // apostrophes restored), "||" shown as line breaks.
    void ShowComment(const std::string& strtrn);
    // Save: stores the edited text for the current sentence (whole, any length; a character that
    // code page 1251 cannot hold is stored as '?'). A failed save shows in the window's title.
    void BitBtn1Click();

    QPlainTextEdit* Editor() const;
    WindowGeometry Geometry() const;  // left, top, height, width

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppContext ctx_;
    std::unique_ptr<Ui::ComentFrm> ui_;
};

}  // namespace lq
