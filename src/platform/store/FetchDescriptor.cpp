#include "platform/store/FetchDescriptor.h"

#include "platform/store/FieldValues.h"
#include "platform/store/PersistentModel.h"

namespace zn {

Predicate Predicate::where(int field, CompareOp op, QVariant value)
{
    Predicate p;
    p.andWhere(field, op, std::move(value));
    return p;
}

Predicate &Predicate::andWhere(int field, CompareOp op, QVariant value)
{
    m_conditions.append(Condition{field, op, std::move(value)});
    return *this;
}

bool Predicate::matches(const PersistentModel &object) const
{
    const EntityDescriptor &entity = object.entity();
    for (const Condition &c : m_conditions) {
        if (c.field < 0 || c.field >= entity.fields.size())
            return false;
        const FieldType type = entity.fields[c.field].type;
        const QVariant wanted = store::normalize(type, c.value);
        const QVariant &have = object.value(c.field);
        const bool absent = store::isAbsent(type, have) || store::isAbsent(type, wanted);
        // Mirrors SQL: IS / IS NOT are null-safe (compareValues() takes two
        // absent values as equal), ordering against NULL is false.
        switch (c.op) {
        case CompareOp::Equal:
            if (store::compareValues(type, have, wanted) != 0)
                return false;
            break;
        case CompareOp::NotEqual:
            if (store::compareValues(type, have, wanted) == 0)
                return false;
            break;
        case CompareOp::Less:
            if (absent || store::compareValues(type, have, wanted) >= 0)
                return false;
            break;
        case CompareOp::LessOrEqual:
            if (absent || store::compareValues(type, have, wanted) > 0)
                return false;
            break;
        case CompareOp::Greater:
            if (absent || store::compareValues(type, have, wanted) <= 0)
                return false;
            break;
        case CompareOp::GreaterOrEqual:
            if (absent || store::compareValues(type, have, wanted) < 0)
                return false;
            break;
        }
    }
    return true;
}

int compareFieldValues(const EntityDescriptor &entity, int field, const QVariant &a, const QVariant &b)
{
    return store::compareValues(entity.fields[field].type, a, b);
}

} // namespace zn
