#pragma once

#include "platform/store/ModelContainer.h"
#include "platform/store/PersistentModel.h"

#include <QDateTime>
#include <QUuid>

#include <memory>

namespace zn::test {

// A model with one field of every kind, so the store is exercised apart from
// the journal's own models.
class Note final : public PersistentModel
{
    Q_OBJECT
public:
    enum Field : int { Uid, Title, Subtitle, Score, Weight, Count, Flag, Blob, When, Maybe, Labels };

    Note() : PersistentModel(entityDescriptor()) {}
    explicit Note(const QString &title, qlonglong count = 0) : Note()
    {
        set(Title, title);
        set(Count, count);
    }

    static const EntityDescriptor &entityDescriptor()
    {
        static const EntityDescriptor e{
            QStringLiteral("Note"),
            {
                {QStringLiteral("uid"), FieldType::Uuid, true},
                {QStringLiteral("title"), FieldType::Text, true},
                {QStringLiteral("subtitle"), FieldType::OptionalText},
                {QStringLiteral("score"), FieldType::Real},
                {QStringLiteral("weight"), FieldType::OptionalReal},
                {QStringLiteral("count"), FieldType::Integer},
                {QStringLiteral("flag"), FieldType::Bool},
                {QStringLiteral("blob"), FieldType::Data},
                {QStringLiteral("whenAt"), FieldType::DateTime},
                {QStringLiteral("maybeAt"), FieldType::OptionalDateTime},
                {QStringLiteral("labels"), FieldType::StringList},
            },
            [] { return std::make_unique<Note>(); },
        };
        return e;
    }

    void set(Field f, QVariant v) { setValue(f, std::move(v)); }
    QString title() const { return value(Title).toString(); }
    qlonglong count() const { return value(Count).toLongLong(); }
};

inline const Schema &noteSchema(const QString &version = QStringLiteral("1.0.0"))
{
    static Schema s{QStringLiteral("1.0.0"), {&Note::entityDescriptor()}};
    static Schema other{QStringLiteral("9.0.0"), {&Note::entityDescriptor()}};
    return version == s.version ? s : other;
}

inline std::shared_ptr<ModelContainer> openNotes(const QString &folder, StoreError *error = nullptr,
                                                 const QString &version = QStringLiteral("1.0.0"))
{
    ModelConfiguration c;
    c.name = QStringLiteral("notes");
    c.folder = folder;
    return ModelContainer::open(noteSchema(version), c, error);
}

inline std::shared_ptr<ModelContainer> openNotesInMemory()
{
    ModelConfiguration c;
    c.isStoredInMemoryOnly = true;
    return ModelContainer::open(noteSchema(), c);
}

} // namespace zn::test
