#include "support/Screenshots.h"

#include "app/theme/ClimateBackground.h"
#include "app/theme/ThemeScope.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace zn::test {

void shoot(QWidget &widget, const QString &name)
{
    widget.show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
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

namespace {

// A window painted in one opaque colour.
class PlainBackdrop : public QWidget
{
public:
    explicit PlainBackdrop(const QColor &colour)
        : m_colour(colour)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_colour); }

private:
    QColor m_colour;
};

} // namespace

QImage pageOver(QWidget &page, const ZephyrTheme &theme, QSize size, std::optional<QColor> backdrop)
{
    std::unique_ptr<QWidget> host = backdrop ? std::make_unique<PlainBackdrop>(*backdrop) : std::make_unique<QWidget>();
    new ThemeScope(host.get(), theme);
    ClimateBackground *climate = backdrop ? nullptr : new ClimateBackground(host.get());
    auto *layout = new QVBoxLayout(host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&page);
    host->resize(size);
    page.show();
    host->show();
    for (int i = 0; i < 5; ++i) {
        if (climate) {
            climate->setGeometry(host->rect());
            climate->lower();
        }
        QCoreApplication::processEvents();
    }
    const QImage shot = host->grab().toImage();
    layout->removeWidget(&page);
    page.hide();
    page.setParent(nullptr);
    return shot;
}

QColor sourceOver(const QColor &top, const QColor &below)
{
    const double a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + below.redF() * (1 - a)),
                            float(top.greenF() * a + below.greenF() * (1 - a)),
                            float(top.blueF() * a + below.blueF() * (1 - a)));
}

::testing::AssertionResult pixelIs(const QImage &image, QPoint at, const QColor &expected, int tolerance)
{
    if (!image.rect().contains(at))
        return ::testing::AssertionFailure() << "(" << at.x() << ", " << at.y() << ") is outside the image";
    const QColor actual = image.pixelColor(at);
    const int worst = std::max({std::abs(actual.red() - expected.red()), std::abs(actual.green() - expected.green()),
                                std::abs(actual.blue() - expected.blue())});
    if (worst <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << at.x() << ", " << at.y() << ") is " << actual.name().toStdString()
                                         << ", expected " << expected.name().toStdString();
}

} // namespace zn::test
