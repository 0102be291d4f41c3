#pragma once

#include "app/marks/TextStyles.h"
#include "app/theme/ZephyrTheme.h"
#include "views/kit/PaintedButton.h"
#include "views/workspace/detail/DetailPresenter.h"

#include <QLabel>
#include <QTextBlockFormat>
#include <QTextEdit>
#include <QTimer>

namespace zn {

// The colours the detail pane's texts are drawn in, resolved from the window's
// theme at paint time.
enum class InkRole { Ink, InkSecondary, InkTertiary, Accent, ReflectionTint, Error };
QColor inkColor(InkRole role, const ZephyrTheme &theme);
// The reflection panel's tint: by palette only.
QColor reflectionTint(const ZephyrTheme &theme);

// One short line (or a few wrapped ones) of plain text in an ink role.
class InkLabel : public QLabel
{
    Q_OBJECT
public:
    InkLabel(const QString &text, const QFont &font, InkRole role, QWidget *parent = nullptr);
    InkRole role() const { return m_role; }
    void setRole(InkRole role);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    InkRole m_role;
};

// Wrapped, selectable plain text with extra space between lines, as tall as
// its text at the width it is given (no scrolling of its own). Long texts
// are laid out once per width.
class ReadingText : public QTextEdit
{
    Q_OBJECT
public:
    ReadingText(const QFont &font, InkRole role, qreal lineSpacing, QWidget *parent = nullptr);

    void setPlainTextIfChanged(const QString &text);
    // Centres every line (a short message under a title).
    void setCentered(bool centered);
    QString shownText() const { return m_text; }
    InkRole role() const { return m_role; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    // The page around it scrolls, never the text itself.
    void wheelEvent(QWheelEvent *event) override;

private:
    void applyBlockFormat();
    QTextBlockFormat blockFormat() const;

    InkRole m_role;
    qreal m_lineSpacing;
    bool m_centered = false;
    QString m_text;
    // Heights at the widths asked for lately, newest first.
    static constexpr qsizetype kWidthsKept = 4;
    mutable QList<std::pair<int, int>> m_heights;
};

// The reading page's body. An everyday entry is one ReadingText; a long one
// is a column of them, one per piece of the text (detail::bodyPieces): the
// first is typeset at once and each next one on a later turn of the event
// loop, so opening a very long entry never holds the window.
class ReadingBody : public QWidget
{
    Q_OBJECT
public:
    ReadingBody(const QFont &font, InkRole role, qreal lineSpacing, QWidget *parent = nullptr);

    void setPlainTextIfChanged(const QString &text);
    QString shownText() const { return m_text; }
    // The pieces typeset so far; all of them once isComplete().
    QList<ReadingText *> pieces() const { return m_pieces.first(m_typeset); }
    bool isComplete() const { return m_typeset == m_plan.size(); }

private:
    void typesetNext();

    QFont m_font;
    InkRole m_role;
    qreal m_lineSpacing;
    QString m_text;
    QList<detail::BodyPiece> m_plan;
    qsizetype m_typeset = 0;
    QList<ReadingText *> m_pieces;
    QTimer m_next;
};

// A small indeterminate progress indicator.
class Spinner : public QWidget
{
    Q_OBJECT
public:
    explicit Spinner(QWidget *parent = nullptr);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

// Work under way: a spinner with a caption beside it, for the whole time
// the note is shown.
class BusyNote : public QWidget
{
    Q_OBJECT
public:
    explicit BusyNote(const QString &text, QWidget *parent = nullptr);
    QString text() const;

private:
    InkLabel *m_label;
};

// The pane's buttons, painted from the theme:
//  - Prominent: accent capsule, light label (the empty desk's Write);
//  - Bordered: translucent capsule with a hairline edge (Voice);
//  - Small: a compact bordered button whose title takes an ink role (the
//    reflection card's buttons).
class DetailButton : public PaintedButton
{
    Q_OBJECT
public:
    enum class Style { Prominent, Bordered, Small };

    DetailButton(const QString &title, Style style, QWidget *parent = nullptr);

    Style style() const { return m_style; }
    void setSymbolName(const QString &name) { m_symbol = name; updateGeometry(); update(); }
    QString symbolName() const { return m_symbol; }
    void setTitleRole(InkRole role) { m_role = role; update(); }
    InkRole titleRole() const { return m_role; }
    // The label (symbol and title) is at least this wide.
    void setMinimumLabelWidth(int width) { m_minLabelWidth = width; updateGeometry(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont titleFont() const;

    Style m_style;
    QString m_symbol;
    InkRole m_role = InkRole::Accent;
    int m_minLabelWidth = 0;
};

} // namespace zn
