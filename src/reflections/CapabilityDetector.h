#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

namespace zn {

class Clock;

namespace lm {
class LanguageModel;
}

// Says whether language-model reflections can run right now and, if not,
// why, in one sentence for the user. Lives on the main thread; changes when
// someone calls refresh(), which reads cached model state and never blocks,
// and when a model server announces that its availability changed.
class CapabilityDetector : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Availability availability READ availability NOTIFY availabilityChanged)
    Q_PROPERTY(QString statusDetail READ statusDetail NOTIFY statusDetailChanged)
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY isCheckingChanged)
    Q_PROPERTY(QDateTime lastRefreshed READ lastRefreshedOrNull NOTIFY lastRefreshedChanged)
public:
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

    void refresh();

    // Why this system cannot run reflections at all; none on Linux, where
    // the model's own availability decides. Virtual so a test can stand in
    // for a system that falls short.
    virtual std::optional<QString> systemRequirementMessage() const;

    // The running kernel's release as "major.minor.patch".
    static QString operatingSystemVersionString();
    // Whether the processor is 64-bit ARM (shown in Settings only).
    static bool isAppleSilicon();

    // "major.minor.patch" of the leading numbers of a release string such
    // as "6.1.0-18-amd64"; missing parts read as 0.
    static QString versionTriple(const QString &release);

Q_SIGNALS:
    void availabilityChanged();
    void statusDetailChanged();
    void isCheckingChanged();
    void lastRefreshedChanged();

private:
    QDateTime lastRefreshedOrNull() const { return m_lastRefreshed.value_or(QDateTime()); }
    void setAvailability(Availability value);
    void setStatusDetail(const QString &value);
    void setIsChecking(bool value);
    void setLastRefreshed(const QDateTime &value);

    lm::LanguageModel *m_model;
    Clock *m_clock;
    Availability m_availability = Availability::FrameworkUnavailable;
    QString m_statusDetail = QStringLiteral("Checking…");
    bool m_isChecking = true;
    std::optional<QDateTime> m_lastRefreshed;
};

} // namespace zn
