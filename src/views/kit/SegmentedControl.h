#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>

namespace zn {

// A row of mutually exclusive segments in one rounded track (the period
// picker, the appearance and palette pickers). Painted by hand; clicks and
// the arrow, Home and End keys choose a segment. The selected segment is
// drawn in the accent colour.
class SegmentedControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)

public:
    explicit SegmentedControl(const QStringList &titles = {}, QWidget *parent = nullptr);

    QStringList titles() const { return m_titles; }
    // Keeps the selection when it is still in range, else selects the first.
    void setTitles(const QStringList &titles);
    int count() const { return int(m_titles.size()); }

    // -1 when there are no segments.
    int currentIndex() const { return m_current; }
    // Out-of-range indexes are ignored.
    void setCurrentIndex(int index);
    // Chooses a segment as a click would (assistive tools press segments
    // through this): selects it and emits activated(). Ignored when
    // disabled or out of range.
    void activate(int index);

    void setAccentColor(const QColor &accent);
    QColor accentColor() const { return m_accent; }
    void setInkColor(const QColor &ink);

    // The segment under a point in widget coordinates, -1 outside.
    int segmentAt(const QPoint &point) const;
    QRectF segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Every real change of the selection.
    void currentIndexChanged(int index);
    // Only when the user chose a segment (click or key), even the current one.
    void activated(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateAccessibleText();

    QStringList m_titles;
    int m_current = -1;
    int m_pressed = -1;
    int m_hovered = -1;
    QColor m_accent;
    QColor m_ink;
};

} // namespace zn
