// The zephyrnote program: the journal's main window.

#include "app/shell/AccessibilityBridgeGuard.h"
#include "app/shell/MainWindow.h"
#include "app/shell/QuitController.h"
#include "app/shell/SingleInstance.h"
#include "app/shell/TerminationSignals.h"
#include "app/shell/ZephyrnoteApp.h"
#include "core/StoreFactory.h"
#include "platform/language/LanguageTagging.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QStandardPaths>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zephyrnote"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zephyrnote"));
    QApplication::setApplicationVersion(QStringLiteral(ZN_APP_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("zephyrnote"));
    // One look on every desktop, so the theme's light and dark palettes
    // reach every control.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Screen readers and accessibility inspectors may ask anything of the
    // program's accessible objects without ending it.
    zn::AccessibilityBridgeGuard accessibilityGuard;
    const bool hasDisplay = QGuiApplication::platformName() != QLatin1String("offscreen")
        && QGuiApplication::platformName() != QLatin1String("minimal");

    // One copy per journal: a later start brings this one to the front and
    // ends before it touches the store.
    zn::SingleInstance instance(zn::defaultStoreFolder(),
                                QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    zn::StoreError busy;
    switch (instance.claim(&busy)) {
    case zn::SingleInstance::Claim::HandedOver:
        return 0;
    case zn::SingleInstance::Claim::Busy:
        return zn::reportStartupFailure(zn::startupFailureMessage(busy), hasDisplay);
    case zn::SingleInstance::Claim::First:
        break;
    }

    // The mood analysis's word lists load on a worker while the window opens.
    zn::language::preloadLanguageData();

    QString failure;
    auto app = zn::ZephyrnoteApp::create({}, &failure);
    if (!app)
        return zn::reportStartupFailure(failure, hasDisplay);
    zn::MainWindow *window = app->mainWindow();
    QObject::connect(&instance, &zn::SingleInstance::activationRequested, app.get(), &zn::ZephyrnoteApp::bringToFront);

    // The session ending the program saves what is being typed, as Ctrl+Q
    // does, without asking anything.
    zn::QuitController *quit = app->quitController();
    zn::TerminationSignals termination;
    QObject::connect(&termination, &zn::TerminationSignals::received, quit, &zn::QuitController::quitForSession);
    QObject::connect(
        &application, &QGuiApplication::commitDataRequest, quit, [quit](QSessionManager &) { quit->quitForSession(); },
        Qt::DirectConnection);

    window->show();
    const int status = QApplication::exec();
    app.reset();
    return status;
}
