#include "core/UnsavedTextFile.h"

#include "core/JournalEntry.h"
#include "core/JournalQueries.h"
#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"
#include "platform/store/ModelContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zn {
namespace {

QString errorText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// The whole file, or nothing when it cannot be read.
std::optional<QByteArray> readAll(int fd)
{
    QByteArray data;
    char buffer[16384];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return data;
        data.append(buffer, got);
        offset += got;
    }
}

// The kept texts of a file's contents; nothing when they are not ours.
std::optional<QJsonArray> parseDrafts(const QByteArray &data)
{
    if (data.isEmpty())
        return QJsonArray();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue drafts = document.object().value(QLatin1String("drafts"));
    if (!drafts.isArray())
        return std::nullopt;
    for (const QJsonValue &draft : drafts.toArray()) {
        if (!draft.isObject() || !draft.toObject().value(QLatin1String("text")).isString())
            return std::nullopt;
    }
    return drafts.toArray();
}

// A name beside `path` that nothing uses yet, for a file set aside.
QString asideName(const QString &path)
{
    const QString stem = QStringLiteral("unsaved-text ") + Clock::system().now().toString(QStringLiteral("yyyy-MM-dd HHmmss"));
    const QDir folder = QFileInfo(path).dir();
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? stem + QStringLiteral(".json") : QStringLiteral("%1 (%2).json").arg(stem).arg(n);
        if (!QFileInfo::exists(folder.filePath(name)))
            return folder.filePath(name);
    }
}

} // namespace

std::unique_ptr<UnsavedTextFile> UnsavedTextFile::open(const QString &folder)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(kFileName));
    const QByteArray native = QFile::encodeName(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            systemLog(QStringLiteral("Zephyrnote: Could not open %1 (%2).").arg(path, errorText(errno)));
            return nullptr;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            systemLog(QStringLiteral("Zephyrnote: %1 is not a file.").arg(path));
            return nullptr;
        }
        if (st.st_uid == ::getuid() && (st.st_mode & 0077))
            ::fchmod(fd, 0600);

        const auto data = readAll(fd);
        const auto drafts = data ? parseDrafts(*data) : std::nullopt;
        if (drafts) {
            std::unique_ptr<UnsavedTextFile> file(new UnsavedTextFile(fd, path));
            file->m_pending = *drafts;
            if (drafts->isEmpty())
                file->reserveRoom();
            return file;
        }
        // Half written when the program was killed, or not ours: kept
        // where a person can look, and a new file begun.
        ::close(fd);
        const QString aside = asideName(path);
        if (::rename(native.constData(), QFile::encodeName(aside).constData()) != 0) {
            systemLog(QStringLiteral("Zephyrnote: Could not move the unreadable %1 aside (%2).").arg(path, errorText(errno)));
            return nullptr;
        }
        systemLog(QStringLiteral("Zephyrnote: %1 could not be read; it was moved to %2.").arg(path, aside));
    }
    return nullptr;
}

UnsavedTextFile::UnsavedTextFile(int fd, QString path)
    : m_fd(fd)
    , m_path(std::move(path))
{
}

UnsavedTextFile::~UnsavedTextFile()
{
    ::close(m_fd);
}

void UnsavedTextFile::reserveRoom()
{
    // Blocks kept past the end: the file still reads empty, and writing
    // into them later needs no free space. Where the file system cannot
    // do this, the file is written as any other.
    (void)::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, kReservedBytes);
}

bool UnsavedTextFile::writeThrough(QString *why)
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), 1);
    root.insert(QStringLiteral("drafts"), m_pending);
    const QByteArray data = QJsonDocument(root).toJson(QJsonDocument::Compact);
    // In place: a new file would need room that a full disk lacks.
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::pwrite(m_fd, data.constData() + written, size_t(data.size() - written), off_t(written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *why = errorText(n < 0 ? errno : ENOSPC);
            return false;
        }
        written += n;
    }
    if (::ftruncate(m_fd, off_t(data.size())) != 0 || ::fdatasync(m_fd) != 0) {
        *why = errorText(errno);
        return false;
    }
    return true;
}

bool UnsavedTextFile::keep(const QString &text, const std::optional<QUuid> &draftRowID, const QDateTime &when)
{
    QJsonObject draft;
    draft.insert(QStringLiteral("text"), text);
    if (draftRowID)
        draft.insert(QStringLiteral("draftRowID"), draftRowID->toString(QUuid::WithoutBraces).toUpper());
    draft.insert(QStringLiteral("savedAt"), when.toUTC().toString(Qt::ISODateWithMs));
    m_pending.append(draft);
    QString why;
    if (!writeThrough(&why)) {
        systemLog(QStringLiteral("Zephyrnote: The unsaved text could not be written to %1 (%2).").arg(m_path, why));
        return false;
    }
    systemLog(QStringLiteral("Zephyrnote: The store refused the text being written; it was kept in %1.").arg(m_path));
    return true;
}

int UnsavedTextFile::restoreInto(ModelContext &context)
{
    if (m_pending.isEmpty())
        return 0;
    for (const QJsonValue &value : std::as_const(m_pending)) {
        const QJsonObject draft = value.toObject();
        const QString text = draft.value(QLatin1String("text")).toString();
        QDateTime when = QDateTime::fromString(draft.value(QLatin1String("savedAt")).toString(), Qt::ISODateWithMs);
        if (!when.isValid())
            when = Clock::system().now();
        const QUuid rowId = QUuid::fromString(draft.value(QLatin1String("draftRowID")).toString());
        JournalEntry *row = rowId.isNull() ? nullptr : fetchEntry(context, rowId);
        if (row && row->isDraft()) {
            row->setRawText(text);
            row->setTimestamp(when);
            continue;
        }
        context.insert(std::make_unique<JournalEntry>(QUuid::createUuid(), when, text, std::nullopt, 0.0,
                                                      KeywordFrequencies{}, std::nullopt, QStringList{}, true));
    }
    if (const auto error = context.save()) {
        // Left as they were, so no later save writes them a second time.
        context.rollback();
        systemLog(QStringLiteral("Zephyrnote: The unsaved text in %1 could not be put back yet (%2).")
                      .arg(m_path, error->description()));
        return 0;
    }
    const int restored = int(m_pending.size());
    m_pending = QJsonArray();
    if (::ftruncate(m_fd, 0) != 0 || ::fdatasync(m_fd) != 0)
        systemLog(QStringLiteral("Zephyrnote: %1 could not be emptied (%2).").arg(m_path, errorText(errno)));
    reserveRoom();
    systemLog(QStringLiteral("Zephyrnote: Put back %1 unsaved text(s) from %2 as drafts.").arg(restored).arg(m_path));
    return restored;
}

} // namespace zn
