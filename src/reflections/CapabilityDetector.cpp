#include "reflections/CapabilityDetector.h"

#include "platform/base/Clock.h"
#include "platform/model/LanguageModel.h"
#include "platform/model/LocalServerLanguageModel.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace zn {

namespace {

// Every sentence a reflection area can give for the model's state, in one
// place.
const QString kRequirementSuffix = QStringLiteral(
    " Journaling and on-device NLP still work; local language model reflections are unavailable.");
const QString kReady = QStringLiteral("The local language model is ready. Reflections stay on this computer.");
const QString kReadsDisagree =
    QStringLiteral("The local language model isn’t fully ready yet. Try again in a moment.");
const QString kGettingReady =
    QStringLiteral("The local language model is still getting ready. Mood analysis already works.");
const QString kUnaffected = QStringLiteral(" Journaling is unaffected.");
const QString kNoModel = QStringLiteral("The local language model is unavailable.");
const QString kReflectionToCome = QStringLiteral("A deeper reflection will appear here after analysis.");

QString noServerSentence(const QString &address)
{
    if (address.isEmpty())
        return QStringLiteral("No language model server is answering on this computer. Reflections start when a "
                              "compatible server runs here. Journaling and mood analysis still work.");
    return QStringLiteral("No language model server is answering at %1. Reflections start when a compatible "
                          "server runs there. Journaling and mood analysis still work.")
        .arg(address);
}

} // namespace

CapabilityDetector::CapabilityDetector(lm::LanguageModel *model, Clock *clock, QObject *parent)
    : QObject(parent), m_model(model), m_clock(clock ? clock : &Clock::system()), m_recheck(*m_clock, this)
{
    // The model server's probe answers in the background; the verdict
    // follows it rather than waiting for the next caller to ask.
    if (auto *server = dynamic_cast<lm::LocalServerLanguageModel *>(model))
        connect(server, &lm::LocalServerLanguageModel::availabilityChanged, this, &CapabilityDetector::refresh,
                Qt::QueuedConnection);
}

QString CapabilityDetector::modelAddress() const
{
    return m_model ? m_model->address() : QString();
}

QString CapabilityDetector::placeholderText(Availability availability, const QString &statusDetail)
{
    return availability == Availability::Available ? kReflectionToCome : statusDetail;
}

void CapabilityDetector::refresh()
{
    setIsChecking(false);
    setLastRefreshed(m_clock->now());

    if (const auto requirement = systemRequirementMessage()) {
        setModelState(std::nullopt);
        setVerdict(Availability::UnsupportedPlatform, *requirement + kRequirementSuffix);
        return;
    }

    // Without a model there is nothing to ask: the framework is simply absent.
    const lm::Availability state =
        m_model ? m_model->availability() : lm::Availability::no(lm::UnavailableReason::Other);
    setModelState(state);
    if (m_model && m_model->isAvailable()) {
        setVerdict(Availability::Available, kReady);
        return;
    }
    if (state.available) {
        // The two reads disagree: the model is on its way but not there yet.
        setVerdict(Availability::ModelNotReady, kReadsDisagree);
        return;
    }
    switch (state.reason) {
    case lm::UnavailableReason::NoServer:
        setVerdict(Availability::FrameworkUnavailable, noServerSentence(modelAddress()));
        return;
    case lm::UnavailableReason::ModelNotReady:
        setVerdict(Availability::ModelNotReady, kGettingReady);
        return;
    case lm::UnavailableReason::Other:
        break;
    }
    setVerdict(Availability::FrameworkUnavailable, (state.detail.isEmpty() ? kNoModel : state.detail) + kUnaffected);
}

void CapabilityDetector::setRechecking(bool wanted)
{
    if (wanted == m_recheck.isActive())
        return;
    if (wanted)
        scheduleRecheck();
    else
        m_recheck.stop();
}

void CapabilityDetector::scheduleRecheck()
{
    m_recheck.start(kRecheckInterval, [this] {
        // The next shot first: whoever hears this refresh may call it off.
        scheduleRecheck();
        refresh();
    });
}

void CapabilityDetector::setVerdict(Availability availability, const QString &detail)
{
    setAvailability(availability);
    setStatusDetail(detail);
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

QString CapabilityDetector::operatingSystemName()
{
    return QSysInfo::prettyProductName();
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

void CapabilityDetector::setModelState(const std::optional<lm::Availability> &value)
{
    if (m_modelState == value)
        return;
    m_modelState = value;
    Q_EMIT modelStateChanged();
}

void CapabilityDetector::setLastRefreshed(const QDateTime &value)
{
    if (m_lastRefreshed && *m_lastRefreshed == value)
        return;
    m_lastRefreshed = value;
    Q_EMIT lastRefreshedChanged();
}

} // namespace zn
