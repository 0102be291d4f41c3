#include "app/shell/CloudSyncStatus.h"

namespace zn {

void CloudSyncStatus::setStoreNote(const std::optional<QString> &note)
{
    if (m_storeNote == note)
        return;
    m_storeNote = note;
    Q_EMIT storeNoteChanged();
}

} // namespace zn
