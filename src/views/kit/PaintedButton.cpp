#include "views/kit/PaintedButton.h"

#include "views/kit/FocusRing.h"
#include "views/kit/Mnemonics.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>

namespace zn {

PaintedButton::PaintedButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PaintedButton::setTitle(const QString &title)
{
    m_title = title;
    setText(literalMnemonicText(title));
    updateGeometry();
    update();
}

void PaintedButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PaintedButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

bool PaintedButton::event(QEvent *event)
{
    const bool handled = QAbstractButton::event(event);
    // Tab on the only stop of a page keeps the focus here; the keyboard
    // still asked for it, so the ring shows.
    if (event->type() == QEvent::KeyPress && hasFocus() && !m_keyboardFocus) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            m_keyboardFocus = true;
            update();
        }
    }
    return handled;
}

void PaintedButton::focusInEvent(QFocusEvent *event)
{
    m_keyboardFocus = isKeyboardFocusReason(event->reason());
    QAbstractButton::focusInEvent(event);
}

} // namespace zn
