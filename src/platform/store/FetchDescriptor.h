#pragma once

#include <QList>
#include <QVariant>

#include <optional>

namespace zn {

class PersistentModel;
struct EntityDescriptor;

enum class CompareOp { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
enum class SortOrder { Forward, Reverse };

// field <op> value; Equal and NotEqual treat a null value as "absent".
struct Condition
{
    int field;
    CompareOp op;
    QVariant value;
};

// A conjunction of conditions; the empty predicate matches every object.
// Evaluated in SQL against saved rows and in memory against pending ones,
// with the same ordering rules (text by code point, like SQLite's BINARY).
class Predicate
{
public:
    Predicate() = default;
    static Predicate where(int field, CompareOp op, QVariant value);
    Predicate &andWhere(int field, CompareOp op, QVariant value);

    const QList<Condition> &conditions() const { return m_conditions; }
    bool matches(const PersistentModel &object) const;

private:
    QList<Condition> m_conditions;
};

struct SortDescriptor
{
    int field;
    SortOrder order = SortOrder::Forward;
};

struct FetchDescriptor
{
    Predicate predicate;
    QList<SortDescriptor> sortBy;
    std::optional<int> fetchLimit;
};

// Orders two values of one field as the store does: null first, text by
// Unicode scalar value, dates by instant. Negative, zero or positive.
int compareFieldValues(const EntityDescriptor &entity, int field, const QVariant &a, const QVariant &b);

} // namespace zn
