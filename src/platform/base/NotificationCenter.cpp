#include "platform/base/NotificationCenter.h"

namespace zn {

NotificationCenter::NotificationCenter(QObject *parent)
    : QObject(parent)
{
}

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter *center = new NotificationCenter;
    return *center;
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    Q_EMIT posted(name, userInfo);
}

QMetaObject::Connection NotificationCenter::addObserver(const QString &name, QObject *receiver,
                                                        std::function<void(const QVariantMap &)> handler)
{
    return connect(this, &NotificationCenter::posted, receiver,
                   [name, handler = std::move(handler)](const QString &posted, const QVariantMap &info) {
                       if (posted == name)
                           handler(info);
                   });
}

} // namespace zn
