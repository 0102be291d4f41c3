#pragma once

#include "platform/store/StoreError.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace zn {

class DialogPresenter;
class EditorSession;
class UnsavedTextFile;

// How the program ends. Quitting (Ctrl+Q, or closing the main window) first
// saves what is being typed, as leaving an entry does; when the store
// refuses, the window stays and asks "The journal could not be saved: …"
// with Quit Anyway and Cancel. The session ending the program (a
// termination signal, the session manager) saves the same way but cannot
// ask: refused text goes to the unsaved-text file, and the program ends.
// Main thread only.
class QuitController : public QObject
{
    Q_OBJECT
public:
    // `editor` gives the session whose text is pending (none while no
    // journal is on screen); `unsaved` may be null (a store in memory).
    QuitController(std::function<EditorSession *()> editor, DialogPresenter &presenter, UnsavedTextFile *unsaved,
                   QObject *parent = nullptr);

    // Ends the program's event loop; by default QCoreApplication::quit(),
    // which closes every window first and stops when one refuses.
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    // Asked by the main window's close event: true when the window may go.
    bool mayCloseWindow();
    // Ctrl+Q: ends the program once the window's close has saved.
    void requestQuit();
    // The session ends the program: saves, or keeps the text in the
    // unsaved-text file, then ends it. Never waits for an answer.
    void quitForSession();

private:
    void ask(const StoreError &error);
    void end();

    std::function<EditorSession *()> m_editor;
    DialogPresenter &m_presenter;
    UnsavedTextFile *m_unsaved;
    std::function<void()> m_endProgram;
    bool m_asking = false;
    bool m_quitConfirmed = false;
    bool m_ending = false;
};

} // namespace zn
