#include "app/marks/MarkWidgets.h"

#include "app/marks/MarkPainting.h"
#include "app/theme/ThemeScope.h"

#include <QPainter>

#include <cmath>

namespace zn {
namespace {

QSize ceilSize(const QSizeF &size)
{
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

} // namespace

WeatherMark::WeatherMark(WeatherLabel label, double sentiment, QWidget *parent)
    : QWidget(parent)
{
    m_markStyle.label = label;
    m_markStyle.sentiment = sentiment;
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    markStyleChanged();
}

void WeatherMark::setSize(WeatherMarkSize size)
{
    if (m_markStyle.size == size)
        return;
    m_markStyle.size = size;
    markStyleChanged();
}

void WeatherMark::setShowTitle(bool show)
{
    if (m_markStyle.showTitle == show)
        return;
    m_markStyle.showTitle = show;
    markStyleChanged();
}

void WeatherMark::setPhrase(const std::optional<QString> &phrase)
{
    if (m_markStyle.phrase == phrase)
        return;
    m_markStyle.phrase = phrase;
    markStyleChanged();
}

void WeatherMark::markStyleChanged()
{
    setAccessibleName(weatherMarkAccessibleName(m_markStyle));
    updateGeometry();
    update();
}

QSize WeatherMark::sizeHint() const
{
    return ceilSize(weatherMarkGeometry(m_markStyle, this).size);
}

void WeatherMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QSizeF size = weatherMarkGeometry(m_markStyle, this).size;
    // Centred vertically when a layout gives more height than the mark needs.
    paintWeatherMark(painter, QPointF(0, qMax<qreal>(0, (height() - size.height()) / 2)), m_markStyle,
                     ThemeScope::themeFor(this));
}

WeatherChip::WeatherChip(WeatherLabel label, double sentiment, QWidget *parent)
    : QWidget(parent), m_label(label), m_sentiment(sentiment)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(weatherChipAccessibleName(label));
}

QSize WeatherChip::sizeHint() const
{
    return ceilSize(weatherChipSize(m_label, this));
}

void WeatherChip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QSizeF size = weatherChipSize(m_label, this);
    const QRectF rect(0, (height() - size.height()) / 2, qMin<qreal>(width(), size.width()), size.height());
    paintWeatherChip(painter, rect, m_label, ThemeScope::themeFor(this));
}

KeywordChip::KeywordChip(const QString &word, bool emphasized, QWidget *parent)
    : QWidget(parent), m_word(word), m_emphasized(emphasized)
{
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
    // Read as its word, like a plain label.
    setAccessibleName(word);
}

void KeywordChip::setEmphasized(bool emphasized)
{
    if (m_emphasized == emphasized)
        return;
    m_emphasized = emphasized;
    updateGeometry();
    update();
}

QSize KeywordChip::sizeHint() const
{
    return ceilSize(keywordChipSize(m_word, m_emphasized, this));
}

QSize KeywordChip::minimumSizeHint() const
{
    // Narrow columns may squeeze a chip down to its padding and an ellipsis.
    const QSize full = sizeHint();
    return QSize(qMin(full.width(), full.height() * 2), full.height());
}

void KeywordChip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QSizeF size = keywordChipSize(m_word, m_emphasized, this);
    const QRectF rect(0, (height() - size.height()) / 2, qMin<qreal>(width(), size.width()), size.height());
    paintKeywordChip(painter, rect, m_word, m_emphasized, ThemeScope::themeFor(this));
}

} // namespace zn
