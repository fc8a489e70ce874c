#include "ui/TComentFrm.h"

#include <QEvent>
#include <QPlainTextEdit>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/Database.h"
#include "core/WriteReports.h"
#include "pages/Comments.h"
#include "platform/Cp1251.h"
#include "ui/ScreenFit.h"
#include "ui/WidgetFonts.h"
#include "ui_ComentFrm.h"

namespace lq {
namespace {

const QString kTitle = QStringLiteral("Comments:");

}  // namespace

TComentFrm::TComentFrm(const AppContext& ctx, QWidget* parent)
    : ToolWindow(parent, Qt::WindowStaysOnTopHint), ctx_(ctx),
      ui_(std::make_unique<Ui::ComentFrm>()) {
    ui_->setupUi(this);
    SetFontPixels(ui_->RichEdit1, 19);
    // Moves over the text arrive without a button held only with tracking on the viewport.
    ui_->RichEdit1->viewport()->setMouseTracking(true);
    ui_->RichEdit1->viewport()->installEventFilter(this);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &TComentFrm::BitBtn1Click);
    if (ctx_.ini) PlaceOnScreen(*this, ReadWindowGeometry(*ctx_.ini, "Cmn"));
    hide();
}

TComentFrm::~TComentFrm() = default;

QPlainTextEdit* TComentFrm::Editor() const { return ui_->RichEdit1; }

WindowGeometry TComentFrm::Geometry() const { return {x(), y(), height(), width()}; }

void TComentFrm::ShowComment(const std::string& strtrn) {
    setWindowTitle(kTitle);
    ui_->RichEdit1->setPlainText(FromCp1251(CommentToDisplay(strtrn)));
}

void TComentFrm::BitBtn1Click() {
    if (!ctx_.db || !ctx_.state) return;
    QString text = ui_->RichEdit1->toPlainText();
    text.replace(QChar::LineSeparator, QLatin1Char('\n')).replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    const SqlResult r = SaveComment(*ctx_.db, ctx_.state->CurrentItemId, ToCp1251(text));
    // The edit stays in the window either way; a failure is told, and shows in the title until
    // the next save or sentence.
    setWindowTitle(r.ok() ? kTitle : kTitle + QStringLiteral(" (not saved)"));
    if (!r.ok()) ReportFailedWrite("The comment was not saved", r);
}

bool TComentFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->RichEdit1->viewport() && event->type() == QEvent::MouseMove && ctx_.state)
        ctx_.state->ShortcutsSuspended = true;
    return QWidget::eventFilter(watched, event);
}

}  // namespace lq
