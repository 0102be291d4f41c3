#include "support/Screenshots.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

namespace zn::test {

void shoot(QWidget &widget, const QString &name)
{
    widget.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    shootAsItIs(widget, name);
}

void shootAsItIs(QWidget &widget, const QString &name)
{
    widget.show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QPixmap shot = widget.grab();
    EXPECT_TRUE(shot.save(screenshotPath(name))) << name.toStdString();
}

QList<ZephyrTheme> everyTheme()
{
    return {
        {ColorPalettePreference::Warm, ColorScheme::Light},
        {ColorPalettePreference::Cool, ColorScheme::Light},
        {ColorPalettePreference::Warm, ColorScheme::Dark},
        {ColorPalettePreference::Cool, ColorScheme::Dark},
    };
}

void shootThemeSheet(const std::function<QImage(const ZephyrTheme &)> &panel, int columns, const QString &name)
{
    QList<QImage> panels;
    QSize cell;
    for (const ZephyrTheme &theme : everyTheme()) {
        panels.append(panel(theme));
        cell = cell.expandedTo(panels.last().size());
    }
    const int rows = int((panels.size() + columns - 1) / columns);
    QImage sheet(cell.width() * columns, cell.height() * rows, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int i = 0; i < panels.size(); ++i)
        painter.drawImage(QPoint((i % columns) * cell.width(), (i / columns) * cell.height()), panels[i]);
    painter.end();
    EXPECT_TRUE(sheet.save(screenshotPath(name))) << name.toStdString();
}

} // namespace zn::test
