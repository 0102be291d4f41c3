#pragma once

#include <QAbstractButton>

namespace zn {

// A button that paints itself: a pointing-hand cursor, held at its size
// hint, and the hover and keyboard-focus state its painting reads. Each
// subclass chooses its own focus policy and paints every state itself.
class PaintedButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit PaintedButton(QWidget *parent = nullptr);

    // The title as written; text() holds it with every "&" doubled, so the
    // button takes no access key from it (a painted title has none).
    void setTitle(const QString &title);
    QString title() const { return m_title; }

    bool isHovered() const { return m_hovered; }
    // Focus reached by Tab, Backtab or a shortcut: the ring is for the
    // keyboard, not for the button just clicked.
    bool hasKeyboardFocus() const { return hasFocus() && m_keyboardFocus; }

    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;

private:
    QString m_title;
    bool m_hovered = false;
    bool m_keyboardFocus = false;
};

} // namespace zn
