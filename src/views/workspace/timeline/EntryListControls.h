#pragma once

#include "app/marks/TextStyles.h"
#include "views/kit/PaintedButton.h"

#include <QDateTime>
#include <QLineEdit>
#include <QWidget>

class QLabel;

namespace zn {

// Buttons of the entry list, painted from the window's theme:
//  - Plain: a text in the accent ("Clear day", "Clear filters");
//  - Prominent: an accent capsule with a light label ("Write");
//  - Bordered: a translucent capsule with a hairline edge ("Voice").
class ListButton : public PaintedButton
{
    Q_OBJECT
public:
    enum class Style { Plain, Prominent, Bordered };

    ListButton(const QString &title, Style style, TextStyle font, QWidget *parent = nullptr);
    Style style() const { return m_style; }
    void setSymbolName(const QString &name);
    QString symbolName() const { return m_symbol; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    QFont titleFont() const;
    QMargins padding() const;

    Style m_style;
    TextStyle m_font;
    QString m_symbol;
    bool m_keyboardFocus = false;
};

// A named symbol drawn in a fixed ink role of the theme.
class SymbolView : public QWidget
{
    Q_OBJECT
public:
    enum class Ink { SearchGlyph, Accent };
    SymbolView(const QString &name, qreal box, Ink ink, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_name;
    qreal m_box;
    Ink m_ink;
};

// The search bar: a magnifying glass and a frameless field on a rounded
// paper plate. Reports typing and keyboard focus; never filters itself.
class SearchField : public QWidget
{
    Q_OBJECT
public:
    explicit SearchField(QWidget *parent = nullptr);

    QLineEdit *lineEdit() const { return m_edit; }
    QString text() const { return m_edit->text(); }
    // From the owner's state: leaves the cursor alone when nothing changed.
    void setText(const QString &text);

Q_SIGNALS:
    void textEdited(const QString &text);
    void focusChanged(bool focused);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_edit;
};

// The banner of an active day filter: the day and "Clear day".
class DayBanner : public QWidget
{
    Q_OBJECT
public:
    explicit DayBanner(QWidget *parent = nullptr);

    void setDay(const QDateTime &day);
    QString dayText() const;
    ListButton *clearButton() const { return m_clear; }

Q_SIGNALS:
    void clearRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QLabel *m_text;
    ListButton *m_clear;
};

} // namespace zn
