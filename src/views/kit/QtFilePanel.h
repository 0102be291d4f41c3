#pragma once

#include "platform/panels/FilePanels.h"

#include <QPointer>
#include <QWidget>

namespace zn {

// The file panels as Qt file dialogs, window-modal over `window` (or
// application-modal with none). Each request opens its own dialog and
// returns at once; the answer arrives when the user closes it. A dialog
// that goes away unanswered (its window closed) answers "cancelled".
class QtFilePanel final : public FilePanels
{
public:
    explicit QtFilePanel(QWidget *window = nullptr);

    void setWindow(QWidget *window) { m_window = window; }

    void chooseSaveLocation(const SavePanelRequest &request, PanelCompletion done) override;
    void chooseFileToOpen(const OpenPanelRequest &request, PanelCompletion done) override;

private:
    QPointer<QWidget> m_window;
};

} // namespace zn
