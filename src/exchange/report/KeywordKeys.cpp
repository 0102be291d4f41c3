#include "exchange/report/KeywordKeys.h"

#include <limits>

namespace zn {
namespace {

// Length of the UTF-8 sequence at p (1 to 4), or 0 when it is not one.
int utf8Length(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = *p;
    int length = 0;
    char32_t min = 0;
    char32_t value = 0;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        length = 2, min = 0x80, value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, min = 0x800, value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, value = c & 0x07;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

bool compactKeywordKeys(const QByteArray &data, std::vector<std::string_view> &keys)
{
    keys.clear();
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData());
    const unsigned char *const end = p + data.size();
    if (p == end)
        return true;
    if (*p++ != '{')
        return false;
    if (p < end && *p == '}')
        return p + 1 == end;
    while (p < end) {
        if (*p++ != '"')
            return false;
        const unsigned char *const keyStart = p;
        while (p < end && *p != '"') {
            // Escapes and control characters go to the full decoder.
            if (*p == '\\' || *p < 0x20)
                return false;
            const int length = utf8Length(p, end);
            if (length == 0)
                return false;
            p += length;
        }
        if (p == end)
            return false;
        keys.emplace_back(reinterpret_cast<const char *>(keyStart), std::size_t(p - keyStart));
        ++p;
        if (p == end || *p++ != ':')
            return false;
        // A whole number that fits an int, as the full decoder demands.
        const bool negative = p < end && *p == '-';
        if (negative)
            ++p;
        long long value = 0;
        const unsigned char *const digits = p;
        while (p < end && *p >= '0' && *p <= '9' && p - digits < 11)
            value = value * 10 + (*p++ - '0');
        if (p == digits || (p < end && *p >= '0' && *p <= '9') || (p - digits > 1 && *digits == '0'))
            return false;
        if (negative)
            value = -value;
        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            return false;
        if (p == end)
            return false;
        if (*p == '}')
            return p + 1 == end;
        if (*p++ != ',')
            return false;
    }
    return false;
}

} // namespace zn
