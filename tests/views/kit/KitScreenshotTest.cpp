#include "app/marks/MarkWidgets.h"
#include "app/theme/ThemeScope.h"
#include "support/Screenshots.h"
#include "views/kit/FlowLayout.h"
#include "views/kit/SegmentedControl.h"

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
    test::shootThemeSheet(panel, 4, QStringLiteral("view-kit.png"));
}

} // namespace zn
