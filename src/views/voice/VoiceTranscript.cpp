#include "views/voice/VoiceTranscript.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "views/voice/VoiceText.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace zn {

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    return color;
}

} // namespace

// --- LiveBadge ----------------------------------------------------------------

LiveBadge::LiveBadge(QWidget *parent)
    : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Live"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LiveBadge::sizeHint() const
{
    const QFontMetrics fm(textStyleFont(TextStyle::Caption, FontWeight::Semibold));
    return {10 + 8 + 6 + fm.horizontalAdvance(QStringLiteral("Live")) + 10, fm.height() + 10};
}

void LiveBadge::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme.panelFill());
    painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    painter.setBrush(QColor::fromRgbF(0.92f, 0.23f, 0.2f, 0.85f));
    painter.drawEllipse(QRectF(10, (box.height() - 8) / 2, 8, 8));
    painter.setFont(textStyleFont(TextStyle::Caption, FontWeight::Semibold));
    painter.setPen(theme.secondaryInk());
    painter.drawText(QRectF(24, 0, box.width() - 24, box.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Live"));
}

// --- TranscriptEditor ---------------------------------------------------------

TranscriptEditor::TranscriptEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setFont(textStyleFont(TextStyle::Body));
    setAccessibleName(QStringLiteral("Transcript"));
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setBackgroundVisible(false);
    document()->setDocumentMargin(0);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_applying)
            return;
        m_shown = toPlainText();
        Q_EMIT edited(m_shown);
    });
}

void TranscriptEditor::showText(const QString &text)
{
    if (text == m_shown)
        return;
    m_applying = true;
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum() - 2;

    // A recogniser extends its text or revises its last words: only the part
    // after what both texts share is rewritten, so a long transcript is not
    // laid out again for every partial result. Document positions match
    // string indexes as long as there is no carriage return.
    qsizetype common = 0;
    const qsizetype limit = std::min(m_shown.size(), text.size());
    while (common < limit && m_shown.at(common) == text.at(common))
        ++common;
    if (common > 0 && common < text.size() && text.at(common).isLowSurrogate())
        --common; // never split a character
    const bool positionsMatch = !text.contains(QLatin1Char('\r')) && !m_shown.contains(QLatin1Char('\r'));
    if ((common > 0 || m_shown.isEmpty()) && positionsMatch) {
        QTextCursor cursor(document());
        cursor.setPosition(int(common));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.insertText(text.mid(common));
    } else {
        ++m_resets;
        const int position = textCursor().position();
        setPlainText(text);
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::min<int>(position, document()->characterCount() - 1));
        setTextCursor(cursor);
    }
    m_shown = text;
    if (atEnd)
        bar->setValue(bar->maximum());
    m_applying = false;
}

void TranscriptEditor::paintEvent(QPaintEvent *event)
{
    applyTheme();
    QPlainTextEdit::paintEvent(event);
}

void TranscriptEditor::applyTheme()
{
    // The ink follows the window's theme; set only on a change, as a palette
    // change schedules another paint.
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPalette p = palette();
    const QColor text = theme.primaryInk();
    const QColor selection = withAlpha(theme.accent(), 0.3);
    if (p.color(QPalette::Text) == text && p.color(QPalette::Highlight) == selection)
        return;
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Base, Qt::transparent);
    p.setColor(QPalette::Highlight, selection);
    p.setColor(QPalette::HighlightedText, text);
    setPalette(p);
}

// --- TranscriptBody -----------------------------------------------------------

TranscriptBody::TranscriptBody(QWidget *parent)
    : QWidget(parent)
    , m_intro(new VoiceText(textStyleFont(TextStyle::Body), VoiceInk::Secondary, Qt::AlignLeft | Qt::AlignTop))
    , m_introBox(new QWidget)
    , m_editor(new TranscriptEditor)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_intro->setText(
        QStringLiteral("Speak freely — transcription stays on your computer. You can edit everything before "
                       "saving."));
    auto *introLayout = new QVBoxLayout(m_introBox);
    introLayout->setContentsMargins(20, 20, 20, 20);
    introLayout->addWidget(m_intro);
    introLayout->addStretch(1);

    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto *editorBox = new QWidget;
    auto *editorLayout = new QVBoxLayout(editorBox);
    editorLayout->setContentsMargins(16, 16, 16, 16);
    editorLayout->addWidget(m_editor);
    stack->addWidget(m_introBox);
    stack->addWidget(editorBox);
    editorBox->hide();
}

void TranscriptBody::setMode(TranscriptBodyMode mode)
{
    if (m_mode == mode)
        return;
    m_mode = mode;
    const bool intro = mode == TranscriptBodyMode::Introduction;
    m_introBox->setVisible(intro);
    m_editor->parentWidget()->setVisible(!intro);
    m_editor->setReadOnly(mode != TranscriptBodyMode::Editor);
    // Read-only while the words come in: no caret, no typing.
    m_editor->setTextInteractionFlags(mode == TranscriptBodyMode::Editor ? Qt::TextEditorInteraction
                                                                         : Qt::NoTextInteraction);
    m_editor->setFocusPolicy(mode == TranscriptBodyMode::Editor ? Qt::StrongFocus : Qt::NoFocus);
}

void TranscriptBody::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), 14, 14);
    painter.fillPath(box, withAlpha(theme.surface(), 0.35));
    QPainterPath edge;
    edge.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 13.75, 13.75);
    painter.setPen(QPen(theme.panelBorder(), 0.5));
    painter.drawPath(edge);
}

// --- TranscriptColumn ---------------------------------------------------------

TranscriptColumn::TranscriptColumn(QWidget *parent)
    : QWidget(parent)
    , m_badge(new LiveBadge)
    , m_body(new TranscriptBody)
{
    setObjectName(QStringLiteral("transcriptColumn"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(16);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    auto *title = new VoiceText(textStyleFont(TextStyle::Title3, FontWeight::Medium), VoiceInk::Primary,
                                Qt::AlignLeft | Qt::AlignVCenter);
    title->setText(QStringLiteral("Transcript"));
    title->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    header->addWidget(title, 0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(m_badge, 0, Qt::AlignVCenter);
    // The header keeps its height whether or not the badge shows.
    header->addStrut(m_badge->sizeHint().height());
    m_badge->hide();
    column->addLayout(header);
    column->addWidget(m_body, 1);
}

void TranscriptColumn::setLive(bool live)
{
    m_badge->setVisible(live);
}

void TranscriptColumn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), ThemeScope::themeFor(this).paper());
}

} // namespace zn
