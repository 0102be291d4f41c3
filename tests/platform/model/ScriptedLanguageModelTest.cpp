#include "platform/model/ScriptedLanguageModel.h"

#include "TestThreads.h"

#include <gtest/gtest.h>

#include <QtConcurrent>

using namespace std::chrono_literals;

namespace zn::lm {

namespace {

const GenerationSchema kSchema{"Thing", "A thing.", {{"name", ValueKind::Text, "Its name."}}};

GeneratedContent named(const QString &name)
{
    GeneratedContent content;
    content.setText("name", name);
    return content;
}

QString ask(LanguageModel &model, const QString &prompt, std::stop_token stop = {})
{
    GenerationOptions options;
    options.maximumResponseTokens = 768;
    return model.makeSession("Instructions " + prompt)->respond(prompt, kSchema, true, options, stop).text("name");
}

} // namespace

TEST(ScriptedModel, AnswersInScriptOrderThenByResponderThenFailsLoudly)
{
    ScriptedLanguageModel model;
    model.enqueue(ScriptedStep::answer(named("first")));
    model.enqueue(ScriptedStep::answerJson(R"({"name":"second"})"));
    EXPECT_EQ(ask(model, "a"), "first");
    EXPECT_EQ(ask(model, "b"), "second");
    model.setResponder([](const ScriptedCall &call) { return ScriptedStep::answer(named("echo " + call.prompt)); });
    EXPECT_EQ(ask(model, "c"), "echo c");
    model.setResponder(nullptr);
    try {
        ask(model, "d");
        ADD_FAILURE();
    } catch (const LanguageModelError &e) {
        EXPECT_EQ(e.description(), "unscripted call");
    }

    const auto calls = model.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].instructions, "Instructions a");
    EXPECT_EQ(calls[1].prompt, "b");
    EXPECT_EQ(calls[2].schemaName, "Thing");
    EXPECT_TRUE(calls[2].includeSchemaInPrompt);
    EXPECT_EQ(calls[2].maximumResponseTokens, 768);
    EXPECT_EQ(calls[0].outcome, ScriptedCall::Outcome::Answered);
    EXPECT_EQ(calls[3].outcome, ScriptedCall::Outcome::Failed);
}

TEST(ScriptedModel, FailuresOverflowAndUnreadableAnswersKeepTheirKinds)
{
    ScriptedLanguageModel model;
    model.enqueue(ScriptedStep::overflow());
    model.enqueue(ScriptedStep::fail("model crashed"));
    model.enqueue(ScriptedStep::answerJson("not json"));
    model.enqueue(ScriptedStep::answerJson(R"({"other":1})"));
    auto kindOf = [&] {
        try {
            ask(model, "x");
        } catch (const LanguageModelError &e) {
            return e.kind();
        }
        return LanguageModelError::Kind::Other;
    };
    EXPECT_EQ(kindOf(), LanguageModelError::Kind::ExceededContextWindow);
    EXPECT_EQ(kindOf(), LanguageModelError::Kind::Other);
    EXPECT_EQ(kindOf(), LanguageModelError::Kind::DecodingFailure);
    EXPECT_EQ(kindOf(), LanguageModelError::Kind::DecodingFailure); // the typed read of "name" fails
}

TEST(ScriptedModel, HangingCallEndsPromptlyWhenStoppedAndAStoppedCallNeverStarts)
{
    ScriptedLanguageModel model;
    model.enqueue(ScriptedStep::hangUntilCancelled());
    std::stop_source stop;
    QFuture<bool> call = QtConcurrent::run([&] {
        try {
            ask(model, "x", stop.get_token());
        } catch (const CancellationError &) {
            return true;
        }
        return false;
    });
    ASSERT_TRUE(model.waitForCalls(1));
    EXPECT_EQ(model.runningCalls(), 1);
    std::this_thread::sleep_for(20ms);
    const auto started = std::chrono::steady_clock::now();
    stop.request_stop();
    call.waitForFinished();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 200ms);
    EXPECT_TRUE(call.result());
    EXPECT_EQ(model.calls()[0].outcome, ScriptedCall::Outcome::Cancelled);
    EXPECT_EQ(model.runningCalls(), 0);

    model.enqueue(ScriptedStep::answer(named("never")));
    EXPECT_THROW(ask(model, "y", stop.get_token()), CancellationError);
}

TEST(ScriptedModel, DelaysAreCancellableUnlessTheCallIgnoresCancellation)
{
    ScriptedLanguageModel model;
    std::stop_source stopped;
    stopped.request_stop();

    model.enqueue(ScriptedStep::answer(named("late")).after(40ms));
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(model, "a"), "late");
    EXPECT_GE(std::chrono::steady_clock::now() - started, 40ms);

    // Deaf for 100 ms: a stop that is already pending is seen only then.
    model.enqueue(ScriptedStep::answer(named("x")).after(10s).ignoringCancellationFor(100ms));
    started = std::chrono::steady_clock::now();
    EXPECT_THROW(ask(model, "b", stopped.get_token()), CancellationError);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, 100ms);
    EXPECT_LT(took, 2s);

    // A deaf call that finishes within its deaf stretch answers anyway.
    model.enqueue(ScriptedStep::answer(named("done")).after(20ms).ignoringCancellationFor(200ms));
    EXPECT_EQ(ask(model, "c", stopped.get_token()), "done");
    // A failure inside the deaf stretch is still a failure, not a cancellation.
    model.enqueue(ScriptedStep::fail("boom").ignoringCancellationFor(50ms));
    EXPECT_THROW(ask(model, "d", stopped.get_token()), LanguageModelError);
}

TEST(ScriptedModel, AvailabilityContextAndTokenCountsAreScriptable)
{
    ScriptedLanguageModel model;
    EXPECT_TRUE(model.isAvailable());
    for (UnavailableReason reason : {UnavailableReason::NoServer, UnavailableReason::ModelNotReady,
                                     UnavailableReason::Other}) {
        model.setUnavailable(reason);
        EXPECT_EQ(model.availability(), Availability::no(reason));
        EXPECT_FALSE(model.isAvailable());
    }
    model.setAvailability(Availability::no(UnavailableReason::Other, "The server said no."));
    EXPECT_EQ(model.availability().detail, "The server said no.");
    model.setIsAvailableOverride(true); // the two reads may disagree
    EXPECT_TRUE(model.isAvailable());
    EXPECT_FALSE(model.availability().available);
    EXPECT_EQ(model.availabilityReads(), 10);
    EXPECT_TRUE(model.address().isEmpty());
    model.setAddress("http://127.0.0.1:8080");
    EXPECT_EQ(model.address(), "http://127.0.0.1:8080");

    model.setContextSize(0);
    EXPECT_EQ(model.contextSize(), 0);
    model.setTokenCount(77);
    EXPECT_EQ(model.tokenCount("abc", {}), 77);
    model.setTokenCounter([](const QString &text) { return int(text.size()) * 2; });
    EXPECT_EQ(model.tokenCount("abc", {}), 6);
    model.setTokenCountFails(true);
    EXPECT_THROW(model.tokenCount("abc", {}), LanguageModelError);
    EXPECT_EQ(model.tokenCountTexts(), (QStringList{"abc", "abc", "abc"}));
}

} // namespace zn::lm
