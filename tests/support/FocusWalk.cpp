#include "support/FocusWalk.h"

#include "support/JournalTestStore.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace zn::test {
namespace {

// The control and some pixels around it as the window paints them, so a
// ring its parent draws (a search field around its text box) counts too.
QImage lookOf(QWidget *window, QWidget *widget)
{
    const QRect area(widget->mapTo(window, QPoint(0, 0)) - QPoint(12, 12), widget->size() + QSize(24, 24));
    return window->grab(area.intersected(window->rect())).toImage().convertToFormat(QImage::Format_RGB32);
}

// WCAG's relative luminance of an opaque pixel.
double luminance(QRgb pixel)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) + 0.0722 * linear(qBlue(pixel));
}

// Pixels that the focus changed to at least 3:1 contrast against what was
// there without it: a ring a person can see.
int contrastingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int changed = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *la = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const double ya = luminance(la[x]) + 0.05, yb = luminance(lb[x]) + 0.05;
            if (std::max(ya, yb) / std::min(ya, yb) >= 3.0)
                ++changed;
        }
    }
    return changed;
}

QString describe(QWidget *widget)
{
    QString name = widget->accessibleName();
    if (name.isEmpty())
        if (QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(widget))
            name = a11y->text(QAccessible::Name);
    if (name.isEmpty())
        name = widget->objectName();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(widget->metaObject()->className()), name);
}

} // namespace

QList<FocusStop> walkTabStops(QWidget *window, int limit)
{
    QList<FocusStop> stops;
    window->activateWindow();
    QApplication::setActiveWindow(window);
    drainEvents();
    QWidget *first = nullptr;
    for (int i = 0; i < limit; ++i) {
        QWidget *from = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(from, Qt::Key_Tab);
        drainEvents();
        QWidget *focused = QApplication::focusWidget();
        if (!focused || focused == first)
            break;
        if (!first)
            first = focused;
        FocusStop stop;
        stop.widget = focused;
        stop.name = describe(focused);
        stop.focused = lookOf(window, focused);
        // The same control without the focus, then the focus back as Tab
        // gave it.
        focused->clearFocus();
        drainEvents();
        const QImage unfocused = lookOf(window, focused);
        focused->setFocus(Qt::TabFocusReason);
        drainEvents();
        stop.ringPixels = contrastingPixels(stop.focused, unfocused);
        stops.append(stop);
    }
    return stops;
}

QStringList stopsWithoutRing(const QList<FocusStop> &stops, int minimumPixels)
{
    QStringList missing;
    for (const FocusStop &stop : stops)
        if (stop.ringPixels < minimumPixels)
            missing << QStringLiteral("%1 (%2 px)").arg(stop.name).arg(stop.ringPixels);
    return missing;
}

} // namespace zn::test
