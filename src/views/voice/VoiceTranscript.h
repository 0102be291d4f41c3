#pragma once

#include "views/voice/VoiceScreenLogic.h"

#include <QPlainTextEdit>
#include <QWidget>

namespace zn {

class VoiceText;

// The red dot and "Live" on a capsule, in the transcript header while
// recording.
class LiveBadge : public QWidget
{
    Q_OBJECT
public:
    explicit LiveBadge(QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The transcript editor: no frame or background of its own, text in the
// body font and primary ink. It follows the session's text without
// resetting itself when the new text only extends the shown one, so a
// growing transcript keeps its scroll position and stays cheap to update.
class TranscriptEditor : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TranscriptEditor(QWidget *parent = nullptr);

    // Shows `text` unless it is what is shown already.
    void showText(const QString &text);
    QString shownText() const { return m_shown; }
    // The number of times the whole document was replaced (tests).
    int resetCount() const { return m_resets; }

Q_SIGNALS:
    // A change by the user (typing, pasting, undo), with the new text.
    void edited(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void applyTheme();

    QString m_shown;
    bool m_applying = false;
    int m_resets = 0;
};

// The box under the header: the introduction before there is anything to
// read, the transcript once a recording exists.
class TranscriptBody : public QWidget
{
    Q_OBJECT
public:
    explicit TranscriptBody(QWidget *parent = nullptr);

    void setMode(TranscriptBodyMode mode);
    TranscriptBodyMode mode() const { return m_mode; }
    TranscriptEditor *editor() const { return m_editor; }
    VoiceText *introduction() const { return m_intro; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TranscriptBodyMode m_mode = TranscriptBodyMode::Introduction;
    VoiceText *m_intro;
    QWidget *m_introBox;
    TranscriptEditor *m_editor;
};

// The right column: "Transcript" with the live badge, over the body, on
// the paper colour.
class TranscriptColumn : public QWidget
{
    Q_OBJECT
public:
    explicit TranscriptColumn(QWidget *parent = nullptr);

    TranscriptBody *body() const { return m_body; }
    LiveBadge *liveBadge() const { return m_badge; }
    void setLive(bool live);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    LiveBadge *m_badge;
    TranscriptBody *m_body;
};

} // namespace zn
