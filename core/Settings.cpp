#include "core/Settings.h"

#include <cmath>

#include "platform/CNumbers.h"

namespace lq {
namespace {

struct GeometryKeys {
    const char* left;
    const char* top;
    const char* height;
    const char* width;
    const char* defLeft;
    const char* defTop;
    const char* defHeight;
    const char* defWidth;
};

// The key names are blank-padded to nine characters, as the file has always had them.
const GeometryKeys* KeysFor(const std::string& prefix) {
    static const GeometryKeys ims{"ImsLeft  ", "ImsTop   ", "ImsHeight", "ImsWidth ", "10", "10", "500", "200"};
    static const GeometryKeys cmn{"CmnLeft  ", "CmnTop   ", "CmnHeight", "CmnWidth ", "10", "10", "200", "200"};
    static const GeometryKeys rcd{"RcdLeft  ", "RcdTop   ", "RcdHeight", "RcdWidth ", " 10", "500", "200", "500"};
    if (prefix == "Ims") return &ims;
    if (prefix == "Cmn") return &cmn;
    if (prefix == "Rcd") return &rcd;
    return nullptr;
}

void WriteInt(IniFile& ini, const char* key, long long value) {
    ini.SetString(kSettingsSection, key, std::to_string(value));
}

}  // namespace

std::string ReadSettingText(const IniFile& ini, const char* key, const char* defaultValue) {
    return ini.GetString(kSettingsSection, key, defaultValue, 10);
}

int ReadSettingInt(const IniFile& ini, const char* key, const char* defaultValue) {
    return CAtoi(ReadSettingText(ini, key, defaultValue));
}

WindowGeometry ReadWindowGeometry(const IniFile& ini, const std::string& prefix) {
    WindowGeometry g;
    const GeometryKeys* k = KeysFor(prefix);
    if (!k) return g;
    g.Left = ReadSettingInt(ini, k->left, k->defLeft);
    g.Top = ReadSettingInt(ini, k->top, k->defTop);
    g.Height = ReadSettingInt(ini, k->height, k->defHeight);
    g.Width = ReadSettingInt(ini, k->width, k->defWidth);
    return g;
}

void WriteWindowGeometry(IniFile& ini, const std::string& prefix, const WindowGeometry& g) {
    const GeometryKeys* k = KeysFor(prefix);
    if (!k) return;
    WriteInt(ini, k->left, g.Left);
    WriteInt(ini, k->top, g.Top);
    WriteInt(ini, k->height, g.Height);
    WriteInt(ini, k->width, g.Width);
}

void ReadCommonSettings(const IniFile& ini, CommonSettings& s, int itemCount, int& mainLeft, int& mainTop) {
    mainLeft = ReadSettingInt(ini, "Left     ", "10");
    mainTop = ReadSettingInt(ini, "Top      ", "10");
    // The delay is unsigned: a negative text wraps, as the conversion always did.
    s.PlayDelay = static_cast<uint32_t>(ReadSettingInt(ini, "PlayDelay", "2000"));
    s.FirstSPos = ReadSettingInt(ini, "FirstSPos", "0");
    s.Translater = ReadSettingInt(ini, "Translater", "0");
    s.DoInpWords = ReadSettingInt(ini, "DoInpWords", "1");
    s.InputAfter = ReadSettingInt(ini, "InputAfter", "12");
    // Below 1 the schedule exponent and the score would divide by zero: take the Setting page's
    // floor. The file may hold more than the page's 12; only a count the score could not run
    // through at each step (it counts the sentences of every level up to it) is lowered.
    if (s.InputAfter < 1) s.InputAfter = 4;
    if (s.InputAfter > kMaxInputAfter) s.InputAfter = kMaxInputAfter;
    float addTime = static_cast<float>(CAtofFinite(ReadSettingText(ini, "AddTimeSnd", "3.0")));
    s.ShowNxtSnt = ReadSettingInt(ini, "ShowNxtSnt", "1");
    s.DoAddInpWr = ReadSettingInt(ini, "DoAddInpWr", "1");

    s.InputAfterFloat = static_cast<float>(s.InputAfter);
    if (itemCount != 0) {
        const float e = std::log(static_cast<float>(itemCount)) / std::log(s.InputAfterFloat + 1.0f);
        s.ScheduleExponent = std::isfinite(e) ? e : 2.0f;
    }
    if (addTime > 3.0f) addTime = 3.0f;
    if (addTime < 0.0f) addTime = 0.0f;
    s.AddTimeSnd = addTime;
    if (s.Translater != 0 && s.Translater != 2) s.Translater = 1;
    if (s.FirstSPos != 0) s.FirstSPos = 1;
}

void WriteCommonSettings(IniFile& ini, const CommonSettings& s, const WindowsToSave& w) {
    WriteInt(ini, "Left     ", w.MainLeft);
    WriteInt(ini, "Top      ", w.MainTop);
    // "%i" of the unsigned delay, as the file has always had it.
    WriteInt(ini, "PlayDelay", static_cast<int>(s.PlayDelay));
    WriteInt(ini, "FirstSPos", s.FirstSPos);
    WriteInt(ini, "Translater", s.Translater);
    WriteInt(ini, "DoInpWords", s.DoInpWords);
    WriteInt(ini, "InputAfter", s.InputAfter);
    ini.SetString(kSettingsSection, "AddTimeSnd", FormatFixed(static_cast<double>(s.AddTimeSnd.load()), 1));
    WriteInt(ini, "ShowNxtSnt", s.ShowNxtSnt);
    WriteInt(ini, "DoAddInpWr", s.DoAddInpWr);
    if (w.Pictures) WriteWindowGeometry(ini, "Ims", *w.Pictures);
    if (w.Comments) WriteWindowGeometry(ini, "Cmn", *w.Comments);
    if (w.Recorder) WriteWindowGeometry(ini, "Rcd", *w.Recorder);
}

}  // namespace lq
