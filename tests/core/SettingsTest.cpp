#include <gtest/gtest.h>

#include <cmath>

#include "core/Settings.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

class SettingsFile : public ::testing::Test {
protected:
    IniFile Load(const std::string& text) {
        const std::string path = dir_.Write("Tessarin.ini", text);
        IniFile ini(path);
        EXPECT_TRUE(ini.Load());
        return ini;
    }
    test::TempDir dir_;
    CommonSettings s;
    int left = 0, top = 0;
};

TEST_F(SettingsFile, NoFileGivesTheDefaultsAndWritesAllKeys) {
    IniFile ini(dir_.File("Tessarin.ini"));
    ASSERT_TRUE(ini.Load());
    ReadCommonSettings(ini, s, 0, left, top);
    EXPECT_EQ(left, 10);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(s.PlayDelay, 2000u);
    EXPECT_EQ(s.FirstSPos, 0);
    EXPECT_EQ(s.Translater, 0);
    EXPECT_EQ(s.DoInpWords, 1);
    EXPECT_EQ(s.InputAfter, 12);
    EXPECT_FLOAT_EQ(s.AddTimeSnd, 3.0f);
    EXPECT_EQ(s.ShowNxtSnt, 1);
    EXPECT_EQ(s.DoAddInpWr, 1);  // the file's default, not the static 0
    EXPECT_FLOAT_EQ(s.InputAfterFloat, 12.0f);
    EXPECT_FLOAT_EQ(s.ScheduleExponent, 2.0f);  // empty database

    WindowsToSave w;
    w.Pictures = ReadWindowGeometry(ini, "Ims");
    w.Comments = ReadWindowGeometry(ini, "Cmn");
    w.Recorder = ReadWindowGeometry(ini, "Rcd");
    WriteCommonSettings(ini, s, w);
    ASSERT_TRUE(ini.Save());
    const std::string text = test::TempDir::Read(ini.Path());
    for (const char* line : {"Left=10", "Top=10", "PlayDelay=2000", "FirstSPos=0", "Translater=0", "DoInpWords=1",
                             "InputAfter=12", "AddTimeSnd=3.0", "ShowNxtSnt=1", "DoAddInpWr=1", "ImsLeft=10",
                             "ImsTop=10", "ImsHeight=500", "ImsWidth=200", "CmnLeft=10", "CmnTop=10", "CmnHeight=200",
                             "CmnWidth=200", "RcdLeft=10", "RcdTop=500", "RcdHeight=200", "RcdWidth=500"})
        EXPECT_NE(text.find(std::string(line) + "\n"), std::string::npos) << line;
    EXPECT_EQ(text.rfind("[Common]", 0), 0u);
}

struct SemanticsCase {
    const char* key;
    const char* value;
    const char* writtenBack;
};

class SettingsSemantics : public SettingsFile, public ::testing::WithParamInterface<SemanticsCase> {};

TEST_P(SettingsSemantics, ValuesAreNormalisedOnReadAndWrittenBackSo) {
    IniFile ini = Load(std::string("[Common]\n") + GetParam().key + "=" + GetParam().value + "\n");
    ReadCommonSettings(ini, s, 100, left, top);
    WriteCommonSettings(ini, s, WindowsToSave{});
    EXPECT_EQ(ini.GetString("Common", GetParam().key, "?", 64), GetParam().writtenBack);
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsSemantics,
                         ::testing::Values(SemanticsCase{"Translater", "7", "1"}, SemanticsCase{"Translater", "2", "2"},
                                           SemanticsCase{"FirstSPos", "3", "1"}, SemanticsCase{"AddTimeSnd", "5", "3.0"},
                                           SemanticsCase{"AddTimeSnd", "-1", "0.0"},
                                           SemanticsCase{"AddTimeSnd", "nan", "0.0"},
                                           SemanticsCase{"AddTimeSnd", "inf", "0.0"},
                                           SemanticsCase{"AddTimeSnd", "2.5", "2.5"},
                                           SemanticsCase{"InputAfter", "0", "4"}, SemanticsCase{"InputAfter", "-3", "4"},
                                           SemanticsCase{"InputAfter", "12", "12"},
                                           SemanticsCase{"InputAfter", "13", "13"},
                                           SemanticsCase{"InputAfter", "20", "20"},
                                           SemanticsCase{"InputAfter", "1000", "1000"},
                                           SemanticsCase{"InputAfter", "1001", "1000"},
                                           SemanticsCase{"InputAfter", "999999999", "1000"},
                                           SemanticsCase{"InputAfter", "1000000", "1000"},
                                           SemanticsCase{"InputAfter", "2147483647", "1000"},
                                           SemanticsCase{"PlayDelay", "", "0"},
                                           SemanticsCase{"PlayDelay", "1234567890", "123456789"},
                                           SemanticsCase{"PlayDelay", " \"3000\" ", "3000"}));

TEST_F(SettingsFile, ScheduleExponentStaysFinite) {
    for (const char* v : {"0", "-3", "1", "12", "20", "999999999"}) {
        IniFile ini = Load(std::string("[Common]\nInputAfter=") + v + "\n");
        for (int items : {0, 1, 2, 500}) {
            CommonSettings st;
            ReadCommonSettings(ini, st, items, left, top);
            EXPECT_TRUE(std::isfinite(st.ScheduleExponent)) << v << " " << items;
            if (items > 1) {
                EXPECT_GT(st.ScheduleExponent, 0.0f);
            }
        }
    }
    IniFile ini = Load("[Common]\nInputAfter=12\n");
    ReadCommonSettings(ini, s, 500, left, top);
    EXPECT_NEAR(s.ScheduleExponent, std::log(500.0f) / std::log(13.0f), 1e-5);
    IniFile twenty = Load("[Common]\nInputAfter=20\n");
    ReadCommonSettings(twenty, s, 500, left, top);
    EXPECT_EQ(s.InputAfter, 20);
    EXPECT_FLOAT_EQ(s.InputAfterFloat, 20.0f);
    EXPECT_NEAR(s.ScheduleExponent, std::log(500.0f) / std::log(21.0f), 1e-5);
}

TEST_F(SettingsFile, AStrayCarriageReturnIsNeverDoubled) {
    IniFile ini = Load("[Common]\r\nLeft=1000\rTop=20\r\nPlayDelay=3000\r");
    ReadCommonSettings(ini, s, 0, left, top);
    EXPECT_EQ(left, 1000);
    EXPECT_EQ(top, 20);
    EXPECT_EQ(s.PlayDelay, 3000u);
    WindowsToSave w;
    w.MainLeft = 1000;
    w.MainTop = 20;
    for (int run = 0; run < 2; ++run) {
        WriteCommonSettings(ini, s, w);
        ASSERT_TRUE(ini.Save());
        ASSERT_TRUE(ini.Load());
    }
    const std::string after = test::TempDir::Read(ini.Path());
    EXPECT_EQ(after.find("\r\r"), std::string::npos) << after;
    EXPECT_NE(after.find("Left=1000\r\nTop=20\r\nPlayDelay=3000\r\n"), std::string::npos) << after;
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i] == '\r') {
            EXPECT_EQ(after.substr(i, 2), "\r\n") << "at " << i;
        }
        if (after[i] == '\n') {
            EXPECT_EQ(after[i - 1], '\r') << "at " << i;
        }
    }
}

TEST_F(SettingsFile, PaddedKeysFindHandEditedOnesAndForeignContentSurvives) {
    const std::string before = "; my notes\r\n[Other]\r\nLeft=999\r\n[common]\r\n  left = 33 \r\nTOP=44\r\nX=1\r\n";
    IniFile ini = Load(before);
    ReadCommonSettings(ini, s, 0, left, top);
    EXPECT_EQ(left, 33);
    EXPECT_EQ(top, 44);
    WindowsToSave w;
    w.MainLeft = 50;
    w.MainTop = 60;
    WriteCommonSettings(ini, s, w);
    ASSERT_TRUE(ini.Save());
    const std::string after = test::TempDir::Read(ini.Path());
    EXPECT_EQ(after.rfind("; my notes\r\n[Other]\r\nLeft=999\r\n[common]\r\n", 0), 0u) << after;
    EXPECT_NE(after.find("X=1\r\n"), std::string::npos);
    IniFile again(ini.Path());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetString("Common", "Left     ", ""), "50");
    EXPECT_EQ(again.GetString("Common", "Top      ", ""), "60");
    EXPECT_EQ(again.GetString("Other", "Left", ""), "999");
}

TEST_F(SettingsFile, RecorderKeysAreKeptWhenItsWindowWasNotNormal) {
    IniFile ini = Load("[Common]\nRcdLeft=1\nRcdTop=2\nRcdHeight=3\nRcdWidth=4\n");
    WindowsToSave w;  // no recorder geometry: it was maximised
    WriteCommonSettings(ini, s, w);
    const WindowGeometry g = ReadWindowGeometry(ini, "Rcd");
    EXPECT_EQ(g.Left, 1);
    EXPECT_EQ(g.Top, 2);
    EXPECT_EQ(g.Height, 3);
    EXPECT_EQ(g.Width, 4);
}

TEST_F(SettingsFile, GeometryRoundTripsForEveryWindow) {
    IniFile ini(dir_.File("Tessarin.ini"));
    ASSERT_TRUE(ini.Load());
    for (const char* prefix : {"Ims", "Cmn", "Rcd"}) {
        const WindowGeometry g{-20, 300, 456, 789};
        WriteWindowGeometry(ini, prefix, g);
        const WindowGeometry r = ReadWindowGeometry(ini, prefix);
        EXPECT_EQ(r.Left, g.Left);
        EXPECT_EQ(r.Top, g.Top);
        EXPECT_EQ(r.Height, g.Height);
        EXPECT_EQ(r.Width, g.Width);
    }
    EXPECT_EQ(ReadWindowGeometry(IniFile(dir_.File("none.ini")), "Rcd").Left, 10);  // default " 10"
}

}  // namespace
}  // namespace lq
