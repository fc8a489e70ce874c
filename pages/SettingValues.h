#pragma once
// The values the Setting page and the Learn page's play-delay list write into CommonSettings.
// Typed numbers are read as C-locale decimals whatever the desktop's locale: the longest prefix
// of the form [blanks][sign]digits[.digits][e[sign]digits]; "nan", "inf", hexadecimal and
// anything else that is no such number read as 0.
#include <cstdint>
#include <string>
#include <string_view>

namespace lq {

// AddSoundTimeED: seconds added around a sentence's sound, 0.0 to 3.0.
float ParseAddTimeSnd(std::string_view text);
// How the Setting page shows it: "%.1f" in the C locale (exact binary ties go to even: 0.25 -> "0.2").
std::string FormatAddTimeSnd(float value);

// InputAfterGAED: the good-answer count from which words are typed, 4 to 12 (huge texts saturate).
int ParseInputAfter(std::string_view text);

// ComboBox1 ("2", "3", "4", "5", "10" seconds): the play delay in milliseconds for an item index
// (any other index, -1 included, gives 10000) ...
uint32_t PlayDelayForIndex(int index);
// ... and the item shown for a stored delay at start-up (the delay itself is kept).
int PlayDelayIndex(uint32_t playDelay);

// Translater by radio button: WW_RB 0, Ln_RB 1, QV_RB 2.
inline constexpr int kTranslaterWordWeb = 0;
inline constexpr int kTranslaterLingvo = 1;
inline constexpr int kTranslaterLibrary = 2;

}  // namespace lq
