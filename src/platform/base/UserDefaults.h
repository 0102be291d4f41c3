#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

namespace zn {

// The application's user defaults: a small INI file under the user's config
// folder (~/.config/Zephyrnote/Zephyrnote.ini). Tests point it at a file of
// their own.
class UserDefaults
{
public:
    // An empty path means the standard per-user file.
    explicit UserDefaults(const QString &iniPath = {});

    static UserDefaults &standard();

    bool contains(const QString &key) const;
    QVariant value(const QString &key, const QVariant &fallback = {}) const;
    QString string(const QString &key) const; // empty when absent
    bool boolean(const QString &key) const;   // false when absent
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    void sync();
    // The file the defaults are kept in.
    QString fileName() const { return m_settings->fileName(); }

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace zn
