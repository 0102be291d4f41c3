#pragma once

#include "platform/model/Cancellation.h"
#include "platform/model/GeneratedContent.h"
#include "platform/model/GenerationSchema.h"
#include "platform/model/LanguageModelError.h"

#include <QString>

#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

namespace zn::lm {

enum class UnavailableReason {
    NoServer,      // nothing answers where the model should run
    ModelNotReady, // it answers, but its model is still loading
    Other,         // anything else; the availability's detail says what
};

struct Availability
{
    bool available = false;
    UnavailableReason reason = UnavailableReason::Other; // meaningful only when unavailable
    // What went wrong, in one sentence for the user; may be empty.
    QString detail;

    static Availability yes() { return {true, UnavailableReason::Other, {}}; }
    static Availability no(UnavailableReason why, QString detail = {}) { return {false, why, std::move(detail)}; }
    bool operator==(const Availability &) const = default;
};

// Only the response-token limit is ever set; sampling stays at the model's
// defaults.
struct GenerationOptions
{
    std::optional<int> maximumResponseTokens;
};

// One pass: instructions fixed at creation, no history kept between passes.
// respond() blocks (call it from a worker thread) and throws
// LanguageModelError, or CancellationError when `stop` is triggered (at once
// when it already is, within about 200 ms when it is triggered mid-call).
class LanguageModelSession
{
public:
    virtual ~LanguageModelSession() = default;

    virtual QString instructions() const = 0;

    // With `includeSchemaInPrompt` the session itself puts the schema in
    // front of the model; `prompt` is sent as given.
    virtual GeneratedContent respond(const QString &prompt, const GenerationSchema &schema,
                                     bool includeSchemaInPrompt, const GenerationOptions &options,
                                     std::stop_token stop) = 0;
};

// The language model. Availability and context size are cheap, thread-safe
// reads that never block (the GUI thread asks them); tokenCount and
// sessions' respond() block and belong on a worker thread.
class LanguageModel
{
public:
    virtual ~LanguageModel() = default;

    virtual Availability availability() const = 0;
    virtual bool isAvailable() const { return availability().available; }

    // Where the user makes the model available (a server's address); empty
    // when there is no such place.
    virtual QString address() const { return {}; }

    // Context size in tokens; 0 or less when unknown.
    virtual int contextSize() const = 0;

    // Tokens of `text` taken as session instructions. Throws
    // LanguageModelError when the model cannot count, CancellationError when
    // stopped.
    virtual int tokenCount(const QString &text, std::stop_token stop) = 0;

    virtual std::unique_ptr<LanguageModelSession> makeSession(const QString &instructions) = 0;
};

// A session that keeps only its instructions and hands every pass to its
// model's respondFor(); models without per-session state need no more.
template <typename Model>
class ForwardingSession final : public LanguageModelSession
{
public:
    ForwardingSession(Model &model, QString instructions)
        : m_model(model)
        , m_instructions(std::move(instructions))
    {
    }

    QString instructions() const override { return m_instructions; }

    GeneratedContent respond(const QString &prompt, const GenerationSchema &schema, bool includeSchemaInPrompt,
                             const GenerationOptions &options, std::stop_token stop) override
    {
        return m_model.respondFor(m_instructions, prompt, schema, includeSchemaInPrompt, options, stop);
    }

private:
    Model &m_model;
    QString m_instructions;
};

} // namespace zn::lm
