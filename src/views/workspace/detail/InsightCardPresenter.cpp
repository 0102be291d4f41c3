#include "views/workspace/detail/InsightCardPresenter.h"

#include "core/JournalEntry.h"
#include "core/TextUnits.h"

#include <QCoreApplication>

namespace zn {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("InsightCardView", text);
}

// Whitespace-only texts count as missing for the tone and the focus.
std::optional<QString> trimmedPresent(const std::optional<QString> &value)
{
    if (!value)
        return std::nullopt;
    QString trimmed = text::trimmed(*value);
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

ReflectionItem progressRow(const QString &text)
{
    return ReflectionItem::makeProgress(text, tr("Generating reflection"));
}

ReflectionItem waitButton(const QString &title)
{
    return ReflectionItem::makeButton(title, ReflectionItem::ButtonTone::Quiet, tr("Stop waiting and try again"));
}

ReflectionItem message(const QString &text)
{
    return ReflectionItem::makeText(text, ReflectionItem::TextStyle::Message);
}

// The stored reason first, so the card says why the entry was gated then.
QString unavailableText(const InsightSnapshot &insight, CapabilityDetector::Availability availability,
                        const QString &statusDetail)
{
    return insight.failureMessage.value_or(CapabilityDetector::placeholderText(availability, statusDetail));
}

ReflectionItems reflectionBody(const InsightSnapshot &insight)
{
    ReflectionItems body;
    // The summary is shown exactly as stored.
    body.append(ReflectionItem::makeText(*insight.text, ReflectionItem::TextStyle::Summary, 5));
    if (const auto tone = trimmedPresent(insight.emotionalTone))
        body.append(ReflectionItem::makeText(*tone, ReflectionItem::TextStyle::Detail, 4));
    if (!insight.keyPoints.isEmpty())
        body.append(ReflectionItem::makeBullets(tr("Moments"), insight.keyPoints, 2));
    if (const auto focus = trimmedPresent(insight.closingFocus))
        body.append(ReflectionItem::makeText(*focus, ReflectionItem::TextStyle::Focus, 0, 2));
    if (!insight.themes.isEmpty())
        body.append(ReflectionItem::makeChips(insight.themes.mid(0, insightcard::kThemeChipLimit), 4));
    return body;
}

} // namespace

InsightSnapshot InsightSnapshot::of(const JournalEntry &entry)
{
    InsightSnapshot s;
    s.status = entry.insightStatus();
    s.text = entry.insightText();
    s.failureMessage = entry.insightFailureMessage();
    s.emotionalTone = entry.insightEmotionalTone();
    s.closingFocus = entry.insightClosingFocus();
    s.keyPoints = entry.insightKeyPoints();
    s.themes = entry.themes();
    return s;
}

namespace insightcard {

QString title()
{
    return tr("Reflection");
}

QString symbolName()
{
    return QStringLiteral("sparkles");
}

ReflectionItems items(const InsightSnapshot &insight, CapabilityDetector::Availability availability,
                      const QString &statusDetail, bool hasRetry)
{
    using A = CapabilityDetector::Availability;
    ReflectionItems out;
    switch (insight.status) {
    case InsightStatus::Pending:
        out.append(progressRow(tr("Reflection queued…")));
        if (hasRetry)
            out.append(waitButton(tr("Skip wait")));
        break;
    case InsightStatus::Generating:
        out.append(progressRow(tr("Reflecting…")));
        if (hasRetry)
            out.append(waitButton(tr("Cancel wait")));
        break;
    case InsightStatus::None:
        if (availability == A::Available)
            out.append(message(tr("No reflection yet for this entry.")));
        else
            out.append(message(unavailableText(insight, availability, statusDetail)));
        if (hasRetry && availability == A::Available)
            out.append(ReflectionItem::makeButton(tr("Generate reflection"), ReflectionItem::ButtonTone::Accent));
        break;
    case InsightStatus::Ready:
        // Untrimmed on purpose: a summary of spaces still counts as written.
        if (insight.text && !insight.text->isEmpty())
            out.append(reflectionBody(insight));
        else
            out.append(message(unavailableText(insight, availability, statusDetail)));
        break;
    case InsightStatus::Failed:
        out.append(message(insight.failureMessage.value_or(tr("Reflection isn’t available right now."))));
        if (hasRetry)
            out.append(ReflectionItem::makeButton(tr("Try again"), ReflectionItem::ButtonTone::Accent));
        break;
    case InsightStatus::Unavailable:
        out.append(message(unavailableText(insight, availability, statusDetail)));
        break;
    }
    return out;
}

} // namespace insightcard
} // namespace zn
