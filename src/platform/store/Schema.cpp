#include "platform/store/Schema.h"

#include "platform/store/ModelConfiguration.h"

#include <QDir>

namespace zn {

int EntityDescriptor::fieldIndex(const QString &fieldName) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].name == fieldName)
            return i;
    }
    return -1;
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
