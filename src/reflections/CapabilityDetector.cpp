#include "reflections/CapabilityDetector.h"

#include "platform/base/Clock.h"
#include "platform/model/LanguageModel.h"
#include "platform/model/LocalServerLanguageModel.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace zn {

namespace {

const QString kRequirementSuffix =
    QStringLiteral(" Journaling and on-device NLP still work; Foundation Models reflections are unavailable.");

} // namespace

CapabilityDetector::CapabilityDetector(lm::LanguageModel *model, Clock *clock, QObject *parent)
    : QObject(parent), m_model(model), m_clock(clock ? clock : &Clock::system())
{
    // The model server's probe answers in the background; the verdict
    // follows it rather than waiting for the next caller to ask.
    if (auto *server = dynamic_cast<lm::LocalServerLanguageModel *>(model))
        connect(server, &lm::LocalServerLanguageModel::availabilityChanged, this, &CapabilityDetector::refresh,
                Qt::QueuedConnection);
}

void CapabilityDetector::refresh()
{
    setIsChecking(false);
    setLastRefreshed(m_clock->now());

    if (const auto requirement = systemRequirementMessage()) {
        setAvailability(Availability::UnsupportedPlatform);
        setStatusDetail(*requirement + kRequirementSuffix);
        return;
    }

    if (m_model && m_model->isAvailable()) {
        setAvailability(Availability::Available);
        setStatusDetail(QStringLiteral("On-device Foundation Models are ready. Reflections stay on this Mac."));
        return;
    }

    // Without a model there is nothing to ask: the framework is simply absent.
    const lm::Availability state =
        m_model ? m_model->availability() : lm::Availability::no(lm::UnavailableReason::Other);
    if (state.available) {
        // The two reads disagree: the model is on its way but not there yet.
        setAvailability(Availability::ModelNotReady);
        setStatusDetail(QStringLiteral("Apple Intelligence isn’t fully ready yet. Try again in a moment."));
        return;
    }
    switch (state.reason) {
    case lm::UnavailableReason::DeviceNotEligible:
        setAvailability(Availability::DeviceNotEligible);
        setStatusDetail(QStringLiteral("This Mac isn’t eligible for Apple Intelligence, so enhanced reflections "
                                       "can’t run. Your journal and mood language still work."));
        return;
    case lm::UnavailableReason::AppleIntelligenceNotEnabled:
        setAvailability(Availability::NotEnabled);
        setStatusDetail(QStringLiteral("Turn on Apple Intelligence in System Settings to enable enhanced "
                                       "reflections. Basic mood analysis still works offline."));
        return;
    case lm::UnavailableReason::ModelNotReady:
        setAvailability(Availability::ModelNotReady);
        setStatusDetail(QStringLiteral("Apple Intelligence models are still downloading or warming up. "
                                       "Reflections will appear when ready."));
        return;
    case lm::UnavailableReason::Other:
        break;
    }
    setAvailability(Availability::FrameworkUnavailable);
    setStatusDetail(
        QStringLiteral("Foundation Models reported an unknown unavailable state. Journaling is unaffected."));
}

std::optional<QString> CapabilityDetector::systemRequirementMessage() const
{
    // Any Linux system that runs us meets the requirement; whether a model
    // is there is the model's own answer.
    return std::nullopt;
}

QString CapabilityDetector::operatingSystemVersionString()
{
    return versionTriple(QSysInfo::kernelVersion());
}

bool CapabilityDetector::isAppleSilicon()
{
    return QSysInfo::currentCpuArchitecture() == QLatin1String("arm64");
}

QString CapabilityDetector::versionTriple(const QString &release)
{
    static const QRegularExpression leading(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const auto match = leading.match(release.trimmed());
    QStringList parts;
    for (int i = 1; i <= 3; ++i) {
        const QString part = match.hasMatch() ? match.captured(i) : QString();
        // Strip leading zeros the way a number would print, keeping "0".
        bool ok = false;
        const qulonglong value = part.toULongLong(&ok);
        parts << (ok ? QString::number(value) : QStringLiteral("0"));
    }
    return parts.join(QLatin1Char('.'));
}

void CapabilityDetector::setAvailability(Availability value)
{
    if (m_availability == value)
        return;
    m_availability = value;
    Q_EMIT availabilityChanged();
}

void CapabilityDetector::setStatusDetail(const QString &value)
{
    if (m_statusDetail == value)
        return;
    m_statusDetail = value;
    Q_EMIT statusDetailChanged();
}

void CapabilityDetector::setIsChecking(bool value)
{
    if (m_isChecking == value)
        return;
    m_isChecking = value;
    Q_EMIT isCheckingChanged();
}

void CapabilityDetector::setLastRefreshed(const QDateTime &value)
{
    if (m_lastRefreshed && *m_lastRefreshed == value)
        return;
    m_lastRefreshed = value;
    Q_EMIT lastRefreshedChanged();
}

} // namespace zn
