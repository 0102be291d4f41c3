#include "app/theme/ClimateBackground.h"

#include "app/theme/ClimatePainter.h"
#include "app/theme/ThemeScope.h"

#include <QAccessibleWidget>
#include <QPaintEvent>
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

void ClimateBackground::paintEvent(QPaintEvent *event)
{
    const AccessibilityPreferences wishes = ThemeScope::accessibilityFor(this);
    const bool plain = wishes.reduceTransparency || wishes.increasedContrast;
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    const qreal ratio = devicePixelRatioF();
    if (m_cache.isNull() || m_cacheSize != size() || m_cacheTheme != theme || m_cachePlain != plain
        || m_cacheRatio != ratio) {
        QImage image((QSizeF(size()) * ratio).toSize(), QImage::Format_RGBA64_Premultiplied);
        image.setDevicePixelRatio(ratio);
        QPainter imagePainter(&image);
        paintClimate(imagePainter, QRectF(QPointF(0, 0), QSizeF(size())), theme, plain);
        imagePainter.end();
        m_cache = QPixmap::fromImage(std::move(image));
        m_cacheSize = size();
        m_cacheTheme = theme;
        m_cachePlain = plain;
        m_cacheRatio = ratio;
    }
    QPainter painter(this);
    painter.drawPixmap(event->rect(), m_cache, QRectF(QPointF(event->rect().topLeft()) * ratio,
                                                      QSizeF(event->rect().size()) * ratio));
}

} // namespace zn
