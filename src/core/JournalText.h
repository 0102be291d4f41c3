#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zn {

// The one rule for text entering the journal, wherever it comes from (the
// editor, an import, a dictation, a model's reflection): an unpaired UTF-16
// surrogate cannot be stored as UTF-8, so it becomes U+FFFD here, before it
// is shown or saved, and what is stored is what was shown. Everything else
// (byte-order marks, controls, any other character) stays as written.
QString journalText(const QString &text);
std::optional<QString> journalText(const std::optional<QString> &text);
QStringList journalText(const QStringList &texts);

} // namespace zn
