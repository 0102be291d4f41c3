#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

#include <optional>

namespace zn {

// The main window's frame rules.
namespace MainWindowFrame {

inline constexpr auto kAutosaveKey = "Zephyrnote.MainWindow.v2";
inline constexpr QSize kDefaultSize{1180, 780};
inline constexpr QSize kMinimumSize{900, 620};
inline constexpr double kLargestWidthShare = 0.95;
inline constexpr double kLargestHeightShare = 0.9;

// A saved frame made fit for the screen area `available` (none when there
// is no screen): a width under 900 becomes 1180 and a height under 620
// becomes 780, each at most 95 % / 90 % of the area, and a frame that
// reaches outside the area is moved (and, when larger, shrunk) into it.
// None when the frame needs no repair.
std::optional<QRect> repaired(const QRect &frame, const std::optional<QRect> &available);

// The size of the first frame, when none was saved: the default size where
// the screen area `available` has room for it, the area where not (the
// rule the settings window opens by).
QSize firstSize(const std::optional<QRect> &available);

// The window `window` (without the desktop's title bar and border, which
// `decoration` adds around it) moved and, where the area has no room for
// it, shrunk so that the whole frame lies inside the screen area
// `available`. None when it already does.
std::optional<QRect> insideWithDecoration(const QRect &window, const QMargins &decoration, const QRect &available);

// The opacity of the title-bar tint over the chrome colour.
inline double titleBarTintOpacity(bool dark)
{
    return dark ? 0.92 : 0.88;
}

} // namespace MainWindowFrame

} // namespace zn
