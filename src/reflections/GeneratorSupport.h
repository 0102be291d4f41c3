#pragma once

#include "platform/base/Clock.h"
#include "platform/model/LanguageModel.h"
#include "reflections/GenerationHelpers.h"
#include "reflections/GenerationTimeout.h"

#include <QByteArray>
#include <QString>

#include <exception>
#include <stop_token>
#include <utility>

// What the entry and the weekly generator share: their error type's shape,
// one structured model pass, and how the end of a timed run reads.
namespace zn::generator {

// The time limit of one whole generation, and the clock it runs on (the
// system clock when null; tests pass a manual one).
template <int DefaultSeconds>
struct TimedOptions
{
    double timeLimitSeconds = DefaultSeconds;
    Clock *clock = nullptr;
};

// A stopped run must make no further model call.
void throwIfStopped(const std::stop_token &stop);

// The model's own description of a failed pass, else what().
QString errorDescription(const std::exception &error);

// One pass in a fresh session (no history), with the schema in the prompt and
// only the response-token limit set.
lm::GeneratedContent respondStructured(lm::LanguageModel &model, const QString &instructions,
                                       const QString &prompt, const lm::GenerationSchema &schema,
                                       int maximumResponseTokens, const std::stop_token &stop);

// An error enumeration whose cases carry a user-facing text. Derived supplies
// `static QString describe(Kind, const QString &message)`; Kind needs the
// cases GenerationFailed, TimedOut and ContextTooLarge.
template <typename Derived, typename KindType>
class GenerateErrorBase : public std::exception
{
public:
    using Kind = KindType;

    explicit GenerateErrorBase(Kind kind, QString message = {})
        : m_kind(kind)
        , m_message(std::move(message))
        , m_what(Derived::describe(m_kind, m_message).toUtf8())
    {
    }
    static Derived generationFailed(const QString &message) { return Derived(Kind::GenerationFailed, message); }

    Kind kind() const { return m_kind; }
    // The user-facing text.
    QString description() const { return Derived::describe(m_kind, m_message); }
    const char *what() const noexcept override { return m_what.constData(); }
    bool operator==(const GenerateErrorBase &other) const
    {
        return m_kind == other.m_kind && m_message == other.m_message;
    }

private:
    Kind m_kind;
    QString m_message;
    QByteArray m_what;
};

// Whatever ended a timed run, as the generator's own error: the time limit
// and the caller's cancellation read as timed out, a context overflow as too
// large, anything else as a failure with its description.
template <typename Error>
Error mapRunError(std::exception_ptr error)
{
    using Kind = typename Error::Kind;
    try {
        std::rethrow_exception(error);
    } catch (const GenerationTimeout::TimeoutError &) {
        return Error(Kind::TimedOut);
    } catch (const Error &own) {
        return own;
    } catch (const CancellationError &) {
        return Error(Kind::TimedOut);
    } catch (const std::exception &other) {
        if (isContextWindowExceeded(other))
            return Error(Kind::ContextTooLarge);
        return Error::generationFailed(errorDescription(other));
    } catch (...) {
        return Error::generationFailed(QStringLiteral("Unknown error"));
    }
}

// Runs `operation` against `seconds` on the options' clock and turns every
// failure into Error; the only thing it throws is Error.
template <typename Error, typename T>
T runTimed(double seconds, Clock *clock, std::stop_token callerStop,
           const std::function<T(std::stop_token)> &operation)
{
    try {
        return GenerationTimeout::run<T>(seconds, operation, std::move(callerStop),
                                         clock ? *clock : Clock::system());
    } catch (...) {
        throw mapRunError<Error>(std::current_exception());
    }
}

} // namespace zn::generator
