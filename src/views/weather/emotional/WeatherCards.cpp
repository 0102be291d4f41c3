#include "views/weather/emotional/WeatherCards.h"

#include "app/marks/MarkWidgets.h"
#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "platform/symbols/SymbolLibrary.h"
#include "views/kit/FocusRing.h"
#include "views/weather/emotional/WeatherPageLogic.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zn {
namespace {

constexpr int kSummarySymbolFont = 48;
constexpr int kEmptySymbolFont = 52;
constexpr int kChipMinWidth = 72;
constexpr int kChipSpacing = 8;
constexpr int kBlurbMaxLines = 3;
constexpr qreal kGlowBlur = 16;
constexpr qreal kGlowDrop = 4;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

InkLabel *wrapped(InkLabel *label)
{
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return label;
}

// A soft copy of the symbol for its glow: drawn small, then smoothly scaled
// up, which spreads it like a blur of about the shrink factor.
QImage glowImage(const QString &symbol, int box, const QColor &tint, qreal dpr)
{
    static QHash<QString, QImage> cache;
    const QString key = symbol + u'|' + QString::number(box) + u'|' + tint.name(QColor::HexArgb) + u'|'
                        + QString::number(dpr);
    if (const auto it = cache.constFind(key); it != cache.cend())
        return *it;
    const int pad = int(kGlowBlur);
    QImage canvas(QSize(box + 2 * pad, box + 2 * pad) * dpr, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter p(&canvas);
        p.scale(dpr, dpr);
        drawSymbol(p, symbol, QRectF(pad, pad, box, box), tint, SymbolRendering::Monochrome, SymbolWeight::Regular);
    }
    const QSize small = (canvas.size() / 8).expandedTo(QSize(1, 1));
    QImage soft = canvas.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .scaled(canvas.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    soft.setDevicePixelRatio(dpr);
    if (cache.size() > 64)
        cache.clear();
    cache.insert(key, soft);
    return soft;
}

} // namespace

// --- WeatherCardFrame ------------------------------------------------------------

WeatherCardFrame::WeatherCardFrame(qreal radius, Fill fill, QWidget *parent)
    : QWidget(parent), m_radius(radius), m_fill(fill)
{
}

void WeatherCardFrame::setWeather(WeatherLabel label)
{
    if (m_weather == label)
        return;
    m_weather = label;
    update();
}

void WeatherCardFrame::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    QPainterPath shape;
    shape.addRoundedRect(bounds, m_radius, m_radius);
    if (m_fill == Fill::Panel) {
        painter.fillPath(shape, theme.panelFill());
        // Half a point wide, inside the edge.
        painter.setPen(QPen(theme.panelBorder(), 0.5));
        painter.drawRoundedRect(bounds.adjusted(0.25, 0.25, -0.25, -0.25), m_radius - 0.25, m_radius - 0.25);
        return;
    }
    const QColor weather = ZephyrTheme::weatherColor(m_weather);
    QLinearGradient wash(bounds.topLeft(), bounds.bottomRight());
    wash.setColorAt(0, withAlpha(weather, theme.isDark() ? 0.28 : 0.16));
    wash.setColorAt(1, theme.panelFill());
    painter.fillPath(shape, wash);
    painter.setPen(QPen(withAlpha(weather, 0.25), 1));
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), m_radius - 0.5, m_radius - 0.5);
}

// --- WeatherGlyph ----------------------------------------------------------------

WeatherGlyph::WeatherGlyph(const QString &symbolName, int box, QWidget *parent)
    : QWidget(parent), m_symbol(symbolName)
{
    setFixedSize(box, box);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void WeatherGlyph::setSymbol(const QString &name, std::optional<WeatherLabel> weatherTint)
{
    if (m_symbol == name && m_weatherTint == weatherTint)
        return;
    m_symbol = name;
    m_weatherTint = weatherTint;
    update();
}

void WeatherGlyph::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const QColor tint = m_weatherTint ? ZephyrTheme::weatherColor(*m_weatherTint) : theme.accent();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSymbol(painter, m_symbol, QRectF(rect()), tint, SymbolRendering::Hierarchical, SymbolWeight::UltraLight);
}

// --- TintedButton ----------------------------------------------------------------

TintedButton::TintedButton(const QString &title, const QString &symbolName, QWidget *parent)
    : PaintedButton(parent), m_symbol(symbolName)
{
    setTitle(title);
    setFont(textStyleFont(TextStyle::Body));
    setFocusPolicy(Qt::StrongFocus);
}

QSize TintedButton::sizeHint() const
{
    const QFontMetricsF fm(font());
    const qreal symbol = m_symbol.isEmpty() ? 0 : symbolBoxForFontPixelSize(font().pixelSize()) + 5;
    return QSize(int(std::ceil(fm.horizontalAdvance(title()) + symbol + 20)), int(std::ceil(fm.height() + 10)));
}

void TintedButton::paintEvent(QPaintEvent *)
{
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const QColor accent = theme.accent();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!isEnabled())
        painter.setOpacity(0.4);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setBrush(withAlpha(accent, isDown() ? 0.22 : (isHovered() && isEnabled() ? 0.16 : 0.10)));
    painter.setPen(QPen(withAlpha(accent, 0.35), 1));
    painter.drawRoundedRect(frame, 7, 7);
    if (hasKeyboardFocus())
        paintFocusRing(painter, frame, 7, theme);

    const QFontMetricsF fm(font());
    const qreal box = m_symbol.isEmpty() ? 0 : symbolBoxForFontPixelSize(font().pixelSize());
    const qreal contentWidth = fm.horizontalAdvance(title()) + (box > 0 ? box + 5 : 0);
    qreal x = (width() - contentWidth) / 2;
    if (box > 0) {
        drawSymbol(painter, m_symbol, QRectF(x, (height() - box) / 2, box, box), accent);
        x += box + 5;
    }
    painter.setFont(font());
    painter.setPen(accent);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, title());
}

// --- SummaryCard -----------------------------------------------------------------

SummaryCard::SummaryCard(QWidget *parent) : WeatherCardFrame(16, Fill::Weather, parent)
{
    const int box = int(std::round(symbolBoxForFontPixelSize(kSummarySymbolFont)));
    m_glyph = new WeatherGlyph(QString(), box, this);
    m_word = new InkLabel(QString(), textStyleFont(TextStyle::Title, FontWeight::Medium), InkRole::Ink);
    m_blurb = wrapped(new InkLabel(QString(), textStyleFont(TextStyle::Subheadline), InkRole::InkSecondary));
    m_blurb->setMaximumHeight(int(std::ceil(QFontMetricsF(m_blurb->font()).lineSpacing() * kBlurbMaxLines)));
    m_count = new InkLabel(QString(), textStyleFont(TextStyle::Caption, FontWeight::Medium), InkRole::Accent);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->setContentsMargins(0, 0, 0, 0);
    // Centred as a block when the row makes the card taller than its text.
    texts->addStretch(1);
    texts->addWidget(m_word);
    texts->addWidget(m_blurb);
    texts->addWidget(m_count);
    texts->addStretch(1);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(20, 20, 20, 20);
    row->setSpacing(16);
    row->addWidget(m_glyph, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void SummaryCard::setSummary(WeatherLabel label, int entryCount, WeatherPeriod period)
{
    setWeather(label);
    m_glyph->setSymbol(zn::symbolName(label), label);
    m_glyph->setAccessibleName(displayName(label));
    m_word->setText(displayName(label));
    m_blurb->setText(weatherpage::trendBlurb(label));
    m_count->setText(weatherpage::countLine(entryCount, period));
}

QString SummaryCard::weatherWord() const { return m_word->text(); }
QString SummaryCard::blurb() const { return m_blurb->text(); }
QString SummaryCard::countText() const { return m_count->text(); }
QString SummaryCard::symbolName() const { return m_glyph->symbolName(); }

int SummaryCard::idealWidth() const
{
    const qreal text = std::max({QFontMetricsF(m_word->font()).horizontalAdvance(m_word->text()),
                                 QFontMetricsF(m_blurb->font()).horizontalAdvance(m_blurb->text()),
                                 QFontMetricsF(m_count->font()).horizontalAdvance(m_count->text())});
    return 20 + m_glyph->width() + 16 + int(std::ceil(text)) + 20;
}

void SummaryCard::paintEvent(QPaintEvent *event)
{
    WeatherCardFrame::paintEvent(event);
    // The symbol's glow, in its own colour, a little below it.
    const QColor glowTint = withAlpha(ZephyrTheme::weatherColor(weather()), 0.35);
    const QImage glow = glowImage(m_glyph->symbolName(), m_glyph->width(), glowTint, devicePixelRatioF());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF origin = QPointF(m_glyph->geometry().topLeft()) - QPointF(kGlowBlur, kGlowBlur - kGlowDrop);
    painter.drawImage(origin, glow);
}

// --- FlowKeywords ----------------------------------------------------------------

FlowKeywords::FlowKeywords(QWidget *parent) : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void FlowKeywords::setWords(const QStringList &words)
{
    if (m_words == words && !m_chips.isEmpty() == !words.isEmpty())
        return;
    m_words = words;
    qDeleteAll(m_chips);
    m_chips.clear();
    for (const QString &word : words) {
        auto *chip = new KeywordChip(word, false, this);
        chip->show();
        m_chips.append(chip);
    }
    arrange(width(), true);
    updateGeometry();
}

int FlowKeywords::columnsForWidth(int width)
{
    return std::max(1, (width + kChipSpacing) / (kChipMinWidth + kChipSpacing));
}

int FlowKeywords::arrange(int width, bool apply) const
{
    if (m_chips.isEmpty())
        return 0;
    const int columns = columnsForWidth(width);
    const int cell = std::max(1, (width - kChipSpacing * (columns - 1)) / columns);
    int y = 0;
    for (qsizetype start = 0; start < m_chips.size(); start += columns) {
        int rowHeight = 0;
        for (qsizetype i = start; i < std::min(m_chips.size(), start + columns); ++i) {
            const QSize hint = m_chips[i]->sizeHint();
            rowHeight = std::max(rowHeight, hint.height());
            if (apply) {
                const int column = int(i - start);
                m_chips[i]->setGeometry(column * (cell + kChipSpacing), y, std::min(hint.width(), cell), hint.height());
            }
        }
        y += rowHeight + kChipSpacing;
    }
    return y - kChipSpacing;
}

int FlowKeywords::heightForWidth(int width) const
{
    return arrange(width, false);
}

QSize FlowKeywords::sizeHint() const
{
    const int w = std::max(width(), 2 * kChipMinWidth + kChipSpacing);
    return {w, heightForWidth(w)};
}

QSize FlowKeywords::minimumSizeHint() const
{
    return {kChipMinWidth, heightForWidth(kChipMinWidth)};
}

void FlowKeywords::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    arrange(width(), true);
}

// --- ThemesCard ------------------------------------------------------------------

ThemesCard::ThemesCard(QWidget *parent) : WeatherCardFrame(16, Fill::Panel, parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(10);
    column->addWidget(new InkLabel(QStringLiteral("Themes"), textStyleFont(TextStyle::Headline), InkRole::Ink));
    m_placeholder = wrapped(new InkLabel(QStringLiteral("Keywords will gather as you write."),
                                         textStyleFont(TextStyle::Subheadline), InkRole::InkSecondary));
    column->addWidget(m_placeholder);
    m_keywords = new FlowKeywords;
    column->addWidget(m_keywords);
    column->addStretch(1);
    m_keywords->hide();
}

void ThemesCard::setWords(const std::optional<QStringList> &words)
{
    m_placeholder->setVisible(!words);
    m_keywords->setVisible(words.has_value());
    m_keywords->setWords(words.value_or(QStringList()));
}

bool ThemesCard::showsPlaceholder() const
{
    return !m_placeholder->isHidden();
}

// --- EmptyStateCard --------------------------------------------------------------

EmptyStateCard::EmptyStateCard(QWidget *parent) : WeatherCardFrame(20, Fill::Panel, parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(48, 48, 48, 48);
    column->setSpacing(14);
    auto *glyph = new WeatherGlyph(QStringLiteral("cloud.sun"),
                                   int(std::round(symbolBoxForFontPixelSize(kEmptySymbolFont))));
    m_title = wrapped(new InkLabel(QStringLiteral("Your weather will appear as you write."),
                                   textStyleFont(TextStyle::Title3, FontWeight::Medium), InkRole::Ink));
    m_body = wrapped(new InkLabel(QStringLiteral("A few entries are enough for the first gentle forecast."),
                                  textStyleFont(TextStyle::Body), InkRole::InkSecondary));
    m_title->setAlignment(Qt::AlignHCenter);
    m_body->setAlignment(Qt::AlignHCenter);
    column->addWidget(glyph, 0, Qt::AlignHCenter);
    column->addWidget(m_title);
    column->addWidget(m_body);
}

QStringList EmptyStateCard::texts() const
{
    return {m_title->text(), m_body->text()};
}

} // namespace zn
