#include "views/workspace/detail/InsightCardPresenter.h"

#include <gtest/gtest.h>

namespace zn {
namespace {

using A = CapabilityDetector::Availability;
using Kind = ReflectionItem::Kind;

// The detector's sentence for the model's state, as the card is given it.
const QString kDetail = QStringLiteral("No language model server is answering at http://127.0.0.1:8080. Reflections "
                                       "start when a compatible server runs there. Journaling and mood analysis "
                                       "still work.");

ReflectionItems items(const InsightSnapshot &insight, A availability, bool hasRetry)
{
    return insightcard::items(insight, availability, kDetail, hasRetry);
}

const QList<A> kAllAvailabilities{A::Available,  A::UnsupportedPlatform, A::DeviceNotEligible,
                                  A::NotEnabled, A::ModelNotReady,       A::FrameworkUnavailable};

InsightSnapshot withStatus(InsightStatus status)
{
    InsightSnapshot s;
    s.status = status;
    return s;
}

QStringList texts(const ReflectionItems &list)
{
    QStringList out;
    for (const ReflectionItem &item : list)
        out.append(item.text);
    return out;
}

bool hasButton(const ReflectionItems &list)
{
    return std::any_of(list.begin(), list.end(), [](const ReflectionItem &i) { return i.kind == Kind::Button; });
}

TEST(InsightCardPresenterTest, AvailabilityTexts)
{
    // The card gives the detector's own sentence whenever reflections
    // cannot run, and its promise when they can.
    for (A availability : kAllAvailabilities) {
        const QString expected = availability == A::Available
            ? QStringLiteral("A deeper reflection will appear here after analysis.")
            : kDetail;
        EXPECT_EQ(texts(items(withStatus(InsightStatus::Unavailable), availability, false)), QStringList{expected});
    }
    EXPECT_EQ(insightcard::title(), QStringLiteral("Reflection"));
    EXPECT_EQ(insightcard::symbolName(), QStringLiteral("sparkles"));
}

TEST(InsightCardPresenterTest, WaitingStatesShowProgressAndTheirWaitButton)
{
    for (A availability : kAllAvailabilities) {
        const ReflectionItems pending = items(withStatus(InsightStatus::Pending), availability, true);
        ASSERT_EQ(pending.size(), 2);
        EXPECT_EQ(pending[0].kind, Kind::Progress);
        EXPECT_EQ(pending[0].text, QStringLiteral("Reflection queued…"));
        EXPECT_EQ(pending[0].accessibleName, QStringLiteral("Generating reflection"));
        EXPECT_EQ(pending[1].kind, Kind::Button);
        EXPECT_EQ(pending[1].text, QStringLiteral("Skip wait"));
        EXPECT_EQ(pending[1].toolTip, QStringLiteral("Stop waiting and try again"));
        EXPECT_EQ(pending[1].buttonTone, ReflectionItem::ButtonTone::Quiet);

        const ReflectionItems generating = items(withStatus(InsightStatus::Generating), availability, true);
        ASSERT_EQ(generating.size(), 2);
        EXPECT_EQ(generating[0].text, QStringLiteral("Reflecting…"));
        EXPECT_EQ(generating[0].accessibleName, QStringLiteral("Generating reflection"));
        EXPECT_EQ(generating[1].text, QStringLiteral("Cancel wait"));
        EXPECT_EQ(generating[1].toolTip, QStringLiteral("Stop waiting and try again"));
    }
}

TEST(InsightCardPresenterTest, WithoutRetryNoStateHasAButton)
{
    for (InsightStatus status : {InsightStatus::None, InsightStatus::Pending, InsightStatus::Generating,
                                 InsightStatus::Ready, InsightStatus::Failed, InsightStatus::Unavailable}) {
        for (A availability : kAllAvailabilities) {
            InsightSnapshot s = withStatus(status);
            s.text = QStringLiteral("Summary");
            const ReflectionItems list = items(s, availability, false);
            EXPECT_FALSE(hasButton(list)) << int(status) << "/" << int(availability);
            EXPECT_FALSE(list.isEmpty()) << int(status) << "/" << int(availability);
        }
    }
}

TEST(InsightCardPresenterTest, NoneStateByAvailability)
{
    const ReflectionItems available = items(withStatus(InsightStatus::None), A::Available, true);
    EXPECT_EQ(texts(available),
              (QStringList{QStringLiteral("No reflection yet for this entry."), QStringLiteral("Generate reflection")}));
    EXPECT_EQ(available[1].buttonTone, ReflectionItem::ButtonTone::Accent);

    const ReflectionItems notReady = items(withStatus(InsightStatus::None), A::ModelNotReady, true);
    EXPECT_EQ(texts(notReady), QStringList{kDetail});

    // A stored reason wins over the availability when the model is off.
    InsightSnapshot gated = withStatus(InsightStatus::None);
    gated.failureMessage = QStringLiteral("Enhanced analysis is turned off in Settings.");
    EXPECT_EQ(texts(items(gated, A::NotEnabled, true)),
              QStringList{QStringLiteral("Enhanced analysis is turned off in Settings.")});
    // Available: the plain "no reflection yet" whatever was stored.
    EXPECT_EQ(texts(items(gated, A::Available, false)), QStringList{QStringLiteral("No reflection yet for this entry.")});
}

TEST(InsightCardPresenterTest, FailedAndUnavailableTexts)
{
    const ReflectionItems failed = items(withStatus(InsightStatus::Failed), A::Available, true);
    EXPECT_EQ(texts(failed),
              (QStringList{QStringLiteral("Reflection isn’t available right now."), QStringLiteral("Try again")}));

    InsightSnapshot cancelled = withStatus(InsightStatus::Failed);
    cancelled.failureMessage = QStringLiteral("Summary was cancelled. Tap Try again when you’re ready.");
    EXPECT_EQ(texts(items(cancelled, A::ModelNotReady, true)).first(), *cancelled.failureMessage);

    // Unavailable keeps the stored reason for as long as it is stored.
    InsightSnapshot off = withStatus(InsightStatus::Unavailable);
    off.failureMessage = QStringLiteral("Enhanced analysis is turned off in Settings.");
    for (A availability : kAllAvailabilities)
        EXPECT_EQ(texts(items(off, availability, true)), QStringList{*off.failureMessage});
    for (A availability : kAllAvailabilities)
        EXPECT_EQ(texts(items(withStatus(InsightStatus::Unavailable), availability, true)),
                  QStringList{CapabilityDetector::placeholderText(availability, kDetail)});
}

TEST(InsightCardPresenterTest, ReadyWithoutTextShowsTheUnavailableText)
{
    InsightSnapshot none = withStatus(InsightStatus::Ready);
    EXPECT_EQ(texts(items(none, A::Available, true)),
              QStringList{QStringLiteral("A deeper reflection will appear here after analysis.")});
    none.text = QString();
    none.failureMessage = QStringLiteral("Stored reason");
    EXPECT_EQ(texts(items(none, A::Available, true)), QStringList{QStringLiteral("Stored reason")});

    // Spaces count as written: they are the summary.
    InsightSnapshot spaces = withStatus(InsightStatus::Ready);
    spaces.text = QStringLiteral("   ");
    const ReflectionItems body = items(spaces, A::Available, true);
    ASSERT_EQ(body.size(), 1);
    EXPECT_EQ(body[0].textStyle, ReflectionItem::TextStyle::Summary);
    EXPECT_EQ(body[0].text, QStringLiteral("   "));
}

TEST(InsightCardPresenterTest, ReflectionBodyPartsInOrder)
{
    InsightSnapshot s = withStatus(InsightStatus::Ready);
    s.text = QStringLiteral("  A calm week.  ");
    s.emotionalTone = QStringLiteral("\n\n Quietly content.\n");
    s.keyPoints = {QStringLiteral("A walk"), QStringLiteral(" Birdsong ")};
    s.closingFocus = QStringLiteral(" Rest. ");
    s.themes = {QStringLiteral("nature"), QStringLiteral("calm"), QStringLiteral("rest"), QStringLiteral("sleep"),
                QStringLiteral("home")};
    const ReflectionItems body = items(s, A::NotEnabled, true);
    ASSERT_EQ(body.size(), 5);
    // The summary as stored, the tone and focus trimmed.
    EXPECT_EQ(body[0].text, QStringLiteral("  A calm week.  "));
    EXPECT_EQ(body[0].lineSpacing, 5);
    EXPECT_EQ(body[1].text, QStringLiteral("Quietly content."));
    EXPECT_EQ(body[1].textStyle, ReflectionItem::TextStyle::Detail);
    EXPECT_EQ(body[2].kind, Kind::Bullets);
    EXPECT_EQ(body[2].text, QStringLiteral("Moments"));
    EXPECT_EQ(body[2].list, (QStringList{QStringLiteral("A walk"), QStringLiteral(" Birdsong ")}));
    EXPECT_EQ(body[3].text, QStringLiteral("Rest."));
    EXPECT_EQ(body[3].textStyle, ReflectionItem::TextStyle::Focus);
    EXPECT_EQ(body[4].kind, Kind::Chips);
    EXPECT_EQ(body[4].list, (QStringList{QStringLiteral("nature"), QStringLiteral("calm"), QStringLiteral("rest")}));
    EXPECT_FALSE(hasButton(body));
}

TEST(InsightCardPresenterTest, BlankOptionalPartsAreLeftOut)
{
    InsightSnapshot s = withStatus(InsightStatus::Ready);
    s.text = QStringLiteral("Only a summary.");
    s.emotionalTone = QStringLiteral(" \n\t ");
    s.closingFocus = QStringLiteral("   ");
    const ReflectionItems body = items(s, A::Available, true);
    EXPECT_EQ(texts(body), QStringList{QStringLiteral("Only a summary.")});

    // Fifty key points: every one is kept.
    for (int i = 0; i < 50; ++i)
        s.keyPoints.append(QStringLiteral("Point %1").arg(i));
    const ReflectionItems many = items(s, A::Available, true);
    ASSERT_EQ(many.size(), 2);
    EXPECT_EQ(many[1].list.size(), 50);
}

} // namespace
} // namespace zn
