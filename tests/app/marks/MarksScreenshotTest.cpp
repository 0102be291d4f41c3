#include "app/marks/MarkWidgets.h"
#include "app/theme/ThemeScope.h"
#include "support/TestSupport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace zn {
namespace {

QWidget *row(QWidget *parent, const QList<QWidget *> &items)
{
    auto *holder = new QWidget(parent);
    auto *layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    for (QWidget *item : items)
        layout->addWidget(item, 0, Qt::AlignVCenter);
    layout->addStretch();
    return holder;
}

// One panel of every mark and chip in one theme.
QImage panel(const ZephyrTheme &theme)
{
    QWidget host;
    host.setAutoFillBackground(true);
    new ThemeScope(&host, theme);
    auto *column = new QVBoxLayout(&host);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);

    const QList<QPair<WeatherMarkSize, QString>> sizes = {
        {WeatherMarkSize::Compact, "A quiet, bright morning"},
        {WeatherMarkSize::Regular, "A mix of brighter and quieter moments"},
        {WeatherMarkSize::Large, "Heavier days asked for rest"},
        {WeatherMarkSize::Mural, "Intense weather"},
    };
    const QList<WeatherLabel> labels = {WeatherLabel::Sunny, WeatherLabel::PartlyCloudy, WeatherLabel::Rainy,
                                        WeatherLabel::Stormy};
    for (int i = 0; i < sizes.size(); ++i) {
        auto *mark = new WeatherMark(labels[i]);
        mark->setSize(sizes[i].first);
        mark->setShowTitle(true);
        mark->setPhrase(sizes[i].second);
        auto *symbolOnly = new WeatherMark(WeatherLabel::Overcast);
        symbolOnly->setSize(sizes[i].first);
        auto *phraseOnly = new WeatherMark(labels[i]);
        phraseOnly->setSize(sizes[i].first);
        phraseOnly->setPhrase(QStringLiteral("phrase only"));
        column->addWidget(row(&host, {mark, symbolOnly, phraseOnly}));
    }
    QList<QWidget *> chips;
    for (WeatherLabel label : allWeatherLabels())
        chips.append(new WeatherChip(label));
    column->addWidget(row(&host, chips));
    column->addWidget(row(&host, {new KeywordChip("garden", true), new KeywordChip("Morning walk", true),
                                  new KeywordChip("coffee"), new KeywordChip("McIntosh"),
                                  new KeywordChip("work")}));
    host.resize(560, host.sizeHint().height());
    return host.grab().toImage();
}

} // namespace

TEST(MarksScreenshot, EveryMarkAndChipInBothPalettesAndSchemes)
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
    const int w = panels[0].width();
    const int h = panels[0].height();
    QImage sheet(w * 2, h * 2, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int i = 0; i < panels.size(); ++i)
        painter.drawImage(QPoint((i % 2) * w, (i / 2) * h), panels[i]);
    painter.end();
    EXPECT_TRUE(sheet.save(test::screenshotPath("marks-and-chips.png")));
}

} // namespace zn
