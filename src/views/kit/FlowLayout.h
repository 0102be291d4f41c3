#pragma once

#include <QLayout>
#include <QList>

namespace zn {

// Lays its items out left to right and wraps to a new row when the next item
// would cross the right edge, like words in a paragraph (keyword and theme
// chips). Each item keeps its size hint, capped at the available width. The
// height follows the width, so a parent layout asks heightForWidth().
class FlowLayout : public QLayout
{
    Q_OBJECT

public:
    explicit FlowLayout(QWidget *parent = nullptr, int horizontalSpacing = 6, int verticalSpacing = 6);
    ~FlowLayout() override;

    int horizontalSpacing() const { return m_hSpacing; }
    int verticalSpacing() const { return m_vSpacing; }
    void setHorizontalSpacing(int spacing);
    void setVerticalSpacing(int spacing);

    // Removes and deletes every item and its widget.
    void clear();

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    int doLayout(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items;
    int m_hSpacing;
    int m_vSpacing;
};

} // namespace zn
