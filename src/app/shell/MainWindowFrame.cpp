#include "app/shell/MainWindowFrame.h"

#include "views/kit/WindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace zn::MainWindowFrame {

std::optional<QRect> repaired(const QRect &frame, const std::optional<QRect> &available)
{
    const bool tooNarrow = frame.width() < kMinimumSize.width();
    const bool tooLow = frame.height() < kMinimumSize.height();
    int width = tooNarrow ? kDefaultSize.width() : frame.width();
    int height = tooLow ? kDefaultSize.height() : frame.height();
    int x = frame.x();
    int y = frame.y();

    if (available && available->isValid()) {
        const QRect &area = *available;
        if (tooNarrow || tooLow) {
            width = std::min(width, int(std::floor(area.width() * kLargestWidthShare)));
            height = std::min(height, int(std::floor(area.height() * kLargestHeightShare)));
        }
        // A frame from a screen that is gone, or larger than this one,
        // comes back inside the area.
        width = std::min(width, area.width());
        height = std::min(height, area.height());
        x = std::clamp(x, area.left(), area.left() + area.width() - width);
        y = std::clamp(y, area.top(), area.top() + area.height() - height);
    }

    const QRect result(x, y, width, height);
    if (result == frame)
        return std::nullopt;
    return result;
}

QSize firstSize(const std::optional<QRect> &available)
{
    if (!available || !available->isValid())
        return kDefaultSize;
    return frameInsideArea(kDefaultSize, {}, *available).size();
}

std::optional<QRect> insideWithDecoration(const QRect &window, const QMargins &decoration, const QRect &available)
{
    if (!available.isValid() || available.contains(window.marginsAdded(decoration)))
        return std::nullopt;
    const QRect fitted = frameInsideArea(window.size(), window, available, decoration);
    if (fitted == window)
        return std::nullopt;
    return fitted;
}

} // namespace zn::MainWindowFrame
