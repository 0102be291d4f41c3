#pragma once

#include "views/workspace/timeline/EntryListRules.h"

#include <QWidget>

class QHBoxLayout;

namespace zn {

class ListButton;

// What the list shows when it has nothing to list: a cloud, a title, a
// message and the actions that fit (clear the filters, or write or speak).
class EmptyStateView : public QWidget
{
    Q_OBJECT
public:
    explicit EmptyStateView(QWidget *parent = nullptr);

    void setContent(const EmptyStateContent &content);
    QString title() const;
    QString message() const;
    // The message's wrapped height at its width (at most 240).
    int messageHeight() const;
    // Titles of the buttons shown, in order.
    QStringList actionTitles() const;
    ListButton *button(EmptyStateAction action) const;

Q_SIGNALS:
    void actionTriggered(zn::EmptyStateAction action);

protected:
private:
    class Texts;
    Texts *m_texts;
    QWidget *m_actions;
    QHBoxLayout *m_actionRow;
    QList<std::pair<EmptyStateAction, ListButton *>> m_buttons;
};

} // namespace zn
