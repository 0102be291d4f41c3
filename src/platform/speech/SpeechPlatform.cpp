#include "platform/speech/SpeechPlatform.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace zn::speech {

void postToMainThread(std::function<void()> fn)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

} // namespace zn::speech
