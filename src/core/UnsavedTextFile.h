#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

namespace zn {

class ModelContext;

// Text the store refused while the session was ending the program, kept
// beside the store in "unsaved-text.json" (owner-only) until the next start
// puts it back in the journal as a draft. Room for it is set aside when the
// file is opened, and the file stays open, so it can still be written after
// the disk has filled up or the folder has been locked since. Open it only
// while holding the store's lock. Main thread only.
class UnsavedTextFile
{
public:
    static constexpr auto kFileName = "unsaved-text.json";
    static constexpr qint64 kReservedBytes = 256 * 1024;

    // Opens the file in `folder`, creating it when missing. A file whose
    // contents cannot be read is moved aside ("unsaved-text <time>.json")
    // and a new one begun, so nothing in it is lost. Null, logged, when no
    // file can be opened there.
    static std::unique_ptr<UnsavedTextFile> open(const QString &folder);
    ~UnsavedTextFile();
    UnsavedTextFile(const UnsavedTextFile &) = delete;
    UnsavedTextFile &operator=(const UnsavedTextFile &) = delete;

    QString path() const { return m_path; }
    // Texts kept and not yet put back.
    int pendingCount() const { return int(m_pending.size()); }

    // Puts each kept text back as a draft row, in the row it came from
    // while that is still a draft, else in a new one dated when it was kept;
    // one save for all, after which the file is empty again. A refused save
    // changes nothing, here or in the store: `context` must have nothing
    // unsaved (as a newly opened store's has not), since a refusal rolls it
    // back. The number of texts put back.
    int restoreInto(ModelContext &context);

    // Adds `text` (from the draft row `draftRowID`, if any) and writes the
    // whole file through to the disk. False, logged, when it could not be.
    bool keep(const QString &text, const std::optional<QUuid> &draftRowID, const QDateTime &when);

private:
    UnsavedTextFile(int fd, QString path);
    bool writeThrough(QString *why);
    void reserveRoom();

    int m_fd;
    QString m_path;
    QJsonArray m_pending;
};

} // namespace zn
