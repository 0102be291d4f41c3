#include "app/marks/MarkWidgets.h"
#include "app/theme/ThemeScope.h"
#include "support/TestSupport.h"
#include "views/kit/FlowLayout.h"
#include "views/kit/SegmentedControl.h"

#include <QPainter>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace zn {
namespace {

QImage panel(const ZephyrTheme &theme)
{
    QWidget host;
    host.setAutoFillBackground(true);
    new ThemeScope(&host, theme);
    auto *column = new QVBoxLayout(&host);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);

    auto *periods = new SegmentedControl({"7 days", "30 days", "365 days"});
    periods->setMaximumWidth(280);
    column->addWidget(periods);
    auto *appearance = new SegmentedControl({"System", "Light", "Dark"});
    appearance->setCurrentIndex(2);
    appearance->setFocus();
    column->addWidget(appearance);
    auto *disabled = new SegmentedControl({"Warm", "Cool"});
    disabled->setEnabled(false);
    column->addWidget(disabled, 0, Qt::AlignLeft);

    auto *chips = new QWidget;
    auto *flow = new FlowLayout(chips, 6, 6);
    const QStringList words = {"garden", "morning walk", "coffee", "sister", "deadline", "rain",
                               "quiet", "a rather long theme word", "McIntosh", "work", "sleep"};
    for (int i = 0; i < words.size(); ++i)
        flow->addWidget(new KeywordChip(words[i], i % 3 == 0));
    column->addWidget(chips);
    host.resize(300, host.heightForWidth(300) > 0 ? host.heightForWidth(300) : host.sizeHint().height());
    host.show();
    host.resize(300, column->totalHeightForWidth(300));
    return host.grab().toImage();
}

} // namespace

TEST(KitScreenshot, SegmentedControlsAndChipFlowInBothPalettesAndSchemes)
{
    const QList<ZephyrTheme> themes = {
        {ColorPalettePreference::Warm, ColorScheme::Light},
        {ColorPalettePreference::Cool, ColorScheme::Light},
        {ColorPalettePreference::Warm, ColorScheme::Dark},
        {ColorPalettePreference::Cool, ColorScheme::Dark},
    };
    QList<QImage> panels;
    for (const ZephyrTheme &theme : themes)
        panels.append(panel(theme));
    int height = 0;
    for (const QImage &p : panels)
        height = qMax(height, p.height());
    QImage sheet(panels[0].width() * 4, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int i = 0; i < panels.size(); ++i)
        painter.drawImage(QPoint(i * panels[0].width(), 0), panels[i]);
    painter.end();
    EXPECT_TRUE(sheet.save(test::screenshotPath("view-kit.png")));
}

} // namespace zn
