#include "app/theme/ClimateBackground.h"

#include "app/theme/ClimatePainter.h"
#include "app/theme/ThemeScope.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace zn {

namespace {

// Screen readers skip the backdrop: it carries nothing to read.
class HiddenBackdrop : public QAccessibleWidget
{
public:
    explicit HiddenBackdrop(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::Pane)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

QAccessibleInterface *backdropFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(ClimateBackground::staticMetaObject.className()) && object->isWidgetType())
        return new HiddenBackdrop(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

ClimateBackground::ClimateBackground(QWidget *parent)
    : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(backdropFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    // A backdrop only: clicks reach what lies on it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void ClimateBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const AccessibilityPreferences wishes = ThemeScope::accessibilityFor(this);
    paintClimate(painter, rect(), ThemeScope::themeFor(this), wishes.reduceTransparency || wishes.increasedContrast);
}

} // namespace zn
