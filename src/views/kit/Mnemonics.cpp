#include "views/kit/Mnemonics.h"

namespace zn {

QString literalMnemonicText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return escaped;
}

} // namespace zn
