#include "platform/model/LanguageModelError.h"

namespace zn::lm {

LanguageModelError::LanguageModelError(Kind kind, QString description)
    : m_kind(kind)
    , m_description(std::move(description))
    , m_what(m_description.toUtf8())
{
}

LanguageModelError LanguageModelError::exceededContextWindow(const QString &detail)
{
    QString text = QStringLiteral("The request exceeds the model’s context window size.");
    if (!detail.isEmpty())
        text += QLatin1Char(' ') + detail;
    return LanguageModelError(Kind::ExceededContextWindow, text);
}

} // namespace zn::lm
