#pragma once
// The About page (TabSheet6): the program's name with its version, and the link to the product's
// web site.
#include <QUrl>

#include <memory>

#include "ui/Page.h"

namespace Ui {
class TabSheet6;
}

class QLabel;

namespace lq {

struct ProgramVersion {
    int Major = 0, Minor = 0, Patch = 0, Tweak = 0;
};
// The version the program was built with (the project version of CMakeLists.txt).
ProgramVersion CompiledVersion();

// Opens an address in the desktop's browser; the result is not looked at.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void Open(const QUrl& url) = 0;
};

class DesktopUrlOpener final : public UrlOpener {
public:
    void Open(const QUrl& url) override;
};

class AboutPage : public Page {
    Q_OBJECT
public:
    static constexpr const char* kSiteAddress = "https://lindquest.example.org/";

    // `opener` (not owned) defaults to the desktop's browser.
    AboutPage(QWidget* tabSheet, UrlOpener* opener = nullptr, ProgramVersion version = CompiledVersion());
    ~AboutPage() override;

    void OnShow() override;  // TabSheet6Show: "Lindquest a.b.c.d"
    void Label4Click();      // opens the web site

    QLabel* VersionLabel() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TabSheet6> ui_;
    DesktopUrlOpener desktop_;
    UrlOpener* opener_;
    ProgramVersion version_;
};

}  // namespace lq
