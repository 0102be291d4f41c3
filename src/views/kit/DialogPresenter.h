#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

namespace zn {

enum class DialogButtonRole {
    Default,     // a normal answer; the first one is the default button
    Cancel,      // also what Escape and closing the dialog answer
    Destructive, // drawn as a destructive action (delete, discard)
};

struct DialogButton {
    QString title;
    DialogButtonRole role = DialogButtonRole::Default;
};

// An alert with one dismissing button ("OK").
struct AlertRequest {
    QString title;
    QString message;
    QString buttonTitle = QStringLiteral("OK");
};

// A question with two or more answers. The title is always shown; the
// message may be empty.
struct ConfirmationRequest {
    QString title;
    QString message;
    QList<DialogButton> buttons;
};

// A sheet shows `content` in a window-modal frame over the window; the
// presenter takes ownership of the widget.
struct SheetRequest {
    QString title;
    QWidget *content = nullptr;
    QSize minimumSize;
};

// Shows alerts, confirmations and sheets over one window without blocking:
// each call returns at once and the answer arrives later through its
// callback, on the main thread. At most one dialog of each kind is up at a
// time; presenting another replaces the first, whose callback then answers as
// if cancelled (confirmations) or dismissed (alerts, sheets).
class DialogPresenter
{
public:
    virtual ~DialogPresenter() = default;

    virtual void showAlert(const AlertRequest &request, std::function<void()> onDismissed = {}) = 0;
    // `onAnswer` receives the index of the chosen button in request.buttons,
    // or the index of the Cancel button (-1 when there is none) for Escape.
    virtual void confirm(const ConfirmationRequest &request, std::function<void(int)> onAnswer) = 0;
    virtual void presentSheet(const SheetRequest &request, std::function<void()> onDismissed = {}) = 0;
    // Closes the sheet on screen, if any; its callback runs.
    virtual void dismissSheet() = 0;
    virtual bool isSheetPresented() const = 0;
};

// Index of the first button with the Cancel role, -1 when none.
int cancelButtonIndex(const ConfirmationRequest &request);

} // namespace zn
