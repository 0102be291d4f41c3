#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace zn::text {

// User-perceived characters (extended grapheme clusters). Every length limit
// in the app is counted with these, never with QString::size().
int graphemeCount(QStringView text);
inline int graphemeCount(const QString &text) { return graphemeCount(QStringView(text)); }

// The first / last `count` grapheme clusters; the whole text when it has
// fewer, an empty string for count <= 0.
QString graphemePrefix(const QString &text, int count);
QString graphemeSuffix(const QString &text, int count);

// The text split into its grapheme clusters, in order.
QStringList graphemes(const QString &text);

// Whitespace-and-newline trimming (Unicode Z*, U+0009..U+000D, U+0085).
QString trimmed(const QString &text);
bool isBlank(const QString &text);

// Letters, marks and numbers of every script: the platform's
// "alphanumerics" character set, tested per code point.
bool isAlphanumeric(char32_t codePoint);

// Orders strings by the Unicode scalar values of their NFC forms, so
// canonically equivalent strings compare equal and the order does not depend
// on UTF-16 surrogate layout.
int compareScalars(const QString &a, const QString &b);
inline bool scalarLess(const QString &a, const QString &b) { return compareScalars(a, b) < 0; }

} // namespace zn::text
