#include "platform/base/SystemLog.h"

#include <QLoggingCategory>
#include <QMutex>

#include <map>

Q_LOGGING_CATEGORY(znLog, "zephyrnote")

namespace zn {
namespace {

struct Captures {
    QMutex mutex;
    std::map<int, QStringList> lines;
    int next = 1;
};

Captures &captures()
{
    static Captures c;
    return c;
}

} // namespace

void systemLog(const QString &line)
{
    qCInfo(znLog).noquote() << line;
    auto &c = captures();
    QMutexLocker lock(&c.mutex);
    for (auto &[token, lines] : c.lines)
        lines.append(line);
}

SystemLogCapture::SystemLogCapture()
{
    auto &c = captures();
    QMutexLocker lock(&c.mutex);
    m_token = c.next++;
    c.lines.emplace(m_token, QStringList{});
}

SystemLogCapture::~SystemLogCapture()
{
    auto &c = captures();
    QMutexLocker lock(&c.mutex);
    c.lines.erase(m_token);
}

QStringList SystemLogCapture::lines() const
{
    auto &c = captures();
    QMutexLocker lock(&c.mutex);
    return c.lines.at(m_token);
}

} // namespace zn
