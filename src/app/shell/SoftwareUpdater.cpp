#include "app/shell/SoftwareUpdater.h"

#include "views/kit/QtDialogPresenter.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>

namespace zn {

SoftwareUpdater &SoftwareUpdater::shared()
{
    // Never destroyed: it may be asked from a menu until the process ends.
    static SoftwareUpdater *updater = new SoftwareUpdater;
    return *updater;
}

QString SoftwareUpdater::updateMessage()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(ZN_APP_VERSION);
    return QStringLiteral("Zephyrnote %1 is installed. Updates come from your system’s package manager: "
                          "update the zephyrnote package there to get the newest version.")
        .arg(version);
}

void SoftwareUpdater::checkForUpdates(QWidget *window)
{
    static QPointer<QMessageBox> open;
    if (open) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Check for Updates"),
                                QStringLiteral("Updates come from your system"), QMessageBox::Ok, window);
    box->setInformativeText(updateMessage());
    box->setAttribute(Qt::WA_DeleteOnClose);
    fitAlertWidth(box);
    if (window)
        box->setWindowModality(Qt::WindowModal);
    open = box;
    box->open();
}

} // namespace zn
