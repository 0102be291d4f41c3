#include "views/kit/SegmentedControlAccessible.h"

#include "views/kit/SegmentedControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

namespace zn {
namespace {

// One segment: a page tab that can be pressed.
class SegmentAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    SegmentAccessible(SegmentedControl *control, int index) : m_control(control), m_index(index) {}

    bool isValid() const override { return m_control && m_index < m_control->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_control ? m_control->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_control); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        return isValid() && t == QAccessible::Name ? m_control->titles().at(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_control->segmentRect(m_index).toAlignedRect();
        return QRect(m_control->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.selected = m_control->currentIndex() == m_index;
        s.disabled = !m_control->isEnabled();
        s.invisible = !m_control->isVisible();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (isValid() && name == pressAction())
            m_control->activate(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<SegmentedControl> m_control;
    int m_index;
};

// The control: a tab list whose children are its segments.
class ControlAccessible : public QAccessibleWidget
{
public:
    explicit ControlAccessible(SegmentedControl *control) : QAccessibleWidget(control, QAccessible::PageTabList) {}

    ~ControlAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_children))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return control()->count(); }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= control()->count())
            return nullptr;
        if (index >= m_children.size()) {
            for (int i = int(m_children.size()); i <= index; ++i)
                m_children.append(QAccessible::registerAccessibleInterface(new SegmentAccessible(control(), i)));
        }
        return QAccessible::accessibleInterface(m_children.at(index));
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < m_children.size(); ++i)
            if (QAccessible::accessibleInterface(m_children.at(i)) == child)
                return i < control()->count() ? i : -1;
        return -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const int index = control()->segmentAt(control()->mapFromGlobal(QPoint(x, y)));
        return index >= 0 ? child(index) : nullptr;
    }

private:
    SegmentedControl *control() const { return static_cast<SegmentedControl *>(widget()); }

    mutable QList<QAccessible::Id> m_children;
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("zn::SegmentedControl") && object && object->isWidgetType())
        return new ControlAccessible(static_cast<SegmentedControl *>(object));
    return nullptr;
}

} // namespace

void installSegmentedControlAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void notifySegmentedControlSelection(SegmentedControl *control)
{
    if (!QAccessible::isActive() || control->currentIndex() < 0)
        return;
    QAccessibleEvent event(control, QAccessible::Selection);
    event.setChild(control->currentIndex());
    QAccessible::updateAccessibility(&event);
}

} // namespace zn
