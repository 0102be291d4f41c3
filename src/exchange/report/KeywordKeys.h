#pragma once

#include <QByteArray>

#include <string_view>
#include <vector>

namespace zn {

// The words of stored keyword counts as UTF-8 views into `data`, read
// straight from the compact form the keyword encoder writes
// ({"rain":2,"walk":1}: plain keys, whole-number counts). Returns false for
// anything else, which the caller then gives to the full decoder. Empty
// data is an empty table.
bool compactKeywordKeys(const QByteArray &data, std::vector<std::string_view> &keys);

} // namespace zn
