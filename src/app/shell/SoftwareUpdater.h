#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace zn {

// The application's update holder. Zephyrnote is installed and updated by
// the system's package manager, so nothing here ever goes to a network:
// "Check for Updates…" says where updates come from. One instance per
// process, made on first use.
class SoftwareUpdater : public QObject
{
    Q_OBJECT
public:
    static SoftwareUpdater &shared();

    // What the "Check for Updates…" dialog says.
    static QString updateMessage();

    // Shows the answer over `window` (or on its own) without waiting for it
    // to close.
    void checkForUpdates(QWidget *window = nullptr);

private:
    SoftwareUpdater() = default;
};

} // namespace zn
