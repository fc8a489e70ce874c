#include <gtest/gtest.h>

#include <QApplication>

#include <string>

#include "platform/Prompter.h"
#include "ui/QtPrompter.h"

namespace lq {
namespace {

class CountingPrompter final : public Prompter {
public:
    MsgResult Show(const QString&, const QString&, MsgIcon, MsgButtons) override {
        ++calls;
        return MsgResult::Yes;
    }
    int calls = 0;
};

void ShowBoth(Prompter& p, MsgResult& first, MsgResult& second) {
    first = p.Show(QString::fromUtf8("Возможно программа 'Lindquest' уже запущена."), QStringLiteral("Ooops..."),
                   MsgIcon::Warning, MsgButtons::Ok);
    second = p.Show(QStringLiteral("Delete the module?"), QStringLiteral("What"), MsgIcon::Question,
                    MsgButtons::YesNo);
}

const std::string kExpectedLines =
    "Ooops...: Возможно программа 'Lindquest' уже запущена.\nWhat: Delete the module?\n";

TEST(QtPrompter, WithoutAnApplicationItWritesToStandardError) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_FALSE(HaveDisplay());
    QtPrompter prompter;
    MsgResult first{}, second{};
    testing::internal::CaptureStderr();
    ShowBoth(prompter, first, second);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, MsgResult::Ok);
    EXPECT_EQ(second, MsgResult::No) << "a question nobody saw is answered no";
    EXPECT_EQ(err, kExpectedLines);
}

TEST(QtPrompter, AnOffscreenApplicationHasNoDisplay) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "test_platform";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    EXPECT_FALSE(HaveDisplay());
    QtPrompter prompter;
    MsgResult first{}, second{};
    testing::internal::CaptureStderr();
    ShowBoth(prompter, first, second);  // must not block in an invisible modal box
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, MsgResult::Ok);
    EXPECT_EQ(second, MsgResult::No);
    EXPECT_EQ(err, kExpectedLines);
}

TEST(AppPrompter, IsReplaceableAndRestorable) {
    EXPECT_NE(dynamic_cast<StderrPrompter*>(&AppPrompter()), nullptr) << "nothing set: standard error";
    CountingPrompter counting;
    SetAppPrompter(&counting);
    EXPECT_EQ(&AppPrompter(), &counting);
    EXPECT_EQ(AppPrompter().Show(QStringLiteral("t"), QStringLiteral("c"), MsgIcon::Question, MsgButtons::YesNo),
              MsgResult::Yes);
    EXPECT_EQ(counting.calls, 1);
    SetAppPrompter(nullptr);
    EXPECT_NE(dynamic_cast<StderrPrompter*>(&AppPrompter()), nullptr);
}

}  // namespace
}  // namespace lq
