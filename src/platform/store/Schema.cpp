#include "platform/store/Schema.h"

#include "platform/store/ModelConfiguration.h"

#include <QDir>

#include <algorithm>

namespace zn {

int EntityDescriptor::fieldIndex(const QString &fieldName) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].name == fieldName)
            return i;
    }
    return -1;
}

bool EntityDescriptor::hasDeferredFields() const
{
    return std::any_of(fields.cbegin(), fields.cend(), [](const FieldDescriptor &f) { return f.deferred; });
}

QList<int> EntityDescriptor::deferredFields() const
{
    QList<int> out;
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].deferred)
            out.append(i);
    }
    return out;
}

const EntityDescriptor *Schema::entity(const QString &name) const
{
    for (const EntityDescriptor *e : entities) {
        if (e->name == name)
            return e;
    }
    return nullptr;
}

QString ModelConfiguration::storeFilePath() const
{
    return QDir(folder).filePath(name + QStringLiteral(".store"));
}

} // namespace zn
