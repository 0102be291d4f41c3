#pragma once

#include "app/marks/WeatherMarks.h"

#include <QWidget>

namespace zn {

// Thin widgets over MarkPainting. Each reads its theme from the window at
// paint time and is one accessible element named as the marks require.

class WeatherMark : public QWidget
{
    Q_OBJECT

public:
    explicit WeatherMark(WeatherLabel label, double sentiment = 0.0, QWidget *parent = nullptr);

    WeatherLabel label() const { return m_markStyle.label; }
    double sentiment() const { return m_markStyle.sentiment; }
    const WeatherMarkStyle &markStyle() const { return m_markStyle; }

    void setSize(WeatherMarkSize size);
    WeatherMarkSize markSize() const { return m_markStyle.size; }
    void setShowTitle(bool show);
    bool showTitle() const { return m_markStyle.showTitle; }
    void setPhrase(const std::optional<QString> &phrase);
    const std::optional<QString> &phrase() const { return m_markStyle.phrase; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void markStyleChanged();

    WeatherMarkStyle m_markStyle;
};

class WeatherChip : public QWidget
{
    Q_OBJECT

public:
    explicit WeatherChip(WeatherLabel label, double sentiment = 0.0, QWidget *parent = nullptr);

    WeatherLabel label() const { return m_label; }
    double sentiment() const { return m_sentiment; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    WeatherLabel m_label;
    double m_sentiment;
};

class KeywordChip : public QWidget
{
    Q_OBJECT

public:
    explicit KeywordChip(const QString &word, bool emphasized = false, QWidget *parent = nullptr);

    QString word() const { return m_word; }
    bool isEmphasized() const { return m_emphasized; }
    void setEmphasized(bool emphasized);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_word;
    bool m_emphasized;
};

} // namespace zn
