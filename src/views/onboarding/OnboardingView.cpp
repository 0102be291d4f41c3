#include "views/onboarding/OnboardingView.h"

#include "app/marks/TextStyles.h"
#include "app/settings/AppSettings.h"
#include "app/theme/ClimateBackground.h"
#include "app/theme/SystemAppearance.h"
#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/onboarding/OnboardingParts.h"
#include "views/workspace/state/ShortcutRouter.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QHBoxLayout>
#include <QResizeEvent>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace zn {

namespace {

constexpr int kSymbolSize = 44;

InkLabel *centredTitle(const QString &text)
{
    auto *label = new InkLabel(text, textStyleFont(TextStyle::LargeTitle, FontWeight::Medium), InkRole::Ink);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

// A step's column: its items centred, `spacing` apart, the whole column
// centred in the page.
QVBoxLayout *stepColumn(QWidget *page, int spacing)
{
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    column->addStretch(1);
    return column;
}

} // namespace

OnboardingView::OnboardingView(AppSettings &settings, std::function<void()> onFinished, SystemAppearance *system,
                               QWidget *parent)
    : QWidget(parent)
    , m_model(settings, std::move(onFinished))
    , m_system(system ? system : &SystemAppearance::shared())
    , m_scope(new ThemeScope(this, &settings, m_system))
    , m_background(new ClimateBackground(this))
{
    m_background->lower();

    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *column = new QWidget;
    column->setMaximumWidth(kMaxContentWidth);
    outer->addStretch(1);
    outer->addWidget(column, 100);
    outer->addStretch(1);

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(28);
    m_steps = new QStackedWidget;
    m_steps->addWidget(makePrivacyStep());
    m_steps->addWidget(makeClimateStep());
    m_steps->addWidget(makeReadyStep());
    layout->addStretch(1);
    layout->addWidget(m_steps);
    layout->addStretch(1);
    layout->addWidget(makeButtonRow());
    // The page itself is no stop for Tab (it would show no ring); focus
    // given to it goes to the primary button.
    setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_primary);

    // Return and the keypad's Enter are the primary button's keys wherever
    // the focus is in the window (a card, Back, the menu bar after F10 and
    // Escape); Back has none. They go through the window's shortcut owner
    // where there is one.
    ShortcutRouter *router = ShortcutRouter::find(this);
    for (const int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        const auto press = [button = QPointer<DetailButton>(m_primary)] {
            if (button)
                button->click();
        };
        if (router) {
            router->claim(QKeySequence(key), this, press, Qt::WindowShortcut);
            continue;
        }
        auto *shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, press);
    }

    connect(&m_model, &OnboardingModel::stepChanged, this, &OnboardingView::showStep);
    // The cards mark the stored palette, and their previews follow the
    // desktop's scheme.
    connect(&settings, &AppSettings::paletteChanged, this, [this] {
        m_warmCard->update();
        m_coolCard->update();
    });
    connect(m_system, &SystemAppearance::changed, this, [this] {
        m_warmCard->update();
        m_coolCard->update();
    });
    showStep(m_model.step());
}

QWidget *OnboardingView::makePrivacyStep()
{
    auto *page = new QWidget;
    QVBoxLayout *column = stepColumn(page, 16);
    column->addWidget(new AccentSymbol(QStringLiteral("lock.shield"), kSymbolSize, true), 0, Qt::AlignHCenter);
    column->addWidget(centredTitle(QStringLiteral("Private by design")));

    auto *lines = new QVBoxLayout;
    lines->setSpacing(10);
    lines->setContentsMargins(0, 8, 0, 0);
    const QFont body = textStyleFont(TextStyle::Body);
    const int symbolSize = int(symbolBoxForFontPixelSize(body.pixelSize()));
    for (const QString &text : OnboardingModel::privacyLines()) {
        auto *row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(new AccentSymbol(QStringLiteral("checkmark.circle.fill"), symbolSize, false), 0, Qt::AlignTop);
        // Short lines: wrapping would only squeeze them.
        row->addWidget(new InkLabel(text, body, InkRole::Ink), 1, Qt::AlignTop);
        lines->addLayout(row);
    }
    // The lines read as one left-aligned block, centred under the title.
    auto *block = new QWidget;
    block->setLayout(lines);
    block->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    column->addWidget(block, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return page;
}

QWidget *OnboardingView::makeClimateStep()
{
    auto *page = new QWidget;
    QVBoxLayout *column = stepColumn(page, 20);
    column->addWidget(centredTitle(QStringLiteral("Choose your climate")));
    auto *subtitle = new InkLabel(QStringLiteral("A private room’s temperature — not a skin."),
                                  textStyleFont(TextStyle::Body), InkRole::InkSecondary);
    subtitle->setAlignment(Qt::AlignHCenter);
    subtitle->setWordWrap(true);
    column->addWidget(subtitle);

    auto *cards = new QHBoxLayout;
    cards->setSpacing(16);
    cards->addStretch(1);
    AppSettings *settings = m_model.settings();
    const auto makeCard = [this, settings](ColorPalettePreference palette) {
        auto *card = new PaletteCard(
            palette, [settings, palette] { return settings && settings->palette() == palette; },
            [this] { return systemScheme(); });
        connect(card, &QAbstractButton::clicked, this, [this, palette] { m_model.selectPalette(palette); });
        return card;
    };
    m_warmCard = makeCard(ColorPalettePreference::Warm);
    m_coolCard = makeCard(ColorPalettePreference::Cool);
    cards->addWidget(m_warmCard, 0, Qt::AlignTop);
    cards->addWidget(m_coolCard, 0, Qt::AlignTop);
    cards->addStretch(1);
    column->addLayout(cards);
    column->addStretch(1);
    return page;
}

QWidget *OnboardingView::makeReadyStep()
{
    auto *page = new QWidget;
    QVBoxLayout *column = stepColumn(page, 16);
    column->addWidget(new AccentSymbol(QStringLiteral("book.closed"), kSymbolSize, true), 0, Qt::AlignHCenter);
    column->addWidget(centredTitle(QStringLiteral("Your desk is ready")));
    auto *text = new InkLabel(QStringLiteral("Timeline, Calendar, Weather, and Voice — a private journal that "
                                             "values your days. Write with Ctrl+N. Speak when you want."),
                              textStyleFont(TextStyle::Body), InkRole::InkSecondary);
    text->setAlignment(Qt::AlignHCenter);
    text->setWordWrap(true);
    text->setMaximumWidth(420);
    // Centred by stretches, not by an alignment flag: an aligned label gets
    // only its one-line size and clips its second line.
    auto *centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addWidget(text, 100);
    centred->addStretch(1);
    column->addLayout(centred);
    column->addStretch(1);
    return page;
}

QWidget *OnboardingView::makeButtonRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(40, 0, 40, 36);
    m_back = new DetailButton(QStringLiteral("Back"), DetailButton::Style::Bordered);
    m_back->setMinimumLabelWidth(64);
    connect(m_back, &QAbstractButton::clicked, &m_model, &OnboardingModel::goBack);
    m_primary = new DetailButton(m_model.primaryTitle(), DetailButton::Style::Prominent);
    m_primary->setMinimumLabelWidth(96);
    connect(m_primary, &QAbstractButton::clicked, &m_model, &OnboardingModel::advance);
    layout->addWidget(m_back);
    layout->addStretch(1);
    layout->addWidget(m_primary);
    return row;
}

void OnboardingView::showStep(int step)
{
    // Swapped at once: no transition between steps.
    m_steps->setCurrentIndex(std::clamp(step, 0, 2));
    // Absent, not disabled, on the first step; the row keeps its height.
    QSizePolicy keep = m_back->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_back->setSizePolicy(keep);
    m_back->setVisible(m_model.showsBack());
    m_primary->setTitle(m_model.primaryTitle());
    m_primary->updateGeometry();
    if (QWidget *focused = focusWidget(); !focused || !focused->isVisible())
        setFocus();
}

PaletteCard *OnboardingView::paletteCard(ColorPalettePreference palette) const
{
    return palette == ColorPalettePreference::Cool ? m_coolCard : m_warmCard;
}

ColorScheme OnboardingView::systemScheme() const
{
    return m_system ? m_system->colorScheme() : ColorScheme::Light;
}

void OnboardingView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_background->setGeometry(rect());
}

} // namespace zn
