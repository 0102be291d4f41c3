#include "views/voice/VoiceControls.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace zn {

namespace {

constexpr int kLargeHeight = 32;
constexpr int kRegularHeight = 26;
constexpr int kSymbolGap = 6;

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    return color;
}

QColor stopRed()
{
    return QColor::fromRgbF(0.92f, 0.23f, 0.2f, 0.85f);
}

QColor destructiveRed(const ZephyrTheme &theme)
{
    return theme.isDark() ? QColor::fromRgbF(1.0f, 0.42f, 0.38f) : QColor::fromRgbF(0.78f, 0.16f, 0.13f);
}

// White on a tint unless dark text reads clearly better (relative
// luminance, as the accessibility guidelines use): the light accents of the
// dark scheme take dark text, the stop red keeps its white.
QColor onTint(const QColor &tint)
{
    auto linear = [](float c) { return c <= 0.03928f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); };
    const QColor rgb = tint.toRgb();
    const double luminance =
        0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
    const double againstWhite = 1.05 / (luminance + 0.05);
    const double againstDark = (luminance + 0.05) / 0.058;
    return againstDark > 1.5 * againstWhite ? QColor::fromRgbF(0.1f, 0.08f, 0.06f) : QColor(Qt::white);
}

} // namespace

// --- VoiceButton --------------------------------------------------------------

VoiceButton::VoiceButton(const VoiceControl &control, QWidget *parent)
    : PaintedButton(parent)
    , m_control(control)
{
    setTitle(control.title);
    setAccessibleName(control.title);
    setEnabled(control.enabled);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    switch (control.shortcut) {
    case VoiceShortcut::Start:
        setToolTip(QStringLiteral("Ctrl+R"));
        break;
    case VoiceShortcut::Stop:
        setToolTip(QStringLiteral("Esc"));
        break;
    case VoiceShortcut::Save:
        setToolTip(QStringLiteral("Ctrl+S"));
        break;
    case VoiceShortcut::None:
        break;
    }
}

QFont VoiceButton::titleFont() const
{
    const bool large = m_control.size == VoiceControlSize::Large;
    return textStyleFont(TextStyle::Body, large || m_control.style == VoiceButtonStyle::Prominent
                                              ? FontWeight::Medium
                                              : FontWeight::Regular);
}

QSize VoiceButton::sizeHint() const
{
    const QFontMetrics fm(titleFont());
    int label = fm.horizontalAdvance(title());
    if (!m_control.symbol.isEmpty())
        label += int(std::ceil(symbolBoxForFontPixelSize(titleFont().pixelSize()))) + kSymbolGap;
    const bool large = m_control.size == VoiceControlSize::Large;
    const int padding = m_control.style == VoiceButtonStyle::Plain ? 8 : (large ? 28 : 20);
    return {label + padding, large ? kLargeHeight : kRegularHeight};
}

void VoiceButton::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = m_control.size == VoiceControlSize::Large ? 8 : 6;
    QPainterPath shape;
    shape.addRoundedRect(frame, radius, radius);

    const bool down = isDown();
    QColor title = theme.primaryInk();
    switch (m_control.style) {
    case VoiceButtonStyle::Prominent: {
        QColor tint = m_control.tint == VoiceButtonTint::Stop ? stopRed() : theme.accent();
        if (!isEnabled())
            tint = withAlpha(tint, tint.alphaF() * 0.4);
        else if (down)
            tint = tint.darker(115);
        else if (isHovered())
            tint = tint.lighter(108);
        painter.fillPath(shape, tint);
        title = onTint(m_control.tint == VoiceButtonTint::Stop ? stopRed() : theme.accent());
        break;
    }
    case VoiceButtonStyle::Bordered:
        painter.fillPath(shape, withAlpha(theme.primaryInk(), down ? 0.16 : (isHovered() ? 0.11 : 0.07)));
        painter.setPen(QPen(theme.panelBorder(), 1));
        painter.drawPath(shape);
        break;
    case VoiceButtonStyle::Plain:
        title = down ? theme.primaryInk() : theme.secondaryInk();
        if (isHovered())
            title = theme.primaryInk();
        break;
    }
    if (m_control.destructive)
        title = destructiveRed(theme);
    if (!isEnabled())
        title = withAlpha(title, title.alphaF() * 0.5);

    if (hasKeyboardFocus()) {
        if (m_control.style == VoiceButtonStyle::Prominent)
            paintFocusRing(painter, frame, radius, withAlpha(title, 0.95), FocusRingGround::Accent);
        else
            paintFocusRing(painter, frame, radius, theme);
    }

    const QFont font = titleFont();
    painter.setFont(font);
    const QFontMetricsF fm(font);
    const qreal symbol = m_control.symbol.isEmpty() ? 0 : symbolBoxForFontPixelSize(font.pixelSize());
    const qreal labelWidth = fm.horizontalAdvance(this->title()) + (symbol > 0 ? symbol + kSymbolGap : 0);
    qreal x = (width() - labelWidth) / 2.0;
    if (symbol > 0) {
        drawSymbol(painter, m_control.symbol, QRectF(x, (height() - symbol) / 2.0, symbol, symbol), title);
        x += symbol + kSymbolGap;
    }
    painter.setPen(title);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, this->title());
}

// --- VoiceSpinner -------------------------------------------------------------

VoiceSpinner::VoiceSpinner(const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
{
    setAccessibleName(text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 12;
        update();
    });
}

void VoiceSpinner::setReduceMotion(bool on)
{
    m_reduceMotion = on;
    updateTimer();
}

void VoiceSpinner::updateTimer()
{
    if (isVisible() && !m_reduceMotion)
        m_timer.start();
    else
        m_timer.stop();
}

QSize VoiceSpinner::sizeHint() const
{
    const QFontMetrics fm(textStyleFont(TextStyle::Subheadline));
    return {16 + 8 + fm.horizontalAdvance(m_text) + 2, std::max(kRegularHeight, fm.height())};
}

void VoiceSpinner::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(8, height() / 2.0);
    // Twelve spokes, the leading one darkest.
    for (int i = 0; i < 12; ++i) {
        const int age = (m_step - i + 12) % 12;
        const double alpha = 0.15 + 0.75 * (1.0 - age / 12.0);
        painter.save();
        painter.translate(centre);
        painter.rotate(i * 30.0);
        painter.setPen(QPen(withAlpha(theme.secondaryInk(), alpha), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -3.5), QPointF(0, -7));
        painter.restore();
    }
    painter.setFont(textStyleFont(TextStyle::Subheadline));
    painter.setPen(theme.secondaryInk());
    painter.drawText(QRectF(24, 0, width() - 24, height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

void VoiceSpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void VoiceSpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

// --- VoiceControlsTray --------------------------------------------------------

VoiceControlsTray::VoiceControlsTray(QWidget *parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this))
{
    m_row->setContentsMargins(16, 12, 16, 12);
    m_row->setSpacing(12);
    m_row->setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

bool VoiceControlsTray::sameShape(const VoiceControlsRow &a, const VoiceControlsRow &b)
{
    if (a.spinnerText != b.spinnerText || a.buttons.size() != b.buttons.size())
        return false;
    for (qsizetype i = 0; i < a.buttons.size(); ++i)
        if (a.buttons[i].action != b.buttons[i].action || a.buttons[i].title != b.buttons[i].title)
            return false;
    return true;
}

void VoiceControlsTray::setRow(const VoiceControlsRow &row)
{
    if (m_built && sameShape(row, m_shown)) {
        // Only the enabled states can differ.
        for (qsizetype i = 0; i < row.buttons.size(); ++i)
            if (m_buttons[i])
                m_buttons[i]->setEnabled(row.buttons[i].enabled);
        m_shown = row;
        return;
    }
    m_built = true;
    m_shown = row;
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    while (QLayoutItem *item = m_row->takeAt(0)) {
        if (QWidget *w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    m_buttons.clear();
    m_spinner = nullptr;
    if (row.spinnerText) {
        m_spinner = new VoiceSpinner(*row.spinnerText, this);
        m_spinner->setReduceMotion(m_reduceMotion);
        m_row->addWidget(m_spinner, 0, Qt::AlignVCenter);
    }
    for (const VoiceControl &control : row.buttons) {
        auto *button = new VoiceButton(control, this);
        const VoiceControlAction action = control.action;
        connect(button, &QAbstractButton::clicked, this, [this, action] { Q_EMIT triggered(action); });
        m_row->addWidget(button, 0, Qt::AlignVCenter);
        m_buttons.append(button);
    }
    // Keyboard focus stays in the tray when the button that had it went.
    if (hadFocus && !m_buttons.isEmpty())
        m_buttons.first()->setFocus(Qt::OtherFocusReason);
    updateGeometry();
}

void VoiceControlsTray::setReduceMotion(bool on)
{
    m_reduceMotion = on;
    if (m_spinner)
        m_spinner->setReduceMotion(on);
}

QList<VoiceButton *> VoiceControlsTray::buttons() const
{
    QList<VoiceButton *> out;
    for (const auto &b : m_buttons)
        if (b)
            out.append(b);
    return out;
}

VoiceButton *VoiceControlsTray::button(VoiceControlAction action) const
{
    for (const auto &b : m_buttons)
        if (b && b->control().action == action)
            return b;
    return nullptr;
}

void VoiceControlsTray::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    QPainterPath shape;
    shape.addRoundedRect(box, 16, 16);
    const QColor fill = theme.panelFill();
    painter.fillPath(shape, withAlpha(fill, fill.alphaF() * 0.85));
    // A 0.5 line inside the edge.
    QPainterPath edge;
    edge.addRoundedRect(box.adjusted(0.25, 0.25, -0.25, -0.25), 15.75, 15.75);
    painter.setPen(QPen(theme.panelBorder(), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(edge);
}

} // namespace zn
