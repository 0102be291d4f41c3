#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace zn::lm {

// Every failure of a model call other than cancellation. The description is
// readable on its own and is what callers show or log.
class LanguageModelError : public std::exception
{
public:
    enum class Kind {
        ExceededContextWindow, // the prompt does not fit the model's context
        DecodingFailure,       // the answer could not be read into the schema
        Unavailable,           // no model to talk to
        Other,
    };

    LanguageModelError(Kind kind, QString description);

    // The overflow error; its description names the context window so that
    // a test on the text alone agrees with the kind.
    static LanguageModelError exceededContextWindow(const QString &detail = {});

    Kind kind() const { return m_kind; }
    QString description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    Kind m_kind;
    QString m_description;
    QByteArray m_what;
};

} // namespace zn::lm
