#include "exchange/JsonWriter.h"

#include <QLocale>

#include <algorithm>

namespace zn {

void JsonWriter::newline()
{
    static constexpr char spaces[] = "                                ";
    m_out.append('\n');
    for (qsizetype left = 2 * m_depth; left > 0; left -= sizeof spaces - 1)
        m_out.append(spaces, std::min<qsizetype>(left, sizeof spaces - 1));
}

void JsonWriter::beforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_depth > 0) {
        if (!m_first)
            m_out.append(',');
        newline();
    }
    m_first = false;
}

void JsonWriter::beginObject()
{
    beforeValue();
    m_out.append('{');
    ++m_depth;
    m_first = true;
}

void JsonWriter::endObject()
{
    --m_depth;
    if (!m_first)
        newline();
    m_out.append('}');
    m_first = false;
}

void JsonWriter::beginArray()
{
    beforeValue();
    m_out.append('[');
    ++m_depth;
    m_first = true;
}

void JsonWriter::endArray()
{
    endObject();
    m_out.back() = ']';
}

void JsonWriter::writeKey(const char *utf8, qsizetype size)
{
    beforeValue();
    writeString(utf8, size);
    m_out.append(" : ");
    m_afterKey = true;
}

void JsonWriter::key(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    writeKey(utf8.constData(), utf8.size());
}

void JsonWriter::writeString(const char *utf8, qsizetype size)
{
    static const char hex[] = "0123456789abcdef";
    m_out.append('"');
    qsizetype plainFrom = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xEF && i + 2 < size && static_cast<unsigned char>(utf8[i + 1]) == 0xBB
            && static_cast<unsigned char>(utf8[i + 2]) == 0xBF) {
            // U+FEFF, escaped: readers (Qt's among them) take the raw
            // character at a string's start for a byte order mark and drop it.
            m_out.append(utf8 + plainFrom, i - plainFrom);
            m_out.append("\\ufeff");
            i += 2;
            plainFrom = i + 1;
            continue;
        }
        if (c >= 0x20 && c != '"' && c != '\\')
            continue; // bytes of multi-byte characters are all >= 0x80
        m_out.append(utf8 + plainFrom, i - plainFrom);
        plainFrom = i + 1;
        switch (c) {
        case '"': m_out.append("\\\""); break;
        case '\\': m_out.append("\\\\"); break;
        case '\n': m_out.append("\\n"); break;
        case '\r': m_out.append("\\r"); break;
        case '\t': m_out.append("\\t"); break;
        case '\b': m_out.append("\\b"); break;
        case '\f': m_out.append("\\f"); break;
        default: {
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
            m_out.append(escaped, sizeof escaped);
        }
        }
    }
    m_out.append(utf8 + plainFrom, size - plainFrom);
    m_out.append('"');
}

void JsonWriter::value(const QString &text)
{
    beforeValue();
    const QByteArray utf8 = text.toUtf8();
    writeString(utf8.constData(), utf8.size());
}

void JsonWriter::value(double number)
{
    beforeValue();
    // The shortest digits that read back as the same double.
    m_out.append(QByteArray::number(number, 'g', QLocale::FloatingPointShortest));
}

void JsonWriter::value(int number)
{
    beforeValue();
    m_out.append(QByteArray::number(number));
}

void JsonWriter::value(const QStringList &texts)
{
    beginArray();
    for (const QString &t : texts)
        value(t);
    endArray();
}

} // namespace zn
