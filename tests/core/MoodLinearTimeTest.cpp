#include "core/EntryText.h"
#include "core/MoodAnalysis.h"
#include "core/TextUnits.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <functional>

namespace zn {
namespace {

// Hostile texts of `units` UTF-16 code units.
QString hostile(const QString &kind, qsizetype units)
{
    QString s;
    s.reserve(units + 64);
    QRandomGenerator rng(20261207);
    while (s.size() < units) {
        if (kind == u"emoji") {
            s += QStringLiteral("😀👍🏽❤️👨‍👩‍👧‍👦😡");
        } else if (kind == u"flags") {
            s += QStringLiteral("🇫🇷🇩🇪🇯🇵🇧🇷");
        } else if (kind == u"decomposed") {
            // Letters with marks that compose, marks in non-canonical
            // order, and marks that compose with nothing.
            s += QStringLiteral("e\u0301o\u0308a\u0316\u0301 n\u0303q\u0344x");
            s += QString(int(rng.bounded(1, 40)), QChar(0x0301));
        } else if (kind == u"thai") {
            s += QStringLiteral("วันนี้อากาศดีมากฉันไปเดินเล่นที่สวนสาธารณะกับเพื่อน");
        } else {
            // Any code unit, lone surrogates included.
            s += QChar(char16_t(rng.bounded(1, 0x10000)));
        }
    }
    s.truncate(units);
    return s;
}

qint64 nanoseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed();
}

// Every text path takes time in proportion to the length of the text: the
// megabyte takes at most twenty times what 64 times the small text takes,
// which a quadratic path (4096 times) cannot meet, while a loaded machine
// has room.
TEST(MoodLinearTime, HostileTextOfAMegabyteTakesTimeInProportion)
{
    constexpr qsizetype kSmall = 8 * 1024;
    constexpr qsizetype kLarge = 512 * 1024; // one megabyte of UTF-16
    constexpr qint64 kFloor = 200'000;       // 0.2 ms: timer and cache noise
    using Step = std::function<void(const QString &)>;
    const std::vector<std::pair<const char *, Step>> steps{
        {"score", [](const QString &t) { (void)MoodAnalysis::sentimentScore(t); }},
        {"keywords", [](const QString &t) { (void)MoodAnalysis::extractKeywords(t); }},
        {"title", [](const QString &t) { (void)entryTitle(t); }},
        {"count", [](const QString &t) { (void)text::graphemeCount(t); }},
        {"characters", [](const QString &t) { (void)text::graphemes(t); }},
    };
    (void)MoodAnalysis::sentimentScore(QStringLiteral("Warm up: a good day."));
    (void)MoodAnalysis::extractKeywords(QStringLiteral("Warm up: a good day."));
    for (const char *kind : {"emoji", "flags", "decomposed", "thai", "random"}) {
        const QString small = hostile(QLatin1String(kind), kSmall);
        const QString large = hostile(QLatin1String(kind), kLarge);
        for (const auto &[name, step] : steps) {
            qint64 unit = std::numeric_limits<qint64>::max();
            for (int run = 0; run < 3; ++run)
                unit = std::min(unit, nanoseconds([&] { step(small); }));
            const qint64 allowed = 20 * (kLarge / kSmall) * std::max(unit, kFloor);
            const qint64 took = nanoseconds([&] { step(large); });
            EXPECT_LE(took, allowed) << kind << " " << name << ": " << took / 1000000 << " ms for 1 MB, "
                                     << unit / 1000 << " µs for 16 kB";
        }
    }
}

// What the entry text helpers give for such texts is still sound.
TEST(MoodLinearTime, HostileTextStillGivesSoundResults)
{
    for (const char *kind : {"emoji", "flags", "decomposed", "thai", "random"}) {
        const QString text = hostile(QLatin1String(kind), 64 * 1024);
        const double score = MoodAnalysis::sentimentScore(text);
        EXPECT_TRUE(score >= -1.0 && score <= 1.0) << kind;
        EXPECT_LE(MoodAnalysis::extractKeywords(text).size(), 25) << kind;
        const int count = text::graphemeCount(text);
        EXPECT_EQ(count, text::graphemes(text).size()) << kind;
        EXPECT_EQ(text::graphemes(text).join(QString()), text) << kind;
        EXPECT_LE(text::graphemeCount(entryTitle(text)), 49) << kind;
    }
    // Emoji scores do not depend on how many there are before them.
    EXPECT_GT(MoodAnalysis::sentimentScore(hostile(QStringLiteral("flags"), 20000) + QStringLiteral(" 😀")), 0.0);
}

} // namespace
} // namespace zn
