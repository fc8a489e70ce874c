#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Log.h"
#include "core/Log.h"
#include "learn/Log.h"
#include "modules/Log.h"
#include "pages/Log.h"
#include "platform/Log.h"
#include "platform/SoundPlayer.h"
#include "recorder/Log.h"
#include "session/Log.h"
#include "sound/Log.h"
#include "ui/Log.h"

namespace lq {
namespace {

struct Logged {
    QtMsgType type;
    std::string category;
    std::string text;
};
std::vector<Logged> g_logged;

void Record(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    g_logged.push_back({type, context.category ? context.category : "", text.toStdString()});
}

// Catches what is logged meanwhile; the rules set by a case are dropped at the end.
class LogCategories : public ::testing::Test {
protected:
    void SetUp() override {
        g_logged.clear();
        previous_ = qInstallMessageHandler(Record);
    }
    void TearDown() override {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }

private:
    QtMessageHandler previous_ = nullptr;
};

// A mono 16-bit WAVE image of `samples` silent samples at 11025 Hz.
std::vector<uint8_t> SilentWave(uint32_t samples) {
    std::vector<uint8_t> w;
    const auto text = [&w](const char* t) { w.insert(w.end(), t, t + 4); };
    const auto number = [&w](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    text("RIFF");
    number(36 + samples * 2, 4);
    text("WAVE");
    text("fmt ");
    number(16, 4);
    number(1, 2);          // PCM
    number(1, 2);          // mono
    number(11025, 4);
    number(11025 * 2, 4);  // bytes a second
    number(2, 2);
    number(16, 2);
    text("data");
    number(samples * 2, 4);
    w.resize(w.size() + samples * 2, 0);
    return w;
}

using CategoryFunction = const QLoggingCategory& (*)();
struct Area {
    CategoryFunction category;
    const char* name;
};
const Area kAreas[] = {
    {lcPlatform, "lq.platform"}, {lcCore, "lq.core"},       {lcLearn, "lq.learn"},
    {lcPages, "lq.pages"},       {lcSound, "lq.sound"},     {lcModules, "lq.modules"},
    {lcRecorder, "lq.recorder"}, {lcSession, "lq.session"}, {lcUi, "lq.ui"},
    {lcApp, "lq.app"},
};

TEST_F(LogCategories, EachAreaIsTurnedOnAndOffByItsOwnRule) {
    for (const Area& area : kAreas) {
        SCOPED_TRACE(area.name);
        EXPECT_STREQ(area.category().categoryName(), area.name);
        // Every level is on until a rule says otherwise.
        EXPECT_TRUE(area.category().isDebugEnabled());
        EXPECT_TRUE(area.category().isWarningEnabled());
    }
    for (const Area& on : kAreas) {
        SCOPED_TRACE(on.name);
        QLoggingCategory::setFilterRules(QStringLiteral("lq.*.debug=false\n%1.debug=true").arg(QLatin1String(on.name)));
        g_logged.clear();
        for (const Area& area : kAreas) qCDebug(area.category, "line of %s", area.name);
        ASSERT_EQ(g_logged.size(), 1u);
        EXPECT_EQ(g_logged[0].category, on.name);
        EXPECT_EQ(g_logged[0].text, std::string("line of ") + on.name);
    }
}

TEST_F(LogCategories, TheSoundOutputsWarningGoesUnderThePlatformArea) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    const std::vector<uint8_t> wave = SilentWave(100);
    {
        SdlSoundPlayer player;
        EXPECT_FALSE(player.Play(wave.data(), wave.size()));
    }
    ASSERT_EQ(g_logged.size(), 1u);
    EXPECT_EQ(g_logged[0].type, QtWarningMsg);
    EXPECT_EQ(g_logged[0].category, "lq.platform");
    EXPECT_EQ(g_logged[0].text.rfind("Sound: cannot play (", 0), 0u) << g_logged[0].text;

    QLoggingCategory::setFilterRules(QStringLiteral("lq.platform.warning=false"));
    g_logged.clear();
    {
        SdlSoundPlayer player;
        EXPECT_FALSE(player.Play(wave.data(), wave.size()));
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_TRUE(g_logged.empty());
}

}  // namespace
}  // namespace lq
