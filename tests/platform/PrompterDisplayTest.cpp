// Message boxes on a real X display: the test starts a private Xvfb server and answers each box
// through its buttons. Skipped when Xvfb or Qt's X11 platform is not available.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Prompter.h"
#include "ui/QtPrompter.h"

extern char** environ;

namespace lq {
namespace {

std::string FindInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= dirs.size()) {
        size_t end = dirs.find(':', pos);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(pos, end - pos) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        pos = end + 1;
    }
    return {};
}

class PrompterOnDisplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string xvfb = FindInPath("Xvfb");
        if (xvfb.empty()) {
            skipWhy_ = "no Xvfb";
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            skipWhy_ = "no pipe";
            return;
        }
        const std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "800x600x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawn(&xvfbPid_, xvfb.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            xvfbPid_ = -1;
            skipWhy_ = "Xvfb did not start";
            return;
        }
        // Xvfb writes the display number it took once it accepts connections.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 10000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            skipWhy_ = "Xvfb gave no display";
            return;
        }
        setenv("DISPLAY", (":" + number).c_str(), 1);
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");  // offscreen only when Qt cannot use X11
        static int argc = 1;
        static char name[] = "test_platform_display";
        static char* qtArgv[] = {name, nullptr};
        app_ = new QApplication(argc, qtArgv);
        if (QGuiApplication::platformName() != QLatin1String("xcb")) skipWhy_ = "Qt has no X11 platform here";
    }

    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
        if (xvfbPid_ > 0) {
            kill(xvfbPid_, SIGTERM);
            waitpid(xvfbPid_, nullptr, 0);
            xvfbPid_ = -1;
        }
    }

    void SetUp() override {
        if (!skipWhy_.empty()) GTEST_SKIP() << skipWhy_;
    }

    struct SeenBox {
        bool shown = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString caption, text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    // Shows one message and presses `press` in the box once it is up.
    static MsgResult ShowAndPress(MsgIcon icon, MsgButtons buttons, QMessageBox::StandardButton press, SeenBox& seen) {
        QTimer poller;
        QObject::connect(&poller, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || seen.shown) return;
            seen.shown = true;
            seen.icon = box->icon();
            seen.caption = box->windowTitle();
            seen.text = box->text();
            seen.buttons = box->standardButtons();
            if (QAbstractButton* def = box->defaultButton()) seen.defaultButton = box->standardButton(def);
            if (QAbstractButton* b = box->button(press)) b->click();
        });
        poller.start(10);
        QTimer guard;  // a box nobody could answer must not hang the suite
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        guard.start(10000);
        return QtPrompter().Show(QString::fromUtf8("Возможно программа 'Lindquest' уже запущена."),
                                 QStringLiteral("Ooops..."), icon, buttons);
    }

    static inline QApplication* app_ = nullptr;
    static inline pid_t xvfbPid_ = -1;
    static inline std::string skipWhy_;
};

TEST_F(PrompterOnDisplay, HasADisplay) { EXPECT_TRUE(HaveDisplay()); }

TEST_F(PrompterOnDisplay, AWarningBoxWithOk) {
    SeenBox seen;
    EXPECT_EQ(ShowAndPress(MsgIcon::Warning, MsgButtons::Ok, QMessageBox::Ok, seen), MsgResult::Ok);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.caption, QStringLiteral("Ooops..."));
    EXPECT_EQ(seen.text, QString::fromUtf8("Возможно программа 'Lindquest' уже запущена."));
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(PrompterOnDisplay, IconsByKind) {
    const std::pair<MsgIcon, QMessageBox::Icon> kinds[] = {{MsgIcon::Information, QMessageBox::Information},
                                                           {MsgIcon::Error, QMessageBox::Critical},
                                                           {MsgIcon::Question, QMessageBox::Question},
                                                           {MsgIcon::None, QMessageBox::NoIcon}};
    for (const auto& [ours, qt] : kinds) {
        SeenBox seen;
        EXPECT_EQ(ShowAndPress(ours, MsgButtons::Ok, QMessageBox::Ok, seen), MsgResult::Ok);
        EXPECT_TRUE(seen.shown);
        EXPECT_EQ(seen.icon, qt);
    }
}

TEST_F(PrompterOnDisplay, AQuestionAnsweredYesOrNo) {
    SeenBox yes;
    EXPECT_EQ(ShowAndPress(MsgIcon::Question, MsgButtons::YesNo, QMessageBox::Yes, yes), MsgResult::Yes);
    EXPECT_EQ(yes.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(yes.defaultButton, QMessageBox::Yes);
    SeenBox no;
    EXPECT_EQ(ShowAndPress(MsgIcon::Question, MsgButtons::YesNo, QMessageBox::No, no), MsgResult::No);
    EXPECT_TRUE(no.shown);
}

TEST_F(PrompterOnDisplay, AnotherThreadNeverOpensABox) {
    MsgResult result = MsgResult::Yes;
    testing::internal::CaptureStderr();
    std::thread worker([&] {
        result = QtPrompter().Show(QStringLiteral("from a worker"), QStringLiteral("What"), MsgIcon::Question,
                                   MsgButtons::YesNo);
    });
    worker.join();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "What: from a worker\n");
    EXPECT_EQ(result, MsgResult::No);
}

}  // namespace
}  // namespace lq
