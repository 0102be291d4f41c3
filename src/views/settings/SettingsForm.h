#pragma once

#include "views/settings/SettingsTexts.h"

#include <QLabel>
#include <QWidget>

class QVBoxLayout;

namespace zn {

class InkLabel;

// A status value drawn in its tone's colour for the window's scheme.
class ToneLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ToneLabel(QWidget *parent = nullptr);
    void setStatus(const StatusText &status);
    StatusTone tone() const { return m_tone; }
    void setTone(StatusTone tone);
    static QColor toneColor(StatusTone tone, bool dark, const QColor &secondary);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    StatusTone m_tone = StatusTone::Secondary;
};

// One group of a settings form: an optional header above a rounded panel
// holding rows and captions, one under the other.
class FormSection : public QWidget
{
    Q_OBJECT
public:
    explicit FormSection(const QString &header = {}, QWidget *parent = nullptr);

    // A title on the left and its value on the right.
    void addRow(const QString &title, QWidget *value);
    // A small wrapped explanation in the secondary ink.
    InkLabel *addCaption(const QString &text);
    void addWidget(QWidget *widget, Qt::Alignment alignment = {});

private:
    QWidget *m_panel;
    QVBoxLayout *m_rows;
};

// A panel painted in the theme's card colours.
class FormPanel : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A tab's page: sections down a scrolling column.
class FormPage : public QWidget
{
    Q_OBJECT
public:
    explicit FormPage(QWidget *parent = nullptr);
    void addSection(FormSection *section);

private:
    QVBoxLayout *m_column;
};

} // namespace zn
