#pragma once

#include <QString>

namespace zn {

// Buttons, menu items, tab titles and check boxes read "&" as the mark of
// an access key. A text that must show as written ("Stop & Keep
// Transcript", a file name) goes into such a widget through this, so every
// "&" shows and none becomes a key.
QString literalMnemonicText(const QString &text);

} // namespace zn
