#include "views/workspace/detail/ReflectionPanel.h"

#include "app/marks/MarkWidgets.h"
#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FlowLayout.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <cmath>

namespace zn {
namespace {

constexpr int kPadding = 18;
constexpr int kSpacing = 12;
constexpr qreal kCornerRadius = 14;
// Room below the card for its shadow (radius 10, 3 down); the card itself
// spans the full width so it lines up with the text around it.
constexpr int kShadowRoom = 10;
constexpr qreal kShadowOffsetY = 3;
constexpr qreal kShadowRadius = 10;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

qreal fillOpacity(const ZephyrTheme &theme)
{
    if (theme.palette == ColorPalettePreference::Cool)
        return theme.isDark() ? 0.08 : 0.82;
    return theme.isDark() ? 0.07 : 0.78;
}

} // namespace

// The heading: symbol and title in the panel's tint.
class ReflectionHeading : public QWidget
{
public:
    ReflectionHeading(const QString &title, const QString &symbol, QWidget *parent)
        : QWidget(parent), m_title(title), m_symbol(symbol)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setAccessibleName(title);
    }

    QString title() const { return m_title; }
    QString symbol() const { return m_symbol; }
    void setTitle(const QString &title)
    {
        m_title = title;
        setAccessibleName(title);
        updateGeometry();
        update();
    }
    void setSymbol(const QString &symbol)
    {
        m_symbol = symbol;
        update();
    }

    QSize sizeHint() const override
    {
        const QFontMetrics fm(font());
        const int box = int(std::ceil(symbolBoxForFontPixelSize(font().pixelSize())));
        return {box + kGap + fm.horizontalAdvance(m_title), std::max(box, fm.height())};
    }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QColor tint = reflectionTint(ThemeScope::themeFor(this));
        const qreal box = symbolBoxForFontPixelSize(font().pixelSize());
        drawSymbol(painter, m_symbol, QRectF(0, (height() - box) / 2.0, box, box), tint);
        painter.setPen(tint);
        painter.setFont(font());
        const QRectF textRect(box + kGap, 0, width() - box - kGap, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(font()).elidedText(m_title, Qt::ElideRight, int(textRect.width())));
    }

private:
    static constexpr int kGap = 5;
    QString m_title;
    QString m_symbol;
};

namespace {

QFont textFont(ReflectionItem::TextStyle style)
{
    switch (style) {
    case ReflectionItem::TextStyle::Summary:
    case ReflectionItem::TextStyle::Detail:
        return textStyleFont(TextStyle::Body);
    case ReflectionItem::TextStyle::Message:
        return textStyleFont(TextStyle::Subheadline);
    case ReflectionItem::TextStyle::Focus:
        break;
    }
    return textStyleFont(TextStyle::Subheadline, FontWeight::Medium);
}

InkRole textRole(ReflectionItem::TextStyle style)
{
    switch (style) {
    case ReflectionItem::TextStyle::Summary:
        return InkRole::Ink;
    case ReflectionItem::TextStyle::Detail:
    case ReflectionItem::TextStyle::Message:
        return InkRole::InkSecondary;
    case ReflectionItem::TextStyle::Focus:
        break;
    }
    return InkRole::Accent;
}

ReadingText *makeText(const QString &text, const QFont &font, InkRole role, qreal lineSpacing, QWidget *parent)
{
    auto *label = new ReadingText(font, role, lineSpacing, parent);
    label->setPlainTextIfChanged(text);
    return label;
}

QWidget *makeProgressRow(const ReflectionItem &item, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(new Spinner(row), 0, Qt::AlignVCenter);
    layout->addWidget(new InkLabel(item.text, textStyleFont(TextStyle::Subheadline), InkRole::InkSecondary, row), 1,
                      Qt::AlignVCenter);
    row->setAccessibleName(item.accessibleName);
    return row;
}

QWidget *makeBullets(const ReflectionItem &item, QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(new InkLabel(item.text, textStyleFont(TextStyle::Subheadline, FontWeight::Semibold),
                                   InkRole::Ink, box));
    const QFont font = textStyleFont(TextStyle::Subheadline);
    for (const QString &point : item.list)
        layout->addWidget(makeText(QStringLiteral("• ") + point, font, InkRole::InkSecondary, 0, box));
    return box;
}

QWidget *makeChips(const ReflectionItem &item, QWidget *parent)
{
    auto *row = new QWidget(parent);
    // Chips wrap to a new row, and one wider than the card is elided.
    auto *flow = new FlowLayout(row, 6, 6);
    flow->setContentsMargins(0, 0, 0, 0);
    for (const QString &word : item.list)
        flow->addWidget(new KeywordChip(word, true, row));
    return row;
}

} // namespace

ReflectionPanel::ReflectionPanel(const QString &title, const QString &symbolName, QWidget *parent)
    : QWidget(parent), m_heading(new ReflectionHeading(title, symbolName, this)), m_layout(new QVBoxLayout(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_heading->setFont(textStyleFont(TextStyle::Subheadline, FontWeight::Semibold));
    m_layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding + kShadowRoom);
    m_layout->setSpacing(kSpacing);
    m_layout->addWidget(m_heading);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

ReflectionPanel::~ReflectionPanel() = default;

QString ReflectionPanel::title() const
{
    return m_heading->title();
}

void ReflectionPanel::setTitle(const QString &title)
{
    m_heading->setTitle(title);
}

QString ReflectionPanel::symbolName() const
{
    return m_heading->symbol();
}

void ReflectionPanel::setSymbolName(const QString &name)
{
    m_heading->setSymbol(name);
}

void ReflectionPanel::setActionHandler(std::function<void()> handler)
{
    const bool had = static_cast<bool>(m_action);
    m_action = std::move(handler);
    if (m_usesItems && had != static_cast<bool>(m_action))
        rebuild();
}

void ReflectionPanel::setItems(const ReflectionItems &items)
{
    if (m_usesItems && items == m_items && m_content)
        return;
    m_items = items;
    m_usesItems = true;
    rebuild();
}

void ReflectionPanel::setContent(QWidget *content)
{
    m_usesItems = false;
    m_items.clear();
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        content->setParent(this);
        m_layout->addWidget(content);
        content->show();
    }
    updateGeometry();
}

void ReflectionPanel::rebuild()
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);
    for (const ReflectionItem &item : std::as_const(m_items)) {
        if (item.kind == ReflectionItem::Kind::Button && !m_action)
            continue;
        if (item.topPadding > 0)
            layout->addSpacing(int(std::round(item.topPadding)));
        switch (item.kind) {
        case ReflectionItem::Kind::Text:
            layout->addWidget(makeText(item.text, textFont(item.textStyle), textRole(item.textStyle),
                                       item.lineSpacing, box));
            break;
        case ReflectionItem::Kind::Progress:
            layout->addWidget(makeProgressRow(item, box));
            break;
        case ReflectionItem::Kind::Button: {
            auto *button = new DetailButton(item.text, DetailButton::Style::Small, box);
            button->setTitleRole(item.buttonTone == ReflectionItem::ButtonTone::Quiet ? InkRole::InkSecondary
                                                                                    : InkRole::Accent);
            button->setToolTip(item.toolTip);
            // Queued: the action usually changes what this panel shows, which
            // replaces the button that is still delivering its click.
            connect(button, &QAbstractButton::clicked, this, &ReflectionPanel::runAction, Qt::QueuedConnection);
            layout->addWidget(button, 0, Qt::AlignLeft);
            break;
        }
        case ReflectionItem::Kind::Bullets:
            layout->addWidget(makeBullets(item, box));
            break;
        case ReflectionItem::Kind::Chips:
            layout->addWidget(makeChips(item, box));
            break;
        }
    }
    const auto items = m_items;
    setContent(box);
    // setContent() forgets the list; this content is made from it.
    m_items = items;
    m_usesItems = true;
}

void ReflectionPanel::runAction()
{
    if (m_action)
        m_action();
}

QStringList ReflectionPanel::shownTexts() const
{
    QStringList out;
    if (!m_content)
        return out;
    const auto children = m_content->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (auto *text = qobject_cast<ReadingText *>(child))
            out.append(text->shownText());
        else if (auto *label = qobject_cast<QLabel *>(child))
            out.append(label->text());
        else if (auto *button = qobject_cast<QAbstractButton *>(child))
            out.append(button->text());
        else if (auto *chip = qobject_cast<KeywordChip *>(child))
            out.append(chip->word());
    }
    return out;
}

bool ReflectionPanel::hasHeightForWidth() const
{
    // Only wrapping text makes the height depend on the width; saying so
    // otherwise would have layouts ask a box layout that has no answer.
    return m_layout->hasHeightForWidth();
}

int ReflectionPanel::heightForWidth(int width) const
{
    // Content without wrapping text has one height at every width.
    if (!m_layout->hasHeightForWidth())
        return m_layout->totalSizeHint().height();
    return m_layout->totalHeightForWidth(width);
}

QSize ReflectionPanel::sizeHint() const
{
    const QSize hint = m_layout->totalSizeHint();
    const int w = width() > 0 ? width() : hint.width();
    return {hint.width(), heightForWidth(w)};
}

QSize ReflectionPanel::minimumSizeHint() const
{
    return {2 * kPadding + 40, m_layout->totalMinimumSize().height()};
}

void ReflectionPanel::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0, 0, 0, -kShadowRoom);

    QPainterPath shape;
    shape.addRoundedRect(card, kCornerRadius, kCornerRadius);

    // A soft shadow of growing, fading outlines, kept outside the card so the
    // translucent fill does not darken over it.
    const qreal shadowOpacity = theme.isDark() ? 0.20 : 0.04;
    constexpr int kLayers = 6;
    QPainterPath outside;
    outside.addRect(QRectF(rect()));
    painter.save();
    painter.setClipPath(outside.subtracted(shape));
    for (int i = kLayers; i >= 1; --i) {
        const qreal grow = kShadowRadius * i / kLayers / 2.0;
        QPainterPath layer;
        layer.addRoundedRect(card.translated(0, kShadowOffsetY).adjusted(-grow, -grow, grow, grow),
                             kCornerRadius + grow, kCornerRadius + grow);
        painter.fillPath(layer, QColor::fromRgbF(0, 0, 0, float(shadowOpacity / kLayers)));
    }
    painter.restore();

    painter.fillPath(shape, withAlpha(Qt::white, fillOpacity(theme)));
    // The border lies inside the card's edge.
    QPainterPath inner;
    inner.addRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5, kCornerRadius - 0.5);
    painter.setPen(QPen(withAlpha(reflectionTint(theme), 0.22), 1));
    painter.drawPath(inner);
}

} // namespace zn
