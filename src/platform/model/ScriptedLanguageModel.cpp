#include "platform/model/ScriptedLanguageModel.h"

#include <condition_variable>

namespace zn::lm {

ScriptedStep ScriptedStep::answer(GeneratedContent content)
{
    ScriptedStep step;
    step.action = Action::Answer;
    step.content = std::move(content);
    return step;
}

ScriptedStep ScriptedStep::answerJson(QByteArray json)
{
    ScriptedStep step;
    step.action = Action::AnswerJson;
    step.json = std::move(json);
    return step;
}

ScriptedStep ScriptedStep::fail(const QString &description, LanguageModelError::Kind kind)
{
    ScriptedStep step;
    step.action = Action::Fail;
    step.errorKind = kind;
    step.description = description;
    return step;
}

ScriptedStep ScriptedStep::overflow()
{
    const LanguageModelError error = LanguageModelError::exceededContextWindow();
    return fail(error.description(), error.kind());
}

ScriptedStep ScriptedStep::hangUntilCancelled()
{
    ScriptedStep step;
    step.action = Action::HangUntilCancelled;
    return step;
}

ScriptedStep ScriptedStep::after(std::chrono::milliseconds wait) const
{
    ScriptedStep step = *this;
    step.delay = wait;
    return step;
}

ScriptedStep ScriptedStep::ignoringCancellationFor(std::chrono::milliseconds span) const
{
    ScriptedStep step = *this;
    step.deafFor = span;
    return step;
}

namespace {

// Waits until `deadline`; false when `stop` triggered first.
bool waitUntil(std::chrono::steady_clock::time_point deadline, const std::stop_token &stop)
{
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_until(lock, stop, deadline, [] { return false; });
    return !stop.stop_requested();
}

} // namespace

ScriptedLanguageModel::ScriptedLanguageModel() = default;

void ScriptedLanguageModel::setAvailability(Availability availability)
{
    setLocked(m_availability, std::move(availability));
}

void ScriptedLanguageModel::setIsAvailableOverride(std::optional<bool> value)
{
    setLocked(m_isAvailableOverride, std::move(value));
}

void ScriptedLanguageModel::setAddress(const QString &address)
{
    setLocked(m_address, address);
}

void ScriptedLanguageModel::setContextSize(int tokens)
{
    setLocked(m_contextSize, std::move(tokens));
}

void ScriptedLanguageModel::setTokenCount(int tokens)
{
    std::lock_guard lock(m_mutex);
    m_fixedTokenCount = tokens;
    m_tokenCounter = nullptr;
    m_tokenCountFails = false;
}

void ScriptedLanguageModel::setTokenCounter(std::function<int(const QString &)> counter)
{
    std::lock_guard lock(m_mutex);
    m_tokenCounter = std::move(counter);
    m_tokenCountFails = false;
}

void ScriptedLanguageModel::setTokenCountFails(bool fails)
{
    setLocked(m_tokenCountFails, std::move(fails));
}

void ScriptedLanguageModel::enqueue(ScriptedStep step)
{
    std::lock_guard lock(m_mutex);
    m_steps.push_back(std::move(step));
}

void ScriptedLanguageModel::setResponder(std::function<ScriptedStep(const ScriptedCall &)> responder)
{
    setLocked(m_responder, std::move(responder));
}

std::vector<ScriptedCall> ScriptedLanguageModel::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

int ScriptedLanguageModel::callCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_calls.size());
}

int ScriptedLanguageModel::runningCalls() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

int ScriptedLanguageModel::availabilityReads() const
{
    std::lock_guard lock(m_mutex);
    return m_availabilityReads;
}

QStringList ScriptedLanguageModel::tokenCountTexts() const
{
    std::lock_guard lock(m_mutex);
    return m_tokenCountTexts;
}

bool ScriptedLanguageModel::waitForCalls(int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return static_cast<int>(m_calls.size()) >= count; });
}

Availability ScriptedLanguageModel::availability() const
{
    std::lock_guard lock(m_mutex);
    ++m_availabilityReads;
    return m_availability;
}

bool ScriptedLanguageModel::isAvailable() const
{
    std::lock_guard lock(m_mutex);
    ++m_availabilityReads;
    return m_isAvailableOverride.value_or(m_availability.available);
}

QString ScriptedLanguageModel::address() const
{
    std::lock_guard lock(m_mutex);
    return m_address;
}

int ScriptedLanguageModel::contextSize() const
{
    std::lock_guard lock(m_mutex);
    return m_contextSize;
}

int ScriptedLanguageModel::tokenCount(const QString &text, std::stop_token stop)
{
    std::function<int(const QString &)> counter;
    int fixed = -1;
    {
        std::lock_guard lock(m_mutex);
        m_tokenCountTexts << text;
        if (stop.stop_requested())
            throw CancellationError();
        if (m_tokenCountFails)
            throw LanguageModelError(LanguageModelError::Kind::Other,
                                     QStringLiteral("The model could not count tokens."));
        counter = m_tokenCounter;
        fixed = m_fixedTokenCount;
    }
    if (counter)
        return counter(text);
    if (fixed >= 0)
        return fixed;
    // Default: roughly four characters a token.
    return std::max<int>(1, static_cast<int>((text.size() + 3) / 4));
}

std::unique_ptr<LanguageModelSession> ScriptedLanguageModel::makeSession(const QString &instructions)
{
    return std::make_unique<ForwardingSession<ScriptedLanguageModel>>(*this, instructions);
}

void ScriptedLanguageModel::finish(size_t index, ScriptedCall::Outcome outcome)
{
    std::lock_guard lock(m_mutex);
    m_calls[index].outcome = outcome;
    --m_running;
    m_changed.notify_all();
}

GeneratedContent ScriptedLanguageModel::respondFor(const QString &instructions, const QString &prompt,
                                                   const GenerationSchema &schema, bool includeSchemaInPrompt,
                                                   const GenerationOptions &options, std::stop_token stop)
{
    const auto start = std::chrono::steady_clock::now();
    ScriptedCall call;
    call.instructions = instructions;
    call.prompt = prompt;
    call.schemaName = schema.typeName;
    call.includeSchemaInPrompt = includeSchemaInPrompt;
    call.maximumResponseTokens = options.maximumResponseTokens;

    ScriptedStep step;
    std::function<ScriptedStep(const ScriptedCall &)> responder;
    size_t index = 0;
    {
        std::lock_guard lock(m_mutex);
        index = m_calls.size();
        m_calls.push_back(call);
        ++m_running;
        if (!m_steps.empty()) {
            step = std::move(m_steps.front());
            m_steps.pop_front();
        } else {
            responder = m_responder;
        }
        m_changed.notify_all();
    }
    if (responder)
        step = responder(call);

    // A deaf stretch hides the stop token; afterwards a pending stop wins.
    const std::stop_token none;
    const auto deafUntil = start + step.deafFor;
    auto deaf = [&] { return std::chrono::steady_clock::now() < deafUntil; };
    auto waitFor = [&](std::chrono::steady_clock::time_point until) {
        if (deaf()) {
            waitUntil(std::min(until, deafUntil), none);
            if (until <= deafUntil)
                return true;
        }
        if (stop.stop_requested())
            return false;
        return waitUntil(until, stop);
    };
    auto stoppedNow = [&] { return !deaf() && stop.stop_requested(); };

    try {
        if (stoppedNow())
            throw CancellationError();
        if (!waitFor(start + step.delay))
            throw CancellationError();
        switch (step.action) {
        case ScriptedStep::Action::HangUntilCancelled:
            waitFor(std::chrono::steady_clock::now() + std::chrono::hours(24));
            throw CancellationError();
        case ScriptedStep::Action::Fail:
            throw LanguageModelError(step.errorKind, step.description);
        case ScriptedStep::Action::Answer:
            if (stoppedNow())
                throw CancellationError();
            finish(index, ScriptedCall::Outcome::Answered);
            return step.content;
        case ScriptedStep::Action::AnswerJson: {
            if (stoppedNow())
                throw CancellationError();
            GeneratedContent content = GeneratedContent::fromJson(step.json);
            finish(index, ScriptedCall::Outcome::Answered);
            return content;
        }
        }
        throw LanguageModelError(LanguageModelError::Kind::Other, QStringLiteral("unscripted call"));
    } catch (const CancellationError &) {
        finish(index, ScriptedCall::Outcome::Cancelled);
        throw;
    } catch (...) {
        finish(index, ScriptedCall::Outcome::Failed);
        throw;
    }
}

} // namespace zn::lm
