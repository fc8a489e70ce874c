#pragma once
// The settings of section "Common" of "Tessarin.ini": the learning options, the values derived
// from them at start-up, and the geometry keys of the four windows.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/IniFile.h"

namespace lq {

struct CommonSettings {
    uint32_t PlayDelay = 2000;
    int FirstSPos = 0;
    int Translater = 0;
    int DoInpWords = 1;
    int InputAfter = 12;
    std::atomic<float> AddTimeSnd{3.0f};  // also read by the sound thread
    int ShowNxtSnt = 1;
    int DoAddInpWr = 0;
    // Derived at start-up only.
    float InputAfterFloat = 5.0f;
    float ScheduleExponent = 2.0f;
};

// Left, top, height, width: the order in which the windows read their keys.
struct WindowGeometry {
    int Left = 0;
    int Top = 0;
    int Height = 0;
    int Width = 0;
};

inline constexpr const char* kSettingsSection = "Common";

// The largest "InputAfter" the settings file gives (the Setting page takes 4 to 12): the score
// counts the sentences of each level up to it at every step, so a nine-digit count would hold
// the window for a long time.
inline constexpr int kMaxInputAfter = 1000;

// One key of section "Common", as GetPrivateProfileString with a 10-byte buffer reads it.
std::string ReadSettingText(const IniFile& ini, const char* key, const char* defaultValue);
int ReadSettingInt(const IniFile& ini, const char* key, const char* defaultValue);

// The geometry of a window whose keys start with `prefix`: "Ims" (pictures), "Cmn" (comments),
// "Rcd" (recorder); the main window has only "Left     " and "Top      ".
WindowGeometry ReadWindowGeometry(const IniFile& ini, const std::string& prefix);
void WriteWindowGeometry(IniFile& ini, const std::string& prefix, const WindowGeometry& g);

// Reads the options and derives InputAfterFloat and ScheduleExponent. `mainLeft`/`mainTop`
// receive the main window's position.
void ReadCommonSettings(const IniFile& ini, CommonSettings& s, int itemCount, int& mainLeft, int& mainTop);

struct WindowsToSave {
    int MainLeft = 10;
    int MainTop = 10;
    std::optional<WindowGeometry> Pictures;  // when the pictures window exists
    std::optional<WindowGeometry> Comments;  // when the comments window exists
    std::optional<WindowGeometry> Recorder;  // when the recorder exists and its state is normal
};

// Writes all keys in their order into the in-memory file; the caller saves it (one atomic write).
void WriteCommonSettings(IniFile& ini, const CommonSettings& s, const WindowsToSave& w);

}  // namespace lq
