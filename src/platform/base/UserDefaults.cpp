#include "platform/base/UserDefaults.h"

namespace zn {

UserDefaults::UserDefaults(const QString &iniPath)
    : m_settings(iniPath.isEmpty()
                     ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                   QStringLiteral("Zephyrnote"), QStringLiteral("Zephyrnote"))
                     : std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

UserDefaults &UserDefaults::standard()
{
    static UserDefaults defaults;
    return defaults;
}

bool UserDefaults::contains(const QString &key) const
{
    return m_settings->contains(key);
}

QVariant UserDefaults::value(const QString &key, const QVariant &fallback) const
{
    return m_settings->value(key, fallback);
}

QString UserDefaults::string(const QString &key) const
{
    return m_settings->value(key).toString();
}

bool UserDefaults::boolean(const QString &key) const
{
    const QVariant v = m_settings->value(key);
    if (!v.isValid())
        return false;
    // INI files hold text; accept the spellings a person might write by hand.
    const QString text = v.toString().trimmed().toLower();
    if (text == u"true" || text == u"yes" || text == u"on")
        return true;
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    return isNumber && number != 0.0;
}

void UserDefaults::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void UserDefaults::remove(const QString &key)
{
    m_settings->remove(key);
    m_settings->sync();
}

void UserDefaults::sync()
{
    m_settings->sync();
}

} // namespace zn
