#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Character-class scanning for the reflection checks. Classes are tested per
// Unicode code point, never per UTF-16 unit, so letters outside the BMP count
// as letters.
namespace zn::scan {

// Calls fn for each maximal run of letters, marks and digits.
void forEachAlphanumericRun(QStringView text, const std::function<void(QStringView)> &fn);

// `text` without punctuation code points at either end.
QString trimmedPunctuation(const QString &text);

} // namespace zn::scan
