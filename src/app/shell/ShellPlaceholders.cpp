#include "app/shell/ShellPlaceholders.h"

#include "app/settings/AppSettings.h"
#include "app/theme/ClimateBackground.h"
#include "app/theme/ThemeScope.h"
#include "views/kit/TextStyles.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace zn {

namespace {

QLabel *centredLabel(const QString &text, TextStyle style, std::optional<FontWeight> weight = {})
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setFont(textStyleFont(style, weight));
    return label;
}

} // namespace

OnboardingPlaceholder::OnboardingPlaceholder(AppSettings &settings, QWidget *parent)
    : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Welcome"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(48, 48, 48, 48);
    layout->setSpacing(14);
    layout->addStretch(1);
    layout->addWidget(centredLabel(QStringLiteral("Welcome to Zephyrnote"), TextStyle::LargeTitle, FontWeight::Semibold));
    layout->addWidget(centredLabel(QStringLiteral("A private journal that reads the weather of your days. "
                                                  "Everything you write stays on this computer."),
                                   TextStyle::Body));
    auto *start = new QPushButton(QStringLiteral("Get Started"));
    start->setDefault(true);
    start->setAutoDefault(true);
    start->setMinimumWidth(160);
    QPointer<AppSettings> target(&settings);
    connect(start, &QPushButton::clicked, this, [target] {
        if (target)
            target->setHasCompletedOnboarding(true);
    });
    layout->addWidget(start, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    setFocusProxy(start);
}

void OnboardingPlaceholder::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), ThemeScope::themeFor(this).background());
}

SettingsWindowPlaceholder::SettingsWindowPlaceholder(AppSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Settings"));
    resize(kDefaultSize);
    new ThemeScope(this, &settings);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->addStretch(1);
    layout->addWidget(centredLabel(QStringLiteral("Settings"), TextStyle::Title, FontWeight::Semibold));
    layout->addWidget(centredLabel(QStringLiteral("Appearance, palette and reflections will be set here."),
                                   TextStyle::Body));
    layout->addStretch(1);
}

void SettingsWindowPlaceholder::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), ThemeScope::themeFor(this).background());
}

} // namespace zn
