#include "core/JournalText.h"

#include "platform/store/FieldValues.h"

namespace zn {

QString journalText(const QString &text)
{
    return store::wellFormedText(text);
}

std::optional<QString> journalText(const std::optional<QString> &text)
{
    return text ? std::optional<QString>(journalText(*text)) : std::nullopt;
}

QStringList journalText(const QStringList &texts)
{
    QStringList out = texts;
    for (QString &t : out)
        t = journalText(t);
    return out;
}

} // namespace zn
