#pragma once

#include <QFont>

#include <optional>

namespace zn {

// The named text styles every screen and the marks are described in. Sizes
// are logical pixels (one layout point each), so text keeps its proportion
// to the spacing and frames around it.
enum class TextStyle {
    LargeTitle, // 26
    Title,      // 22
    Title2,     // 17
    Title3,     // 15
    Headline,   // 13 bold
    Body,       // 13
    Callout,    // 12
    Subheadline, // 11
    Footnote,   // 10
    Caption,    // 10
    Caption2,   // 10
};

enum class FontWeight { UltraLight, Thin, Light, Regular, Medium, Semibold, Bold, Heavy, Black };

qreal textStylePixelSize(TextStyle style);
FontWeight textStyleDefaultWeight(TextStyle style);
QFont::Weight qtFontWeight(FontWeight weight);

// The application font at the style's pixel size and weight (the style's own
// weight when none is given).
QFont textStyleFont(TextStyle style, std::optional<FontWeight> weight = std::nullopt);

// The application font at an explicit size, for the "system font of size N"
// symbols and headings.
QFont systemFont(qreal pixelSize, FontWeight weight = FontWeight::Regular);

} // namespace zn
