#include "views/workspace/timeline/EntryListControls.h"

#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"
#include "views/workspace/timeline/EntryListRules.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace zn {
namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QColor schemeGrey(bool dark, qreal darkAlpha, qreal lightAlpha)
{
    return dark ? QColor::fromRgbF(1, 1, 1, float(darkAlpha)) : QColor::fromRgbF(0, 0, 0, float(lightAlpha));
}

QPainterPath rounded(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// Text on an accent fill: white, or near-black where the accent is light.
QColor onAccent(const QColor &accent)
{
    return accent.lightnessF() > 0.72 ? QColor::fromRgbF(0, 0, 0, 0.85f) : QColor(Qt::white);
}

} // namespace

// --- ListButton ---------------------------------------------------------------

ListButton::ListButton(const QString &title, Style style, TextStyle font, QWidget *parent)
    : PaintedButton(parent)
    , m_style(style)
    , m_font(font)
{
    setTitle(title);
    setFocusPolicy(Qt::TabFocus);
}

void ListButton::setSymbolName(const QString &name)
{
    m_symbol = name;
    updateGeometry();
    update();
}

QFont ListButton::titleFont() const
{
    return textStyleFont(m_font, m_style == Style::Plain ? std::nullopt : std::optional(FontWeight::Medium));
}

QMargins ListButton::padding() const
{
    return m_style == Style::Plain ? QMargins(2, 2, 2, 2) : QMargins(14, 6, 14, 6);
}

QSize ListButton::sizeHint() const
{
    const QFontMetricsF fm(titleFont());
    qreal width = fm.horizontalAdvance(title());
    if (!m_symbol.isEmpty())
        width += symbolBoxForFontPixelSize(titleFont().pixelSize()) + 6;
    const QMargins pad = padding();
    return QSize(int(std::ceil(width)) + pad.left() + pad.right(), int(std::ceil(fm.height())) + pad.top() + pad.bottom());
}

void ListButton::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const QColor accent = theme.accent();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF rect = QRectF(this->rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = rect.height() / 2;
    QColor ink;
    switch (m_style) {
    case Style::Plain:
        ink = accent;
        if (isDown() || isHovered())
            ink = withAlpha(accent, isDown() ? 0.6 : 0.8);
        break;
    case Style::Prominent: {
        QColor fill = accent;
        if (isDown())
            fill = fill.darker(115);
        else if (isHovered())
            fill = fill.lighter(106);
        painter.fillPath(rounded(rect, radius), fill);
        ink = onAccent(accent);
        break;
    }
    case Style::Bordered:
        painter.fillPath(rounded(rect, radius), withAlpha(theme.paper(), isDown() ? 0.9 : (isHovered() ? 0.8 : 0.65)));
        painter.setPen(QPen(theme.hairline(), 1));
        painter.drawPath(rounded(rect, radius));
        ink = theme.ink();
        break;
    }
    if (hasFocus() && m_keyboardFocus)
        paintFocusRing(painter, rect, m_style == Style::Plain ? 4 : radius, theme,
                       m_style == Style::Prominent ? FocusRingGround::Accent : FocusRingGround::Surface);

    const QFont font = titleFont();
    const QFontMetricsF fm(font);
    const QMargins pad = padding();
    const qreal box = m_symbol.isEmpty() ? 0 : symbolBoxForFontPixelSize(font.pixelSize());
    const qreal contentWidth = fm.horizontalAdvance(title()) + (box > 0 ? box + 6 : 0);
    qreal x = std::max<qreal>(pad.left(), (width() - contentWidth) / 2);
    if (box > 0) {
        drawSymbol(painter, m_symbol, QRectF(x, (height() - box) / 2, box, box), ink);
        x += box + 6;
    }
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QPointF(x, (height() - fm.height()) / 2 + fm.ascent()), title());
}

// --- SymbolView -------------------------------------------------------------------

SymbolView::SymbolView(const QString &name, qreal box, Ink ink, QWidget *parent)
    : QWidget(parent)
    , m_name(name)
    , m_box(box)
    , m_ink(ink)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolView::sizeHint() const
{
    const int side = int(std::ceil(m_box));
    return QSize(side, side);
}

void SymbolView::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const QColor tint = m_ink == Ink::Accent ? theme.accent() : schemeGrey(theme.isDark(), 0.38, 0.34);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSymbol(painter, m_name, QRectF(rect()), tint, SymbolRendering::Monochrome, SymbolWeight::Semibold);
}

// --- SearchField --------------------------------------------------------------------

SearchField::SearchField(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    const qreal glyph = symbolBoxForFontPixelSize(textStylePixelSize(TextStyle::Caption));
    row->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), glyph, SymbolView::Ink::SearchGlyph, this));
    row->addWidget(m_edit, 1);

    const QString label = QCoreApplication::translate("EntryListView", "Search your journal");
    m_edit->setPlaceholderText(label);
    m_edit->setAccessibleName(label);
    m_edit->setFrame(false);
    m_edit->setFont(textStyleFont(TextStyle::Body));
    m_edit->setClearButtonEnabled(false);
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_edit->setPalette(palette);
    m_edit->installEventFilter(this);
    setFocusProxy(m_edit);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    connect(m_edit, &QLineEdit::textEdited, this, &SearchField::textEdited);
}

void SearchField::setText(const QString &text)
{
    if (m_edit->text() != text)
        m_edit->setText(text);
}

bool SearchField::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            update(); // the ring
        if (event->type() == QEvent::FocusIn)
            Q_EMIT focusChanged(true);
        else if (event->type() == QEvent::FocusOut)
            Q_EMIT focusChanged(false);
    }
    return QWidget::eventFilter(watched, event);
}

void SearchField::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect());
    painter.fillPath(rounded(plate, 10), withAlpha(theme.paper(), 0.7));
    const qreal line = 0.5;
    painter.setPen(QPen(schemeGrey(theme.isDark(), 0.1, 0.08), line));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rounded(plate.adjusted(line / 2, line / 2, -line / 2, -line / 2), 10 - line / 2));
    // Typing goes here whichever way the field got the focus: a click's
    // focus is ringed too, as text fields are.
    if (m_edit->hasFocus())
        paintFocusRing(painter, plate, 10, theme);
}

// --- DayBanner ----------------------------------------------------------------------

DayBanner::DayBanner(QWidget *parent)
    : QWidget(parent)
    , m_text(new QLabel(this))
    , m_clear(new ListButton(QCoreApplication::translate("EntryListView", "Clear day"), ListButton::Style::Plain,
                             TextStyle::Caption, this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(6);
    const qreal glyph = symbolBoxForFontPixelSize(textStylePixelSize(TextStyle::Caption));
    row->addWidget(new SymbolView(QStringLiteral("calendar"), glyph, SymbolView::Ink::Accent, this));
    row->addWidget(m_text);
    row->addStretch(1);
    row->addWidget(m_clear);
    m_text->setFont(textStyleFont(TextStyle::Caption, FontWeight::Medium));
    m_text->setTextFormat(Qt::PlainText);
    m_clear->setAccessibleName(QCoreApplication::translate("EntryListView", "Clear day filter"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(m_clear, &QAbstractButton::clicked, this, &DayBanner::clearRequested);
}

void DayBanner::setDay(const QDateTime &day)
{
    m_text->setText(dayBannerText(day));
}

QString DayBanner::dayText() const
{
    return m_text->text();
}

void DayBanner::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange) {
        QPalette palette = m_text->palette();
        palette.setColor(QPalette::WindowText, ThemeScope::themeFor(this).accent());
        m_text->setPalette(palette);
    }
    QWidget::changeEvent(event);
}

void DayBanner::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPalette palette = m_text->palette();
    if (palette.color(QPalette::WindowText) != theme.accent()) {
        palette.setColor(QPalette::WindowText, theme.accent());
        m_text->setPalette(palette);
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF band = QRectF(rect());
    painter.fillPath(rounded(band, band.height() / 2), withAlpha(theme.accent(), 0.12));
}

} // namespace zn

namespace zn {

void ListButton::focusInEvent(QFocusEvent *event)
{
    // The ring marks focus reached from the keyboard, not focus a click or
    // a hidden neighbour handed over.
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    PaintedButton::focusInEvent(event);
}

} // namespace zn
