#pragma once

#include "app/marks/MarkWidgets.h"
#include "views/workspace/detail/DetailPresenter.h"

#include <QColor>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class QGraphicsOpacityEffect;
class QHBoxLayout;
class QPropertyAnimation;

namespace zn {

class DraftEditor;
class EditorSession;
class InkLabel;
class JournalEntry;

// The 3-point line under the editor that takes the colour of the live mood.
class MoodLine : public QWidget
{
    Q_OBJECT
public:
    explicit MoodLine(QWidget *parent = nullptr);

    // Neutral (the hairline) or the mood score's colour at 0.22; a change of
    // score eases over 0.6 s unless the user asked for less motion.
    void setMood(bool coloured, double score, bool animate);
    bool isColoured() const { return m_coloured; }
    double score() const { return m_score; }
    bool isAnimating() const { return m_animation.state() == QAbstractAnimation::Running; }
    // The colour drawn now.
    QColor currentColor() const;

    QSize sizeHint() const override { return {100, 3}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor targetColor() const;

    bool m_coloured = false;
    double m_score = 0;
    QColor m_from;
    qreal m_progress = 1;
    QVariantAnimation m_animation;
};

// The face for writing: a header bar (heading, live weather chip, save
// status), the text editor and the mood line.
class WritingSurface : public QWidget
{
    Q_OBJECT
public:
    WritingSurface(EditorSession &editor, qreal measureMax, QWidget *parent = nullptr);

    // Re-reads the editor (and the entry for the heading).
    void refresh(JournalEntry *entry);
    // Whether the editor follows the session (only while this face shows).
    void setActive(bool active);

    DraftEditor *editor() const { return m_editor; }
    MoodLine *moodLine() const { return m_moodLine; }
    // Null while the chip is not shown.
    WeatherChip *liveChip() const { return m_chipShown ? m_chip.data() : nullptr; }
    QString headingTitle() const;
    QString headingSubtitle() const;
    // The save status text on screen (empty when none) and its tone.
    detail::SaveStatusText shownSaveStatus() const { return m_status; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showChip(bool shown);
    void showSaveStatus(const detail::SaveStatusText &status);

    EditorSession &m_session;
    QHBoxLayout *m_header;
    InkLabel *m_title;
    InkLabel *m_subtitle;
    QWidget *m_chipBox;
    QPointer<WeatherChip> m_chip;
    QGraphicsOpacityEffect *m_chipOpacity;
    QPropertyAnimation *m_chipFade;
    bool m_chipShown = false;
    InkLabel *m_saveStatus;
    detail::SaveStatusText m_status;
    DraftEditor *m_editor;
    MoodLine *m_moodLine;
    double m_lastScore = 0;
};

} // namespace zn
