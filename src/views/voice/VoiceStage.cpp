#include "views/voice/VoiceStage.h"

#include "app/marks/MarkWidgets.h"
#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "views/voice/VoiceControls.h"
#include "views/voice/VoiceOrb.h"
#include "views/voice/VoiceText.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QVBoxLayout>

#include <cmath>

namespace zn {

namespace {

QWidget *centredRow(QWidget *child, int sideMargin, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(sideMargin, 0, sideMargin, 0);
    layout->setSpacing(0);
    layout->addWidget(child);
    return row;
}

} // namespace

VoiceStage::VoiceStage(QWidget *parent)
    : QWidget(parent)
    , m_orb(new VoiceOrb)
    , m_title(new VoiceText(textStyleFont(TextStyle::Title2, FontWeight::Medium), VoiceInk::Primary, Qt::AlignHCenter))
    , m_elapsed(new VoiceText(textStyleFont(TextStyle::Title2, FontWeight::Medium), VoiceInk::Accent, Qt::AlignHCenter))
    , m_chipRow(new QWidget)
    , m_message(new VoiceText(textStyleFont(TextStyle::Subheadline), VoiceInk::Secondary, Qt::AlignHCenter))
    , m_nudge(new VoiceText(textStyleFont(TextStyle::Caption), VoiceInk::Secondary, Qt::AlignHCenter))
    , m_backend(new VoiceText(textStyleFont(TextStyle::Caption2), VoiceInk::SecondaryDimmed, Qt::AlignHCenter))
    , m_tray(new VoiceControlsTray)
{
    setObjectName(QStringLiteral("voiceStage"));
    m_elapsed->setTabularDigits(true);
    m_nudge->setText(QStringLiteral("You’ve been speaking a while — stop anytime when you’re ready."));

    // The content keeps to 420 and sits in the middle of the half it has.
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(24, 24, 24, 24);
    outer->setSpacing(0);
    auto *content = new QWidget;
    content->setMaximumWidth(kMaxContentWidth);
    outer->addStretch(0);
    outer->addWidget(content, 1);
    outer->addStretch(0);

    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(22);
    column->addStretch(1);
    column->addWidget(m_orb);
    column->addWidget(m_title);
    column->addWidget(m_elapsed);
    new QHBoxLayout(m_chipRow);
    m_chipRow->layout()->setContentsMargins(0, 0, 0, 0);
    m_chipRow->hide();
    column->addWidget(m_chipRow);
    column->addWidget(centredRow(m_message, 28, content));
    column->addWidget(centredRow(m_nudge, 28, content));
    column->addWidget(m_backend);
    column->addStretch(1);
    auto *trayRow = new QWidget;
    auto *trayLayout = new QHBoxLayout(trayRow);
    trayLayout->setContentsMargins(0, 0, 0, 28);
    trayLayout->addStretch(1);
    trayLayout->addWidget(m_tray);
    trayLayout->addStretch(1);
    column->addWidget(trayRow);

    m_elapsed->hide();
    m_message->parentWidget()->hide();
    m_nudge->parentWidget()->hide();
    m_backend->hide();
}

WeatherChip *VoiceStage::weatherChip() const
{
    return m_chipRow->isHidden() ? nullptr : m_chip.data();
}

void VoiceStage::setWeather(std::optional<WeatherLabel> label, double sentiment)
{
    if (!label) {
        m_chipRow->hide();
        return;
    }
    // The chip is drawn from its label; a new label makes a new chip.
    if (!m_chip || m_chip->label() != *label) {
        delete m_chip.data();
        m_chip = new WeatherChip(*label, sentiment, m_chipRow);
        auto *row = static_cast<QHBoxLayout *>(m_chipRow->layout());
        row->addWidget(m_chip, 0, Qt::AlignHCenter);
    }
    m_chipRow->show();
}

void VoiceStage::setMood(double sentiment)
{
    if (!std::isfinite(sentiment) || m_mood == sentiment)
        return;
    m_mood = sentiment;
    m_orb->setSentiment(sentiment);
    update();
}

void VoiceStage::paintBackdrop(QPainter &painter, const ZephyrTheme &theme) const
{
    const QRectF area = rect();

    // Bottom to top: deep, mid, then the light backdrop at 0.6.
    QLinearGradient backdrop(area.bottomLeft(), area.topLeft());
    backdrop.setColorAt(0.0, theme.backgroundDeep());
    backdrop.setColorAt(0.5, theme.backgroundMid());
    QColor top = theme.background();
    top.setAlphaF(0.6f);
    backdrop.setColorAt(1.0, top);
    painter.fillRect(area, backdrop);

    // The glow of the live mood around the middle.
    QColor mood = theme.sentimentColor(m_mood);
    QColor clear = mood;
    clear.setAlphaF(0.0f);
    mood.setAlphaF(theme.isDark() ? 0.28f : 0.16f);
    QRadialGradient glow(area.center(), 280.0, area.center(), 20.0);
    glow.setColorAt(0.0, mood);
    glow.setColorAt(1.0, clear);
    painter.fillRect(area, glow);
}

void VoiceStage::paintEvent(QPaintEvent *)
{
    // The backdrop changes with the size, the theme and the mood, not each
    // time the orb over it is drawn: it is drawn once and then copied.
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const qreal ratio = devicePixelRatioF();
    const BackdropKey key{size(), ratio, theme, m_mood};
    if (m_backdrop.isNull() || !(key == m_backdropKey)) {
        m_backdrop = QPixmap((QSizeF(size()) * ratio).toSize());
        m_backdrop.setDevicePixelRatio(ratio);
        m_backdrop.fill(Qt::transparent);
        QPainter painter(&m_backdrop);
        paintBackdrop(painter, theme);
        m_backdropKey = key;
    }
    // Only the part to be repainted is copied: the painter is clipped to it.
    QPainter painter(this);
    painter.drawPixmap(QPointF(0, 0), m_backdrop);
}

} // namespace zn
