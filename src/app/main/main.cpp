// The zephyrnote program: the journal's main window.

#include "app/shell/MainWindow.h"
#include "app/shell/ZephyrnoteApp.h"
#include "platform/language/LanguageTagging.h"

#include <QApplication>
#include <QGuiApplication>
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

    // The mood analysis's word lists load on a worker while the window opens.
    zn::language::preloadLanguageData();

    QString failure;
    auto app = zn::ZephyrnoteApp::create({}, &failure);
    if (!app) {
        const bool hasDisplay = QGuiApplication::platformName() != QLatin1String("offscreen")
            && QGuiApplication::platformName() != QLatin1String("minimal");
        return zn::reportStartupFailure(failure, hasDisplay);
    }
    zn::MainWindow *window = app->mainWindow();
    window->show();
    const int status = QApplication::exec();
    app.reset();
    return status;
}
