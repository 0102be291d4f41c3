#include "views/workspace/detail/DetailWidgets.h"

#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"

#include <QFocusEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace zn {
namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

// Sets `role` of the widget's palette when it differs, so a theme change
// reaches texts drawn by Qt's own widgets without any of them keeping a copy.
void syncPaletteColor(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    if (widget->palette().color(role) == color)
        return;
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

} // namespace

QColor reflectionTint(const ZephyrTheme &theme)
{
    return theme.palette == ColorPalettePreference::Cool ? QColor::fromRgbF(0.55f, 0.72f, 0.95f)
                                                         : QColor::fromRgbF(0.85f, 0.68f, 0.28f);
}

QColor inkColor(InkRole role, const ZephyrTheme &theme)
{
    switch (role) {
    case InkRole::Ink:
        return theme.ink();
    case InkRole::InkSecondary:
        return theme.inkSecondary();
    case InkRole::InkTertiary:
        return theme.inkTertiary();
    case InkRole::Accent:
        return theme.accent();
    case InkRole::ReflectionTint:
        return reflectionTint(theme);
    case InkRole::Error:
        break;
    }
    return withAlpha(QColor(Qt::red), 0.85);
}

// --- InkLabel ------------------------------------------------------------------

InkLabel::InkLabel(const QString &text, const QFont &font, InkRole role, QWidget *parent)
    : QLabel(parent), m_role(role)
{
    setTextFormat(Qt::PlainText);
    setFont(font);
    setText(text);
}

void InkLabel::setRole(InkRole role)
{
    if (m_role == role)
        return;
    m_role = role;
    update();
}

void InkLabel::paintEvent(QPaintEvent *event)
{
    syncPaletteColor(this, QPalette::WindowText, inkColor(m_role, ThemeScope::themeFor(this)));
    QLabel::paintEvent(event);
}

// --- ReadingText ---------------------------------------------------------------

ReadingText::ReadingText(const QFont &font, InkRole role, qreal lineSpacing, QWidget *parent)
    : QTextEdit(parent), m_role(role), m_lineSpacing(lineSpacing)
{
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::ClickFocus);
    setLineWrapMode(QTextEdit::WidgetWidth);
    // An unbroken run (a pasted link) wraps too instead of widening the page.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFont(font);
    document()->setDefaultFont(font);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ReadingText::setPlainTextIfChanged(const QString &text)
{
    if (text == m_text && !document()->isEmpty())
        return;
    m_text = text;
    // Inserted under the block format, so a long text is not walked a
    // second time to space its lines.
    QTextDocument *doc = document();
    doc->clear();
    QTextCursor cursor(doc);
    cursor.setBlockFormat(blockFormat());
    cursor.insertText(text);
    m_heights.clear();
    updateGeometry();
}

QTextBlockFormat ReadingText::blockFormat() const
{
    QTextBlockFormat format;
    if (m_lineSpacing > 0)
        format.setLineHeight(m_lineSpacing, QTextBlockFormat::LineDistanceHeight);
    if (m_centered)
        format.setAlignment(Qt::AlignHCenter);
    return format;
}

void ReadingText::setCentered(bool centered)
{
    if (m_centered == centered)
        return;
    m_centered = centered;
    applyBlockFormat();
    m_heights.clear();
    updateGeometry();
}

void ReadingText::applyBlockFormat()
{
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(blockFormat());
}

int ReadingText::heightForWidth(int width) const
{
    // Layouts ask with the room they have, which may exceed the widest this
    // text is allowed to be.
    width = std::min(width, maximumWidth());
    if (width <= 0)
        return 0;
    // Layouts ask at several widths in one pass (the size hint's, the
    // column's with and without a scroll bar): each is laid out once.
    for (const auto &[cachedWidth, height] : m_heights)
        if (cachedWidth == width)
            return height;
    QTextDocument *doc = document();
    doc->setTextWidth(width);
    const int height = int(std::ceil(doc->size().height()));
    if (m_heights.size() == kWidthsKept)
        m_heights.removeLast();
    m_heights.prepend({width, height});
    return height;
}

QSize ReadingText::sizeHint() const
{
    // A short text asks for its own width (up to its maximum), so a centred
    // message is not squeezed to whatever width the widget started with.
    // A long text answers from its last layout rather than laying itself
    // out again at a width it will never have.
    if (m_text.size() > 2000) {
        if (m_heights.isEmpty())
            return {400, fontMetrics().height()};
        return {m_heights.first().first, m_heights.first().second};
    }
    int w = 400;
    {
        const QFontMetrics fm(font());
        int natural = 0;
        for (const QString &line : m_text.split(u'\n'))
            natural = std::max(natural, fm.horizontalAdvance(line));
        w = std::min(natural + 2, maximumWidth());
    }
    return {w, heightForWidth(std::max(w, 1))};
}

QSize ReadingText::minimumSizeHint() const
{
    return {40, fontMetrics().height()};
}

void ReadingText::paintEvent(QPaintEvent *event)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    syncPaletteColor(this, QPalette::Text, inkColor(m_role, theme));
    syncPaletteColor(this, QPalette::Base, Qt::transparent);
    // Height questions at other widths leave the text laid out at the last
    // one asked; it is drawn at its own.
    const int width = viewport()->width();
    if (width > 0 && document()->textWidth() != width)
        document()->setTextWidth(width);
    QTextEdit::paintEvent(event);
}

void ReadingText::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    if (heightForWidth(width()) != height())
        updateGeometry();
}

void ReadingText::focusOutEvent(QFocusEvent *event)
{
    QTextEdit::focusOutEvent(event);
    // Like a label: the selection goes when the text loses focus.
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        cursor.clearSelection();
        setTextCursor(cursor);
    }
}

void ReadingText::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

// --- ReadingBody -----------------------------------------------------------------

ReadingBody::ReadingBody(const QFont &font, InkRole role, qreal lineSpacing, QWidget *parent)
    : QWidget(parent), m_font(font), m_role(role), m_lineSpacing(lineSpacing)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &ReadingBody::typesetNext);
    m_plan = {detail::BodyPiece{}};
    typesetNext();
}

void ReadingBody::setPlainTextIfChanged(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_plan = detail::bodyPieces(m_text);
    m_typeset = 0;
    m_next.stop();
    // Pieces the new text no longer needs go; the others are reused.
    while (m_pieces.size() > m_plan.size()) {
        ReadingText *spare = m_pieces.takeLast();
        spare->hide();
        spare->deleteLater();
    }
    // The kept ones wait for their turn.
    for (qsizetype i = 1; i < m_pieces.size(); ++i)
        m_pieces.at(i)->hide();
    typesetNext();
}

void ReadingBody::typesetNext()
{
    if (m_typeset >= m_plan.size())
        return;
    const detail::BodyPiece piece = m_plan.at(m_typeset);
    ReadingText *text = nullptr;
    if (m_typeset < m_pieces.size()) {
        text = m_pieces.at(m_typeset);
    } else {
        text = new ReadingText(m_font, m_role, m_lineSpacing, this);
        layout()->addWidget(text);
        m_pieces.append(text);
    }
    text->setPlainTextIfChanged(m_text.sliced(piece.start, piece.length));
    text->show();
    ++m_typeset;
    if (m_typeset < m_plan.size())
        m_next.start();
}

// --- Spinner ---------------------------------------------------------------------

Spinner::Spinner(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 12;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = ThemeScope::themeFor(this).inkSecondary();
    const QPointF centre = QRectF(rect()).center();
    const qreal outer = std::min(width(), height()) / 2.0 - 1;
    for (int i = 0; i < 12; ++i) {
        // The newest tick is darkest; the rest fade behind it.
        const int age = (m_step - i + 12) % 12;
        QPen pen(withAlpha(ink, ink.alphaF() * (1.0 - age / 13.0)), 1.6, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const qreal angle = i * M_PI / 6.0;
        const QPointF dir(std::sin(angle), -std::cos(angle));
        painter.drawLine(centre + dir * outer * 0.45, centre + dir * outer);
    }
}

void Spinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

// --- DetailButton ----------------------------------------------------------------

namespace {
constexpr int kLargeHeight = 32;
constexpr int kSmallHeight = 22;
constexpr int kSymbolGap = 6;
} // namespace

DetailButton::DetailButton(const QString &title, Style style, QWidget *parent)
    : PaintedButton(parent), m_style(style)
{
    setTitle(title);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

QFont DetailButton::titleFont() const
{
    if (m_style == Style::Small)
        return textStyleFont(TextStyle::Caption);
    return textStyleFont(TextStyle::Body, FontWeight::Medium);
}

QSize DetailButton::sizeHint() const
{
    const QFontMetrics fm(titleFont());
    int label = fm.horizontalAdvance(title());
    if (!m_symbol.isEmpty())
        label += int(std::ceil(symbolBoxForFontPixelSize(titleFont().pixelSize()))) + kSymbolGap;
    label = std::max(label, m_minLabelWidth);
    const bool small = m_style == Style::Small;
    return {label + (small ? 16 : 28), small ? kSmallHeight : kLargeHeight};
}

void DetailButton::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = m_style == Style::Small ? 5 : 7;
    QPainterPath shape;
    shape.addRoundedRect(frame, radius, radius);

    const QColor accent = theme.accent();
    const QColor onAccent = accent.lightnessF() > 0.6 ? QColor::fromRgbF(0.1f, 0.08f, 0.06f) : QColor(Qt::white);
    const bool down = isDown();
    QColor fill;
    QColor titleColor;
    switch (m_style) {
    case Style::Prominent:
        fill = down ? accent.darker(115) : (isHovered() ? accent.lighter(108) : accent);
        titleColor = onAccent;
        break;
    case Style::Bordered:
        fill = withAlpha(theme.ink(), down ? 0.14 : (isHovered() ? 0.09 : 0.06));
        titleColor = theme.ink();
        break;
    case Style::Small:
        fill = withAlpha(theme.ink(), down ? 0.12 : (isHovered() ? 0.07 : 0.04));
        titleColor = inkColor(m_role, theme);
        break;
    }
    if (!isEnabled())
        titleColor = withAlpha(titleColor, titleColor.alphaF() * 0.45);
    painter.fillPath(shape, fill);
    if (m_style != Style::Prominent) {
        painter.setPen(QPen(theme.hairline(), 1));
        painter.drawPath(shape);
    }
    if (hasKeyboardFocus())
        paintFocusRing(painter, frame, radius, theme,
                       m_style == Style::Prominent ? FocusRingGround::Accent : FocusRingGround::Surface);

    const QFont font = titleFont();
    const QFontMetricsF fm(font);
    const qreal symbolBox = m_symbol.isEmpty() ? 0 : symbolBoxForFontPixelSize(font.pixelSize());
    const qreal labelWidth = fm.horizontalAdvance(title()) + (symbolBox > 0 ? symbolBox + kSymbolGap : 0);
    qreal x = (width() - labelWidth) / 2.0;
    if (symbolBox > 0) {
        const QRectF box(x, (height() - symbolBox) / 2.0, symbolBox, symbolBox);
        drawSymbol(painter, m_symbol, box, titleColor, SymbolRendering::Hierarchical);
        x += symbolBox + kSymbolGap;
    }
    painter.setFont(font);
    painter.setPen(titleColor);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, title());
}

} // namespace zn
