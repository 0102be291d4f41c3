#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace zn {

// Where the journal lives, for the settings window's "Cloud sync" section.
// There is no cloud store on this system: the journal is always the local
// store, and the only fact that varies is the store's note from start-up
// (for instance that a damaged store was replaced). Main thread only; the
// setter notifies only on a real change.
class CloudSyncStatus : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    std::optional<QString> storeNote() const { return m_storeNote; }
    void setStoreNote(const std::optional<QString> &note);

Q_SIGNALS:
    void storeNoteChanged();

private:
    std::optional<QString> m_storeNote;
};

} // namespace zn
