#pragma once

#include <QScrollArea>

class QVBoxLayout;

namespace zn {

// A scrolling reading column on the paper colour: at most `maxMeasure` wide,
// centred in a wide window, never closer than `horizontalPadding` to either
// side, with `verticalPadding` above and below. Content that does not expand
// sits at the column's left edge.
class PaperPage : public QScrollArea
{
    Q_OBJECT
public:
    PaperPage(qreal maxMeasure, qreal horizontalPadding, qreal verticalPadding, QWidget *parent = nullptr);

    // Takes ownership; replaces (and deletes) any earlier content.
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }

    qreal maxMeasure() const { return m_maxMeasure; }
    qreal horizontalPadding() const { return m_horizontalPadding; }
    qreal verticalPadding() const { return m_verticalPadding; }

    // The margin left and right of the column in a page `width` wide.
    static qreal sideInset(qreal width, qreal maxMeasure, qreal horizontalPadding);

protected:
    bool viewportEvent(QEvent *event) override;

private:
    void updateInsets();

    qreal m_maxMeasure;
    qreal m_horizontalPadding;
    qreal m_verticalPadding;
    QWidget *m_sheet;
    QVBoxLayout *m_layout;
    QWidget *m_content = nullptr;
};

} // namespace zn
