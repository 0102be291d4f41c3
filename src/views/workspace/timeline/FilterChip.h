#pragma once

#include <QAbstractButton>
#include <QColor>

namespace zn {

// The capsule button of the mood row. Its title is shown verbatim; colours
// come from the window's theme at paint time, the accent from its owner.
class FilterChip : public QAbstractButton
{
    Q_OBJECT
public:
    explicit FilterChip(const QString &title, QWidget *parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // Unset: the theme's accent.
    void setAccent(const QColor &accent);
    QColor accent() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    bool m_selected = false;
    QColor m_accent;
    bool m_keyboardFocus = false;
};

} // namespace zn
