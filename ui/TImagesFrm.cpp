#include "ui/TImagesFrm.h"

#include <QPainter>

#include "core/AppContext.h"
#include "ui/ScreenFit.h"
#include "ui/WidgetFonts.h"
#include "ui_ImagesFrm.h"

namespace lq {

PicturesView::PicturesView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PicturesView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(128, 128, 128));
    if (!pictures_) return;
    std::vector<QSize> sizes;
    for (int i = 0; i < pictures_->Count && i < kMaxSentencePictures; ++i)
        sizes.push_back(pictures_->Images[static_cast<size_t>(i)].size());
    const std::vector<QRect> rects = LayoutPictures(sizes, width());
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].isEmpty()) continue;
        p.drawImage(rects[i], pictures_->Images[i]);
    }
}

TImagesFrm::TImagesFrm(const AppContext& ctx, QWidget* parent)
    : ToolWindow(parent), ctx_(ctx),
      ui_(std::make_unique<Ui::ImagesFrm>()) {
    ui_->setupUi(this);
    SetFontPixels(this, 11, QStringLiteral("Tahoma"));
    ui_->View->SetPictures(&pictures_);
    if (ctx_.ini) PlaceOnScreen(*this, ReadWindowGeometry(*ctx_.ini, "Ims"));
    hide();
}

TImagesFrm::~TImagesFrm() = default;

PicturesView* TImagesFrm::View() const { return ui_->View; }

void TImagesFrm::LoadItemImages() { lq::LoadItemImages(ctx_, pictures_); }

void TImagesFrm::DrawImages() { ui_->View->update(); }

WindowGeometry TImagesFrm::Geometry() const { return {x(), y(), height(), width()}; }

}  // namespace lq
