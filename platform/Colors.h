#pragma once
// The platform's colour values are written 0x00BBGGRR (red in the low byte).
#include <QColor>

#include <cstdint>

namespace lq {

// A colour written 0x00BBGGRR.
inline QColor BgrColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace lq
