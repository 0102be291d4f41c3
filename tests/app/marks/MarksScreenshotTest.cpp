#include "app/marks/MarkWidgets.h"
#include "app/theme/ThemeScope.h"
#include "support/Screenshots.h"

#include <QHBoxLayout>
#include <QLabel>
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
    test::shootThemeSheet(panel, 2, QStringLiteral("marks-and-chips.png"));
}

} // namespace zn
