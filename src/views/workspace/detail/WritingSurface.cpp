#include "views/workspace/detail/WritingSurface.h"

#include "app/marks/MarkWidgets.h"
#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "core/JournalEntry.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/detail/DraftEditor.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPropertyAnimation>
#include <QVBoxLayout>

#include <cmath>

namespace zn {
namespace {

constexpr int kMoodAnimationMs = 600;
constexpr int kChipFadeMs = 200;

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

bool sameScore(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

// --- MoodLine ----------------------------------------------------------------------

MoodLine::MoodLine(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(3);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_animation.setDuration(kMoodAnimationMs);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_progress = value.toReal();
        update();
    });
}

QColor MoodLine::targetColor() const
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    if (!m_coloured)
        return theme.hairline();
    QColor colour = theme.sentimentColor(m_score);
    colour.setAlphaF(0.22f);
    return colour;
}

QColor MoodLine::currentColor() const
{
    if (m_progress >= 1 || !m_from.isValid())
        return targetColor();
    return mix(m_from, targetColor(), m_progress);
}

void MoodLine::setMood(bool coloured, double score, bool animate)
{
    if (coloured == m_coloured && sameScore(score, m_score))
        return;
    const QColor from = currentColor();
    m_coloured = coloured;
    m_score = score;
    m_animation.stop();
    if (animate && !ThemeScope::accessibilityFor(this).reduceMotion) {
        m_from = from;
        m_progress = 0;
        m_animation.start();
    } else {
        m_progress = 1;
    }
    update();
}

void MoodLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), currentColor());
}

// --- WritingSurface ------------------------------------------------------------------

WritingSurface::WritingSurface(EditorSession &editor, qreal measureMax, QWidget *parent)
    : QWidget(parent), m_session(editor)
{
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    auto *header = new QWidget(this);
    m_header = new QHBoxLayout(header);
    m_header->setContentsMargins(32, 16, 32, 16);
    auto *heading = new QVBoxLayout;
    heading->setSpacing(2);
    m_title = new InkLabel({}, textStyleFont(TextStyle::Headline), InkRole::Ink, header);
    m_subtitle = new InkLabel({}, textStyleFont(TextStyle::Caption), InkRole::InkSecondary, header);
    heading->addWidget(m_title);
    heading->addWidget(m_subtitle);
    m_header->addLayout(heading);
    m_header->addStretch(1);

    m_chipBox = new QWidget(header);
    auto *chipLayout = new QHBoxLayout(m_chipBox);
    chipLayout->setContentsMargins(0, 0, 0, 0);
    m_chipOpacity = new QGraphicsOpacityEffect(m_chipBox);
    m_chipOpacity->setOpacity(0);
    m_chipBox->setGraphicsEffect(m_chipOpacity);
    m_chipFade = new QPropertyAnimation(m_chipOpacity, "opacity", this);
    m_chipFade->setDuration(kChipFadeMs);
    connect(m_chipFade, &QPropertyAnimation::finished, this, [this] {
        if (!m_chipShown)
            m_chipBox->hide();
    });
    m_chipBox->hide();
    m_header->addWidget(m_chipBox, 0, Qt::AlignVCenter);

    m_saveStatus = new InkLabel({}, textStyleFont(TextStyle::Caption), InkRole::InkSecondary, header);
    m_saveStatus->hide();
    // A long store error wraps instead of widening the window.
    m_saveStatus->setWordWrap(true);
    m_saveStatus->setMaximumWidth(320);
    m_header->addWidget(m_saveStatus, 0, Qt::AlignVCenter);
    stack->addWidget(header);

    m_editor = new DraftEditor(editor, measureMax, this);
    stack->addWidget(m_editor, 1);
    m_moodLine = new MoodLine(this);
    stack->addWidget(m_moodLine);
}

void WritingSurface::setActive(bool active)
{
    m_editor->setBound(active);
}

void WritingSurface::refresh(JournalEntry *entry)
{
    if (entry && entry->isDeleted())
        entry = nullptr;
    const detail::WritingHeading heading = detail::writingHeading(
        m_session.mode(), entry ? std::optional<QDateTime>(entry->timestamp()) : std::nullopt);
    m_title->setText(heading.title);
    m_subtitle->setText(heading.subtitle);
    m_title->setVisible(!heading.title.isEmpty());
    m_subtitle->setVisible(!heading.subtitle.isEmpty());

    const QString &draft = m_session.draftText();
    const double score = m_session.liveSentiment();
    if (m_chip && (m_chip->label() != m_session.liveWeather() || !sameScore(m_chip->sentiment(), score))) {
        delete m_chip;
    }
    if (!m_chip) {
        m_chip = new WeatherChip(m_session.liveWeather(), score, m_chipBox);
        m_chipBox->layout()->addWidget(m_chip);
    }
    showChip(detail::showsLiveChip(draft));

    showSaveStatus(detail::saveStatusText(m_session.saveStatus()));

    const bool scoreMoved = !sameScore(score, m_lastScore);
    m_lastScore = score;
    m_moodLine->setMood(detail::coloursMoodLine(draft), score, scoreMoved && isVisible());
}

void WritingSurface::showChip(bool shown)
{
    if (shown == m_chipShown)
        return;
    m_chipShown = shown;
    m_chipFade->stop();
    if (shown)
        m_chipBox->show();
    if (!isVisible() || ThemeScope::accessibilityFor(this).reduceMotion) {
        m_chipOpacity->setOpacity(shown ? 1 : 0);
        m_chipBox->setVisible(shown);
        return;
    }
    m_chipFade->setStartValue(m_chipOpacity->opacity());
    m_chipFade->setEndValue(shown ? 1.0 : 0.0);
    m_chipFade->start();
}

void WritingSurface::showSaveStatus(const detail::SaveStatusText &status)
{
    if (status == m_status && m_saveStatus->isVisible() == (status.tone != detail::SaveStatusText::Tone::Hidden))
        return;
    m_status = status;
    using Tone = detail::SaveStatusText::Tone;
    m_saveStatus->setVisible(status.tone != Tone::Hidden);
    m_saveStatus->setText(status.text);
    switch (status.tone) {
    case Tone::Hidden:
    case Tone::Secondary:
        m_saveStatus->setFont(textStyleFont(TextStyle::Caption));
        m_saveStatus->setRole(InkRole::InkSecondary);
        break;
    case Tone::Accent:
        m_saveStatus->setFont(textStyleFont(TextStyle::Caption, FontWeight::Medium));
        m_saveStatus->setRole(InkRole::Accent);
        break;
    case Tone::Error:
        m_saveStatus->setFont(textStyleFont(TextStyle::Caption));
        m_saveStatus->setRole(InkRole::Error);
        break;
    }
}

QString WritingSurface::headingTitle() const
{
    return m_title->isHidden() ? QString() : m_title->text();
}

QString WritingSurface::headingSubtitle() const
{
    return m_subtitle->isHidden() ? QString() : m_subtitle->text();
}

void WritingSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), ThemeScope::themeFor(this).paper());
}

} // namespace zn
