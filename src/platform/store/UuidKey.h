#pragma once

#include <QHashFunctions>
#include <QUuid>

namespace zn {

// An identifier as a hash key that files cannot turn against the table.
// Qt's own qHash(QUuid) folds the four 32-bit quarters together with XOR
// and adds the seed last, so identifiers built to cancel out (a counter in
// two groups) share one hash whatever the seed, and a table of them slows to
// a list search. This key hashes all 128 bits with the table's per-run seed.
struct UuidKey
{
    QUuid id;

    friend bool operator==(const UuidKey &a, const UuidKey &b) noexcept { return a.id == b.id; }
    friend size_t qHash(const UuidKey &key, size_t seed) noexcept
    {
        static_assert(sizeof(QUuid) == 16, "QUuid is its 128 bits and nothing else");
        return qHashBits(&key.id, sizeof(QUuid), seed);
    }
};

} // namespace zn
