#include "app/theme/ThemePalette.h"

namespace zn {

namespace {

// An opaque colour for frame shades, so stock styles that derive bevels from
// these roles get solid lines.
QColor over(const QColor &top, const QColor &base)
{
    const float a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + base.redF() * (1 - a), top.greenF() * a + base.greenF() * (1 - a),
                            top.blueF() * a + base.blueF() * (1 - a));
}

} // namespace

QPalette makePalette(const ZephyrTheme &theme)
{
    const QColor background = theme.background();
    const QColor accent = theme.accent();
    // Light accents (the dark scheme's) carry dark text, and the other way round.
    const QColor onAccent = accent.lightnessF() > 0.6 ? QColor::fromRgbF(0.1f, 0.08f, 0.06f) : QColor(Qt::white);

    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor text = disabled ? theme.inkTertiary() : theme.ink();
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, theme.paper());
        palette.setColor(group, QPalette::AlternateBase, theme.surface());
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::PlaceholderText, theme.inkSecondary());
        palette.setColor(group, QPalette::Button, theme.surface());
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, onAccent);
        palette.setColor(group, QPalette::Highlight, disabled ? theme.inkTertiary() : accent);
        palette.setColor(group, QPalette::HighlightedText, onAccent);
        palette.setColor(group, QPalette::Link, accent);
        palette.setColor(group, QPalette::LinkVisited, accent);
        palette.setColor(group, QPalette::ToolTipBase, theme.paper());
        palette.setColor(group, QPalette::ToolTipText, theme.ink());
        palette.setColor(group, QPalette::Light, over(theme.hairline(), theme.paper()).lighter(110));
        palette.setColor(group, QPalette::Midlight, over(theme.hairline(), theme.surface()));
        palette.setColor(group, QPalette::Mid, over(theme.inkTertiary(), theme.surface()));
        palette.setColor(group, QPalette::Dark, over(theme.inkSecondary(), theme.surface()));
        palette.setColor(group, QPalette::Shadow, QColor::fromRgbF(0, 0, 0, theme.isDark() ? 0.6f : 0.3f));
    }
    return palette;
}

} // namespace zn
