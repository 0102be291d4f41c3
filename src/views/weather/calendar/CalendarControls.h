#pragma once

#include "views/kit/PaintedButton.h"

#include <QFont>
#include <QString>
#include <QWidget>

namespace zn {

struct ZephyrTheme;

// Which of the theme's inks a calendar text or button draws in.
enum class CalendarInk { Primary, Secondary, Faint, Accent };

QColor calendarInk(CalendarInk ink, const ZephyrTheme &theme);

// Text in a theme ink: one line elided when its room is narrower, or
// wrapped onto more lines when word wrap is on.
class CalendarText : public QWidget
{
    Q_OBJECT
public:
    CalendarText(const QFont &font, CalendarInk ink, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    void setWordWrap(bool wrap);

    bool hasHeightForWidth() const override { return m_wrap; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    CalendarInk m_ink;
    QString m_text;
    bool m_wrap = false;
};

// A calendar button that rings itself only when the keyboard brought the
// focus, not when a window's first show or a click did.
class CalendarButton : public PaintedButton
{
    Q_OBJECT
public:
    using PaintedButton::PaintedButton;

protected:
    bool showsFocusRing() const { return hasKeyboardFocus(); }
};

// The month navigation's buttons: a symbol or a short text, either framed
// (the month page) or bare (the sidebar).
class CalendarNavButton : public CalendarButton
{
    Q_OBJECT
public:
    enum class Frame { Bordered, Plain };

    // `symbol` empty shows `text` instead; `accessibleName` is also the tip.
    CalendarNavButton(const QString &symbol, const QString &text, const QString &accessibleName,
                      Frame frame, CalendarInk ink, const QFont &font, QSize contentSize,
                      QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    Frame m_frame;
    CalendarInk m_ink;
    QSize m_contentSize;
};

} // namespace zn
