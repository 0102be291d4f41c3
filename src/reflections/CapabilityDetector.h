#pragma once

#include "platform/base/Clock.h"
#include "platform/model/LanguageModel.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

namespace zn {


// Says whether language-model reflections can run right now and, if not,
// why, in one sentence for the user. Every screen that explains why there
// is no reflection shows this sentence, so the reason reads the same
// everywhere. Lives on the main thread; changes when someone calls
// refresh(), which reads cached model state and never blocks, when a
// model server announces that its availability changed, and on its own at
// an interval while someone waits for a model (setRechecking()).
class CapabilityDetector : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Availability availability READ availability NOTIFY availabilityChanged)
    Q_PROPERTY(QString statusDetail READ statusDetail NOTIFY statusDetailChanged)
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY isCheckingChanged)
    Q_PROPERTY(QDateTime lastRefreshed READ lastRefreshedOrNull NOTIFY lastRefreshedChanged)
public:
    // A model server gives only Available, ModelNotReady (it answers, its
    // model is loading) and FrameworkUnavailable (nothing answers, or
    // anything else); UnsupportedPlatform follows systemRequirementMessage.
    // The other two cases are kept so stored and shared values keep their
    // meaning, and never arise here.
    enum class Availability : quint8 {
        Available,
        UnsupportedPlatform,
        DeviceNotEligible,
        NotEnabled,
        ModelNotReady,
        FrameworkUnavailable,
    };
    Q_ENUM(Availability)

    // `model` and `clock` must outlive the detector; no model reads as a
    // framework that is not there, no clock as the system clock.
    explicit CapabilityDetector(lm::LanguageModel *model = nullptr, Clock *clock = nullptr,
                                QObject *parent = nullptr);

    Availability availability() const { return m_availability; }
    QString statusDetail() const { return m_statusDetail; }
    bool isChecking() const { return m_isChecking; }
    std::optional<QDateTime> lastRefreshed() const { return m_lastRefreshed; }
    // What the model said at the last refresh (none before the first one,
    // or when the system requirement already decided).
    std::optional<lm::Availability> modelState() const { return m_modelState; }
    // Where the user makes the model available: the model server's address.
    QString modelAddress() const;

    // What a reflection area shows when it has no reflection: a promise
    // while reflections can run, else the status detail.
    static QString placeholderText(Availability availability, const QString &statusDetail);
    QString placeholderText() const { return placeholderText(m_availability, m_statusDetail); }

    void refresh();

    // While wanted, refresh() runs again every kRecheckInterval on the
    // clock, so a model server that starts later is noticed without anyone
    // asking. A model server's refresh only starts a probe in the
    // background, at most one at a time.
    static constexpr std::chrono::seconds kRecheckInterval{10};
    void setRechecking(bool wanted);
    bool isRechecking() const { return m_recheck.isActive(); }

    // Why this system cannot run reflections at all; none on Linux, where
    // the model's own availability decides. Virtual so a test can stand in
    // for a system that falls short.
    virtual std::optional<QString> systemRequirementMessage() const;

    // The running kernel's release as "major.minor.patch".
    static QString operatingSystemVersionString();
    // The operating system's own name and version, e.g. "Debian GNU/Linux
    // 12 (bookworm)".
    static QString operatingSystemName();

    // "major.minor.patch" of the leading numbers of a release string such
    // as "6.1.0-18-amd64"; missing parts read as 0.
    static QString versionTriple(const QString &release);

Q_SIGNALS:
    void availabilityChanged();
    void statusDetailChanged();
    void isCheckingChanged();
    void lastRefreshedChanged();
    void modelStateChanged();

private:
    QDateTime lastRefreshedOrNull() const { return m_lastRefreshed.value_or(QDateTime()); }
    void setAvailability(Availability value);
    void setStatusDetail(const QString &value);
    void setIsChecking(bool value);
    void setLastRefreshed(const QDateTime &value);
    void setModelState(const std::optional<lm::Availability> &value);
    void setVerdict(Availability availability, const QString &detail);
    void scheduleRecheck();

    lm::LanguageModel *m_model;
    Clock *m_clock;
    Availability m_availability = Availability::FrameworkUnavailable;
    QString m_statusDetail = QStringLiteral("Checking…");
    bool m_isChecking = true;
    std::optional<QDateTime> m_lastRefreshed;
    std::optional<lm::Availability> m_modelState;
    ClockTimer m_recheck;
};

} // namespace zn
