#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zn {

// Writes indented UTF-8 JSON straight into a byte array, laid out as the
// platform's pretty printer does (two spaces a level, "key" : value). The
// caller writes keys in the order the file wants them and never passes a
// number that is not finite. Several times faster than building a
// QJsonObject tree for a whole journal.
class JsonWriter
{
public:
    explicit JsonWriter(qsizetype reserve = 0) { m_out.reserve(reserve); }

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();

    // The next member's key; its value follows with one of the calls here.
    void key(QLatin1StringView name) { writeKey(name.data(), name.size()); }
    void key(const QString &name);

    void value(const QString &text);
    void value(double number);
    void value(int number);
    void value(const QStringList &texts);

    // Bytes written so far.
    qsizetype size() const { return m_out.size(); }
    QByteArray take() { return std::move(m_out); }

private:
    void writeKey(const char *utf8, qsizetype size);
    void beforeValue();
    void newline();
    void writeString(const char *utf8, qsizetype size);

    QByteArray m_out;
    int m_depth = 0;
    bool m_first = true;     // nothing written yet in the open object or array
    bool m_afterKey = false; // a key was written; its value goes on the same line
};

} // namespace zn
