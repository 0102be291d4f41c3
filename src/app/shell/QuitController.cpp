#include "app/shell/QuitController.h"

#include "core/EditorSession.h"
#include "core/TextUnits.h"
#include "core/UnsavedTextFile.h"
#include "platform/base/Clock.h"
#include "platform/base/SystemLog.h"
#include "views/kit/DialogPresenter.h"

#include <QCoreApplication>

namespace zn {
namespace {

// The question's text for a refused save.
QString questionText(const StoreError &error)
{
    // A refused save already says so; other causes get the same opening.
    const QString prefix = QStringLiteral("The journal could not be saved: ");
    const QString reason = error.description();
    return reason.startsWith(prefix) ? reason : prefix + reason;
}

} // namespace

QuitController::QuitController(std::function<EditorSession *()> editor, DialogPresenter &presenter,
                               UnsavedTextFile *unsaved, QObject *parent)
    : QObject(parent)
    , m_editor(std::move(editor))
    , m_presenter(presenter)
    , m_unsaved(unsaved)
    , m_endProgram([] { QCoreApplication::quit(); })
{
}

bool QuitController::mayCloseWindow()
{
    if (m_ending || m_quitConfirmed)
        return true;
    if (m_asking)
        return false; // the question is still up; its answer decides
    EditorSession *editor = m_editor ? m_editor() : nullptr;
    const auto refused = editor ? editor->flushBeforeQuitting() : std::nullopt;
    if (!refused)
        return true;
    ask(*refused);
    return false;
}

void QuitController::requestQuit()
{
    // Out of the menu's own event handling first.
    QMetaObject::invokeMethod(this, [this] { end(); }, Qt::QueuedConnection);
}

void QuitController::ask(const StoreError &error)
{
    m_asking = true;
    ConfirmationRequest request;
    request.title = questionText(error);
    request.buttons = {{QStringLiteral("Quit Anyway"), DialogButtonRole::Destructive},
                       {QStringLiteral("Cancel"), DialogButtonRole::Cancel}};
    QPointer<QuitController> self(this);
    m_presenter.confirm(request, [self](int answer) {
        if (!self)
            return;
        self->m_asking = false;
        if (answer != 0 || self->m_ending)
            return; // Cancel: the window, its text and the program stay
        self->m_quitConfirmed = true;
        self->end();
    });
}

void QuitController::quitForSession()
{
    if (m_ending)
        return;
    m_ending = true;
    EditorSession *editor = m_editor ? m_editor() : nullptr;
    if (editor) {
        if (const auto refused = editor->flushBeforeQuitting()) {
            const QString text = editor->draftText();
            if (!text::isBlank(text) && !(m_unsaved && m_unsaved->keep(text, editor->draftRowID(), Clock::system().now())))
                systemLog(QStringLiteral("Zephyrnote: The text being written was lost as the session ended (%1).")
                              .arg(refused->description()));
        }
    }
    end();
}

void QuitController::end()
{
    if (m_endProgram)
        m_endProgram();
}

} // namespace zn
