#pragma once
// Text measurement for the word tiles: the width of a word and the height of a line in the
// board's font. The program measures with the real font; tests use fixed numbers.
#include <QFont>
#include <QFontMetrics>
#include <string_view>

namespace lq {

class TextMetrics {
public:
    virtual ~TextMetrics() = default;
    // Width in pixels of the cp1251 text.
    virtual int TextWidth(std::string_view text) const = 0;
    // Height in pixels of a line holding the cp1251 text.
    virtual int TextHeight(std::string_view text) const = 0;
};

// A font's line as the Windows canvas measures it: ascent and descent from the font file's
// "Windows" ascender and descender (OS/2 usWinAscent, usWinDescent), each rounded to pixels.
// Qt's own metrics come from the typographic values, which for Tahoma give 19 pixels for the
// 19-pixel font where the canvas gives 23. Falls back to Qt's metrics for a font without them.
struct LineMetrics {
    int ascent = 0;
    int descent = 0;
    int Height() const { return ascent + descent; }
};
LineMetrics WindowsLineMetrics(const QFont& font);

// The metrics of a Qt font (the board's "Tahoma" 14 pt).
class FontTextMetrics final : public TextMetrics {
public:
    explicit FontTextMetrics(const QFont& font) : metrics_(font), line_(WindowsLineMetrics(font)) {}
    int TextWidth(std::string_view text) const override;
    int TextHeight(std::string_view text) const override;
    int Ascent() const { return line_.ascent; }

private:
    QFontMetrics metrics_;
    LineMetrics line_;
};

}  // namespace lq
