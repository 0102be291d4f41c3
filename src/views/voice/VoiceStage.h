#pragma once

#include "app/theme/ZephyrTheme.h"
#include "core/WeatherLabel.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QPainter;
class QVBoxLayout;

namespace zn {

class VoiceControlsTray;
class VoiceOrb;
class VoiceText;
class WeatherChip;

// The left column of the dictation screen: the orb, the status title, the
// elapsed time and live weather while recording, the session's message, the
// long-recording nudge, the speech engine's name and the controls tray, in a
// column at most 420 wide over a backdrop that glows in the mood's colour.
// It only lays out and paints; the screen fills in what shows.
class VoiceStage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxContentWidth = 420;

    explicit VoiceStage(QWidget *parent = nullptr);

    VoiceOrb *orb() const { return m_orb; }
    VoiceText *title() const { return m_title; }
    VoiceText *elapsed() const { return m_elapsed; }
    VoiceText *message() const { return m_message; }
    VoiceText *nudge() const { return m_nudge; }
    VoiceText *backend() const { return m_backend; }
    VoiceControlsTray *tray() const { return m_tray; }
    // The live weather chip, or null while it is hidden.
    WeatherChip *weatherChip() const;

    // The chip under the elapsed time; none hides it.
    void setWeather(std::optional<WeatherLabel> label, double sentiment);
    // The mood the backdrop glows in.
    void setMood(double sentiment);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct BackdropKey
    {
        QSize size;
        qreal ratio = 0;
        ZephyrTheme theme;
        double mood = 0;
        friend bool operator==(const BackdropKey &, const BackdropKey &) = default;
    };
    void paintBackdrop(QPainter &painter, const ZephyrTheme &theme) const;

    VoiceOrb *m_orb;
    VoiceText *m_title;
    VoiceText *m_elapsed;
    QWidget *m_chipRow;
    QPointer<WeatherChip> m_chip;
    VoiceText *m_message;
    VoiceText *m_nudge;
    VoiceText *m_backend;
    VoiceControlsTray *m_tray;
    double m_mood = 0.0;
    QPixmap m_backdrop;
    BackdropKey m_backdropKey;
};

} // namespace zn
