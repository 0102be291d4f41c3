#pragma once

#include "platform/model/LanguageModel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace zn::test {

// The error a generation ended with; a test failure when it returned instead.
template <typename Error, typename Run>
Error expectGenerateError(Run &&run)
{
    try {
        run();
    } catch (const Error &e) {
        return e;
    }
    ADD_FAILURE() << "expected a GenerateError";
    return Error(Error::Kind::GenerationFailed, QStringLiteral("none"));
}

// Runs one generation on a worker thread, as the app does, so the test thread
// can drive the clock or cancel meanwhile.
template <typename Error>
class GenerationOnWorker
{
public:
    template <typename Run>
    explicit GenerationOnWorker(Run run)
        : m_thread([this, run] {
            try {
                run();
            } catch (const Error &e) {
                m_error = e;
            }
        })
    {
    }
    ~GenerationOnWorker()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // Waits for the end; the error it ended with.
    Error error()
    {
        m_thread.join();
        if (!m_error) {
            ADD_FAILURE() << "expected a GenerateError";
            return Error(Error::Kind::GenerationFailed, QStringLiteral("none"));
        }
        return *m_error;
    }

private:
    std::optional<Error> m_error;
    std::thread m_thread;
};

// A model that keeps working past a stop and then answers anyway, late.
class LateAnsweringModel final : public lm::LanguageModel
{
public:
    explicit LateAnsweringModel(lm::GeneratedContent answer)
        : m_answer(std::move(answer))
    {
    }

    lm::Availability availability() const override { return lm::Availability::yes(); }
    int contextSize() const override { return 4096; }
    int tokenCount(const QString &, std::stop_token) override { return 200; }
    std::unique_ptr<lm::LanguageModelSession> makeSession(const QString &) override
    {
        return std::make_unique<Session>(*this);
    }

    std::atomic<int> calls{0};

private:
    struct Session final : lm::LanguageModelSession
    {
        explicit Session(LateAnsweringModel &owner)
            : owner(owner)
        {
        }
        QString instructions() const override { return {}; }
        lm::GeneratedContent respond(const QString &, const lm::GenerationSchema &, bool,
                                     const lm::GenerationOptions &, std::stop_token stop) override
        {
            ++owner.calls;
            while (!stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return owner.m_answer;
        }
        LateAnsweringModel &owner;
    };

    lm::GeneratedContent m_answer;
};

} // namespace zn::test
