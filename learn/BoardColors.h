#pragma once
// The colours of the Learn page's board, its tiles and its typing edits, written 0x00BBGGRR
// (platform/Colors.h turns them into QColor).
#include <cstdint>

namespace lq {

inline constexpr uint32_t kPlacedTileColor = 0xD2D2D2;   // a tile in a row
inline constexpr uint32_t kFreeTileColor = 0xBEBEBE;     // a tile not placed
inline constexpr uint32_t kHoverTileColor = 0xFFF0F0;    // the tile under the mouse
inline constexpr uint32_t kBoardColor = 0xC8F0F0;
inline constexpr uint32_t kRowLineColor = 0xBEE6E6;
inline constexpr uint32_t kTileOutlineColor = 0x808080;
inline constexpr uint32_t kActiveEditColor = 0xFFFF80;   // the typing edit that has the focus
inline constexpr uint32_t kOtherEditColor = 0xFFFF00;

}  // namespace lq
