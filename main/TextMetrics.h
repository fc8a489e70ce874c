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

// The metrics of a Qt font (the board's "Tahoma" 14 pt).
class FontTextMetrics final : public TextMetrics {
public:
    explicit FontTextMetrics(const QFont& font) : font_(font), metrics_(font) {}
    int TextWidth(std::string_view text) const override;
    int TextHeight(std::string_view text) const override;
    const QFont& Font() const { return font_; }

private:
    QFont font_;
    QFontMetrics metrics_;
};

}  // namespace lq
