#pragma once

#include "core/WeatherLabel.h"
#include "core/WeatherPeriod.h"
#include "views/kit/PaintedButton.h"

#include <QStringList>
#include <QWidget>

#include <optional>

class QLabel;
class QVBoxLayout;

namespace zn {

class InkLabel;
class KeywordChip;

// A rounded card of the weather page: the translucent panel fill with a
// hairline inside its edge, or (the summary card) a wash of the weather's
// colour with a border of that colour.
class WeatherCardFrame : public QWidget
{
    Q_OBJECT
public:
    enum class Fill { Panel, Weather };
    WeatherCardFrame(qreal radius, Fill fill, QWidget *parent = nullptr);

    void setWeather(WeatherLabel label);
    WeatherLabel weather() const { return m_weather; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_radius;
    Fill m_fill;
    WeatherLabel m_weather = WeatherLabel::Overcast;
};

// A symbol of the library, thin-stroked and two-toned, in the weather's
// colour or the theme's accent.
class WeatherGlyph : public QWidget
{
    Q_OBJECT
public:
    WeatherGlyph(const QString &symbolName, int box, QWidget *parent = nullptr);
    void setSymbol(const QString &name, std::optional<WeatherLabel> weatherTint);
    QString symbolName() const { return m_symbol; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    std::optional<WeatherLabel> m_weatherTint; // none: the accent
};

// A bordered button whose symbol and title take the accent colour.
class TintedButton : public PaintedButton
{
    Q_OBJECT
public:
    TintedButton(const QString &title, const QString &symbolName, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
};

// The window's weather at a glance: symbol, weather word, sentence and count.
class SummaryCard : public WeatherCardFrame
{
    Q_OBJECT
public:
    explicit SummaryCard(QWidget *parent = nullptr);
    void setSummary(WeatherLabel label, int entryCount, WeatherPeriod period);

    QString weatherWord() const;
    QString blurb() const;
    QString countText() const;
    QString symbolName() const;
    // The width the card needs to show its sentence on one line.
    int idealWidth() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    WeatherGlyph *m_glyph;
    InkLabel *m_word;
    InkLabel *m_blurb;
    InkLabel *m_count;
};

// Keyword chips in as many equal columns of at least 72 points as fit.
class FlowKeywords : public QWidget
{
    Q_OBJECT
public:
    explicit FlowKeywords(QWidget *parent = nullptr);
    void setWords(const QStringList &words);
    QStringList words() const { return m_words; }
    QList<KeywordChip *> chips() const { return m_chips; }
    static int columnsForWidth(int width);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int arrange(int width, bool apply) const;

    QStringList m_words;
    QList<KeywordChip *> m_chips;
};

// "Themes": the window's recurring words, or a note while there are none.
class ThemesCard : public WeatherCardFrame
{
    Q_OBJECT
public:
    explicit ThemesCard(QWidget *parent = nullptr);
    // None shows the placeholder.
    void setWords(const std::optional<QStringList> &words);
    bool showsPlaceholder() const;
    FlowKeywords *keywords() const { return m_keywords; }

private:
    InkLabel *m_placeholder;
    FlowKeywords *m_keywords;
};

// Shown instead of the summary and chart while the window has no entry.
class EmptyStateCard : public WeatherCardFrame
{
    Q_OBJECT
public:
    explicit EmptyStateCard(QWidget *parent = nullptr);
    QStringList texts() const;

private:
    InkLabel *m_title;
    InkLabel *m_body;
};

} // namespace zn
