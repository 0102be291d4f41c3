#pragma once

#include <QTextEdit>
#include <QUuid>

#include <optional>

namespace zn {

class EditorSession;

// The writing surface's text editor, bound both ways to the editor
// session's draft text: each keystroke goes to the session, and the
// session's own changes come back without echoing. When a save only trims
// blanks the user just typed, the screen keeps them (they would be trimmed
// again on the next save anyway), so the cursor never jumps and words typed
// after a pause do not run together. Other changes from the session are
// applied as one minimal edit, keeping the cursor where it was; another
// entry's text replaces the whole document.
//
// The text column is at most `measureMax` wide, centred, with at least 32
// points on either side; lines are 6 points apart.
class DraftEditor : public QTextEdit
{
    Q_OBJECT
public:
    DraftEditor(EditorSession &session, qreal measureMax, QWidget *parent = nullptr);

    qreal sideInset() const { return m_inset; }

    // Bound, it follows the session both ways; unbound (while the pane shows
    // another face) it ignores the session, so opening a long entry for
    // reading lays its text out once, not twice. Binding takes the session's
    // text at once.
    void setBound(bool bound);
    bool isBound() const { return m_bound; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void onWidgetTextChanged();
    void onSessionTextChanged(const QString &text);
    void replaceAll(const QString &text);
    QString documentText() const;
    void applyMinimalEdit(const QString &text);
    static QTextBlockFormat blockFormat();
    void updateInset();
    std::optional<QUuid> sessionIdentity() const;

    EditorSession &m_session;
    qreal m_measureMax;
    qreal m_inset = 0;
    QString m_shown; // what the document holds, kept to avoid reading it back
    std::optional<QUuid> m_identity;
    bool m_applying = false;
    bool m_bound = false;
};

} // namespace zn
