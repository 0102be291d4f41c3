#include "reflections/GeneratorSupport.h"

namespace zn::generator {

void throwIfStopped(const std::stop_token &stop)
{
    if (stop.stop_requested())
        throw CancellationError();
}

QString errorDescription(const std::exception &error)
{
    if (const auto *modelError = dynamic_cast<const lm::LanguageModelError *>(&error))
        return modelError->description();
    return QString::fromUtf8(error.what());
}

lm::GeneratedContent respondStructured(lm::LanguageModel &model, const QString &instructions,
                                       const QString &prompt, const lm::GenerationSchema &schema,
                                       int maximumResponseTokens, const std::stop_token &stop)
{
    throwIfStopped(stop);
    auto session = model.makeSession(instructions);
    lm::GenerationOptions options;
    options.maximumResponseTokens = maximumResponseTokens;
    return session->respond(prompt, schema, true, options, stop);
}

} // namespace zn::generator
