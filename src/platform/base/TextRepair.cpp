#include "platform/base/TextRepair.h"

namespace zn {

namespace {

// Index of the first unpaired surrogate at or after `from`, or -1.
qsizetype firstUnpaired(const QString &text, qsizetype from)
{
    const QChar *units = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = from; i < size; ++i) {
        const QChar unit = units[i];
        if (!unit.isSurrogate())
            continue;
        if (unit.isHighSurrogate() && i + 1 < size && units[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

} // namespace

bool hasOnlyPairedSurrogates(const QString &text)
{
    return firstUnpaired(text, 0) < 0;
}

QString replacingUnpairedSurrogates(const QString &text)
{
    qsizetype at = firstUnpaired(text, 0);
    if (at < 0)
        return text;
    QString repaired = text;
    QChar *units = repaired.data();
    while (at >= 0) {
        units[at] = QChar(QChar::ReplacementCharacter);
        at = firstUnpaired(repaired, at + 1);
    }
    return repaired;
}

} // namespace zn
