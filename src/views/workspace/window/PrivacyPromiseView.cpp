#include "views/workspace/window/PrivacyPromiseView.h"

#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/TextStyles.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace zn {

const QList<PrivacySection> &privacySections()
{
    static const QList<PrivacySection> sections{
        {QStringLiteral("On your computer"),
         QStringLiteral("Journal text is stored and analyzed on this computer. Mood language uses on-device "
                        "Natural Language tools.")},
        {QStringLiteral("Voice is ephemeral"),
         QStringLiteral("Microphone audio is used for live transcription and is not kept after you save or "
                        "discard a voice entry.")},
        {QStringLiteral("On-device intelligence"),
         QStringLiteral("When local language model reflections are available, they run on-device. Zephyrnote "
                        "does not send journal content to third-party cloud AI.")},
        {QStringLiteral("You control export & import"),
         QStringLiteral("Export creates a JSON file only where you choose. Import reads a Zephyrnote export you "
                        "select on this computer. Nothing is uploaded by export or import.")},
        {QStringLiteral("No journal analytics"),
         QStringLiteral("Zephyrnote does not ship analytics SDKs that phone home with your writing.")},
    };
    return sections;
}

QString privacyRequirementsNote()
{
    return QStringLiteral("Requirements: a compatible language model server on this computer for the full "
                          "product, including reflections. Unsupported setups may still journal with basic mood "
                          "analysis.");
}

namespace {

constexpr auto kInkRole = "privacyInk"; // "primary" or "secondary"

QLabel *makeText(const QString &text, TextStyle style, const char *ink, std::optional<FontWeight> weight = {})
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(textStyleFont(style, weight));
    label->setProperty(kInkRole, QString::fromLatin1(ink));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

PrivacyPromiseView::PrivacyPromiseView(std::function<void()> onDone, QWidget *parent)
    : QWidget(parent)
    , m_onDone(std::move(onDone))
{
    setMinimumSize(kMinimumSize);
    setAccessibleName(QStringLiteral("Privacy Promise"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(20);

    // Header: the titled lock, then "Done" at the far end.
    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    const qreal titleSize = textStylePixelSize(TextStyle::Title2);
    auto *icon = new QLabel;
    icon->setObjectName(QStringLiteral("privacyIcon"));
    const int iconSize = int(std::ceil(symbolBoxForFontPixelSize(titleSize)));
    icon->setFixedSize(iconSize, iconSize);
    header->addWidget(icon);
    header->addWidget(makeText(QStringLiteral("Privacy Promise"), TextStyle::Title2, "primary", FontWeight::Medium));
    header->addStretch(1);
    m_done = new QPushButton(QStringLiteral("Done"));
    m_done->setDefault(true);
    m_done->setAutoDefault(true);
    connect(m_done, &QPushButton::clicked, this, [this] {
        if (m_onDone)
            m_onDone();
    });
    header->addWidget(m_done);
    layout->addLayout(header);

    // Sections: the only part that scrolls.
    auto *sections = new QWidget;
    auto *sectionsLayout = new QVBoxLayout(sections);
    sectionsLayout->setContentsMargins(0, 0, 0, 0);
    sectionsLayout->setSpacing(14);
    for (const PrivacySection &section : privacySections()) {
        auto *block = new QVBoxLayout;
        block->setSpacing(4);
        block->addWidget(makeText(section.heading, TextStyle::Headline, "primary"));
        block->addWidget(makeText(section.text, TextStyle::Body, "secondary"));
        sectionsLayout->addLayout(block);
    }
    sectionsLayout->addStretch(1);
    m_scroll = new QScrollArea;
    m_scroll->setWidget(sections);
    // The paper shows through: setWidget() makes the page fill itself.
    sections->setAutoFillBackground(false);
    m_scroll->setAutoFillBackground(false);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_scroll, 1);

    layout->addWidget(makeText(privacyRequirementsNote(), TextStyle::Caption, "secondary"));
    applyColours();
}

void PrivacyPromiseView::applyColours()
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    for (QLabel *label : findChildren<QLabel *>()) {
        const QString ink = label->property(kInkRole).toString();
        if (ink.isEmpty())
            continue;
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, ink == QLatin1String("primary") ? theme.ink() : theme.inkSecondary());
        label->setPalette(palette);
    }
    if (auto *icon = findChild<QLabel *>(QStringLiteral("privacyIcon"))) {
        const QIcon symbol = symbolIcon(QStringLiteral("lock.shield"), theme.ink());
        icon->setPixmap(symbol.pixmap(icon->size(), devicePixelRatioF()));
    }
}

void PrivacyPromiseView::changeEvent(QEvent *event)
{
    // A scope hands its palette down on every theme change and on reparenting.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        applyColours();
    QWidget::changeEvent(event);
}

void PrivacyPromiseView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), ThemeScope::themeFor(this).paper());
}

} // namespace zn
