#pragma once

#include "platform/model/LanguageModel.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace zn::lm {

// What a scripted call does. Built with the static makers and refined with
// after()/ignoringCancellationFor().
struct ScriptedStep
{
    enum class Action {
        Answer,             // returns `content`
        AnswerJson,         // parses `json` like a real answer (may fail decoding)
        Fail,               // throws LanguageModelError(errorKind, description)
        HangUntilCancelled, // never returns on its own
    };

    Action action = Action::Fail;
    GeneratedContent content;
    QByteArray json;
    LanguageModelError::Kind errorKind = LanguageModelError::Kind::Other;
    QString description = QStringLiteral("unscripted call");
    // Waits this long first; a stop during the wait cancels the call.
    std::chrono::milliseconds delay{0};
    // For this long from the start of the call a stop goes unnoticed: a step
    // that ends within it ends as scripted; otherwise the call then notices
    // any pending stop and throws CancellationError.
    std::chrono::milliseconds deafFor{0};

    static ScriptedStep answer(GeneratedContent content);
    static ScriptedStep answerJson(QByteArray json);
    static ScriptedStep fail(const QString &description,
                             LanguageModelError::Kind kind = LanguageModelError::Kind::Other);
    static ScriptedStep overflow();
    static ScriptedStep hangUntilCancelled();

    ScriptedStep after(std::chrono::milliseconds wait) const;
    ScriptedStep ignoringCancellationFor(std::chrono::milliseconds span) const;
};

// Everything a call was given, and how it ended.
struct ScriptedCall
{
    enum class Outcome { Running, Answered, Failed, Cancelled };

    QString instructions;
    QString prompt;
    QString schemaName;
    bool includeSchemaInPrompt = false;
    std::optional<int> maximumResponseTokens;
    Outcome outcome = Outcome::Running;
};

// A model whose every answer is scripted: for tests of everything that talks
// to a model. Thread-safe. Steps are used one per respond() call in order; a
// responder, when set, answers calls the queue has no step for. A call with
// neither fails with "unscripted call".
class ScriptedLanguageModel final : public LanguageModel
{
public:
    ScriptedLanguageModel();

    // --- setup
    void setAvailability(Availability availability);
    void setUnavailable(UnavailableReason reason) { setAvailability(Availability::no(reason)); }
    // Lets isAvailable() disagree with availability().
    void setIsAvailableOverride(std::optional<bool> value);
    void setAddress(const QString &address);
    void setContextSize(int tokens);
    // Token counts: a fixed value, a function of the text, or a failure.
    void setTokenCount(int tokens);
    void setTokenCounter(std::function<int(const QString &)> counter);
    void setTokenCountFails(bool fails);

    void enqueue(ScriptedStep step);
    void setResponder(std::function<ScriptedStep(const ScriptedCall &)> responder);

    // --- what happened
    std::vector<ScriptedCall> calls() const;
    int callCount() const;
    int runningCalls() const;
    int availabilityReads() const;
    QStringList tokenCountTexts() const;
    // Blocks until `count` respond() calls have started, or `timeout` passes.
    bool waitForCalls(int count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // --- LanguageModel
    Availability availability() const override;
    bool isAvailable() const override;
    QString address() const override;
    int contextSize() const override;
    int tokenCount(const QString &text, std::stop_token stop) override;
    std::unique_ptr<LanguageModelSession> makeSession(const QString &instructions) override;

    // Used by the sessions.
    GeneratedContent respondFor(const QString &instructions, const QString &prompt,
                                const GenerationSchema &schema, bool includeSchemaInPrompt,
                                const GenerationOptions &options, std::stop_token stop);

private:
    void finish(size_t index, ScriptedCall::Outcome outcome);

    template <typename T>
    void setLocked(T &field, T value)
    {
        std::lock_guard lock(m_mutex);
        field = std::move(value);
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    Availability m_availability = Availability::yes();
    std::optional<bool> m_isAvailableOverride;
    QString m_address;
    int m_contextSize = 4096;
    int m_fixedTokenCount = -1;
    std::function<int(const QString &)> m_tokenCounter;
    bool m_tokenCountFails = false;
    std::deque<ScriptedStep> m_steps;
    std::function<ScriptedStep(const ScriptedCall &)> m_responder;
    std::vector<ScriptedCall> m_calls;
    int m_running = 0;
    mutable int m_availabilityReads = 0;
    QStringList m_tokenCountTexts;
};

} // namespace zn::lm
