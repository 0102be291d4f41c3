#pragma once

#include "views/kit/PaintedButton.h"
#include "views/voice/VoiceScreenLogic.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QHBoxLayout;

namespace zn {

// One button of the controls tray, painted from the theme in the style,
// tint and size its control asks for.
class VoiceButton : public PaintedButton
{
    Q_OBJECT
public:
    explicit VoiceButton(const VoiceControl &control, QWidget *parent = nullptr);

    const VoiceControl &control() const { return m_control; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont titleFont() const;

    VoiceControl m_control;
};

// A small indeterminate spinner with its text. Still under reduce motion.
class VoiceSpinner : public QWidget
{
    Q_OBJECT
public:
    explicit VoiceSpinner(const QString &text, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setReduceMotion(bool on);
    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void updateTimer();

    QString m_text;
    bool m_reduceMotion = false;
    int m_step = 0;
    QTimer m_timer;
};

// The rounded tray at the foot of the stage holding the controls of the
// current phase. It rebuilds its row only when the row's shape changes, so
// focus and hover survive a transcript edit.
class VoiceControlsTray : public QWidget
{
    Q_OBJECT
public:
    explicit VoiceControlsTray(QWidget *parent = nullptr);

    void setRow(const VoiceControlsRow &row);
    void setReduceMotion(bool on);

    // What is shown now, for tests and accessibility.
    QList<VoiceButton *> buttons() const;
    VoiceButton *button(VoiceControlAction action) const;
    VoiceSpinner *spinner() const { return m_spinner; }

Q_SIGNALS:
    void triggered(zn::VoiceControlAction action);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static bool sameShape(const VoiceControlsRow &a, const VoiceControlsRow &b);

    QHBoxLayout *m_row;
    VoiceControlsRow m_shown;
    bool m_built = false;
    bool m_reduceMotion = false;
    QList<QPointer<VoiceButton>> m_buttons;
    QPointer<VoiceSpinner> m_spinner;
};

} // namespace zn
