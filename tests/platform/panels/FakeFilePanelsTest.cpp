#include "platform/panels/FakeFilePanels.h"

#include <gtest/gtest.h>

using namespace zn;

namespace {

TEST(FakeFilePanelsTest, ScriptedAnswersComeInOrderAndAtOnce)
{
    FakeFilePanels panels;
    panels.scriptAnswer(QStringLiteral("/tmp/a.json"));
    panels.scriptCancel();
    QList<std::optional<QString>> answers;
    SavePanelRequest save;
    save.title = QStringLiteral("Save it");
    panels.chooseSaveLocation(save, [&](std::optional<QString> p) { answers.append(p); });
    panels.chooseFileToOpen({}, [&](std::optional<QString> p) { answers.append(p); });
    ASSERT_EQ(answers.size(), 2);
    EXPECT_EQ(answers[0], QStringLiteral("/tmp/a.json"));
    EXPECT_FALSE(answers[1].has_value());
    EXPECT_EQ(panels.saveRequests().first().title, QStringLiteral("Save it"));
    EXPECT_EQ(panels.openRequests().size(), 1);
    EXPECT_EQ(panels.requestCount(), 2);
    EXPECT_EQ(panels.waitingCount(), 0);
}

TEST(FakeFilePanelsTest, UnscriptedRequestsWaitAndAnswerOnceEach)
{
    FakeFilePanels panels;
    int calls = 0;
    std::optional<QString> last;
    panels.chooseFileToOpen({}, [&](std::optional<QString> p) {
        ++calls;
        last = p;
        // A completion may start the next request straight away.
        panels.chooseSaveLocation({}, [&](std::optional<QString>) { ++calls; });
    });
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(panels.waitingCount(), 1);
    EXPECT_TRUE(panels.answerNext(QStringLiteral("/x")));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(last, QStringLiteral("/x"));
    EXPECT_EQ(panels.waitingCount(), 1); // the one the completion started
    EXPECT_TRUE(panels.answerNext(std::nullopt));
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(panels.answerNext(std::nullopt));
}

} // namespace
