#pragma once

#include "platform/language/LanguageTagging.h"

namespace zn::language {

// Picks the dominant language from the writing system of the letters and,
// for Latin script, from common function words of a few European languages.
// Unsure (no letters, no telling words) gives nothing, which callers read as
// English.
class ScriptLanguageRecognizer final : public LanguageRecognizer
{
public:
    std::optional<QString> dominantLanguage(const QString &text) const override;
};

} // namespace zn::language
