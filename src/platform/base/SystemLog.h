#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace zn {

// Diagnostic lines for the system log. Callers pass the whole line,
// beginning "Zephyrnote: ". Thread-safe.
void systemLog(const QString &line);

// Collects every systemLog() line while alive (tests). Lines still go to the
// Qt log as well.
class SystemLogCapture
{
public:
    SystemLogCapture();
    ~SystemLogCapture();
    SystemLogCapture(const SystemLogCapture &) = delete;
    SystemLogCapture &operator=(const SystemLogCapture &) = delete;

    QStringList lines() const;

private:
    int m_token;
};

} // namespace zn
