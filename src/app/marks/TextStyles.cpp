#include "app/marks/TextStyles.h"

#include <QGuiApplication>

namespace zn {

qreal textStylePixelSize(TextStyle style)
{
    switch (style) {
    case TextStyle::LargeTitle: return 26;
    case TextStyle::Title: return 22;
    case TextStyle::Title2: return 17;
    case TextStyle::Title3: return 15;
    case TextStyle::Headline: return 13;
    case TextStyle::Body: return 13;
    case TextStyle::Callout: return 12;
    case TextStyle::Subheadline: return 11;
    case TextStyle::Footnote: return 10;
    case TextStyle::Caption: return 10;
    case TextStyle::Caption2: return 10;
    }
    return 13;
}

FontWeight textStyleDefaultWeight(TextStyle style)
{
    return style == TextStyle::Headline ? FontWeight::Bold : FontWeight::Regular;
}

QFont::Weight qtFontWeight(FontWeight weight)
{
    switch (weight) {
    case FontWeight::UltraLight: return QFont::Thin;
    case FontWeight::Thin: return QFont::ExtraLight;
    case FontWeight::Light: return QFont::Light;
    case FontWeight::Regular: return QFont::Normal;
    case FontWeight::Medium: return QFont::Medium;
    case FontWeight::Semibold: return QFont::DemiBold;
    case FontWeight::Bold: return QFont::Bold;
    case FontWeight::Heavy: return QFont::ExtraBold;
    case FontWeight::Black: return QFont::Black;
    }
    return QFont::Normal;
}

QFont systemFont(qreal pixelSize, FontWeight weight)
{
    QFont font = QGuiApplication::font();
    // Pixel sizes are whole numbers in QFont; the styles' sizes all are.
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setWeight(qtFontWeight(weight));
    return font;
}

QFont textStyleFont(TextStyle style, std::optional<FontWeight> weight)
{
    return systemFont(textStylePixelSize(style), weight.value_or(textStyleDefaultWeight(style)));
}

} // namespace zn
