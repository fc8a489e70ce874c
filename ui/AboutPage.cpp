#include "ui/AboutPage.h"

#include <QDesktopServices>
#include <QMouseEvent>

#include "core/FileVersion.h"
#include "ui_TabSheet6.h"

namespace lq {
namespace {

void SetLabelFont(QLabel* label, int pixels, const QColor& color, bool underline = false) {
    QFont f = label->font();
    f.setFamily(QStringLiteral("Tahoma"));
    f.setPixelSize(pixels);
    f.setUnderline(underline);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

}  // namespace

ProgramVersion CompiledVersion() {
    uint32_t ms = 0, ls = 0;
    GetFileVersion("lindquest", ms, ls);
    return {static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF), static_cast<int>(ls >> 16),
            static_cast<int>(ls & 0xFFFF)};
}

void DesktopUrlOpener::Open(const QUrl& url) { QDesktopServices::openUrl(url); }

AboutPage::AboutPage(QWidget* tabSheet, UrlOpener* opener, ProgramVersion version)
    : ui_(std::make_unique<Ui::TabSheet6>()), opener_(opener ? opener : &desktop_), version_(version) {
    ui_->setupUi(tabSheet);
    SetLabelFont(ui_->Label5, 24, QColor(0, 0, 128));
    SetLabelFont(ui_->Label12, 15, ui_->Label12->palette().color(QPalette::WindowText));
    SetLabelFont(ui_->Label13, 15, ui_->Label13->palette().color(QPalette::WindowText));
    SetLabelFont(ui_->Label4, 24, QColor(128, 0, 0), true);
    ui_->Label4->setText(QUrl(QString::fromLatin1(kSiteAddress)).host());
    ui_->Label4->installEventFilter(this);
}

AboutPage::~AboutPage() = default;

QLabel* AboutPage::VersionLabel() const { return ui_->Label5; }

void AboutPage::OnShow() {
    ui_->Label5->setText(QStringLiteral("Lindquest %1.%2.%3.%4")
                             .arg(version_.Major)
                             .arg(version_.Minor)
                             .arg(version_.Patch)
                             .arg(version_.Tweak));
}

void AboutPage::Label4Click() { opener_->Open(QUrl(QString::fromLatin1(kSiteAddress))); }

bool AboutPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Label4 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label4Click();
        return true;
    }
    return Page::eventFilter(watched, event);
}

}  // namespace lq
