#include "platform/panels/FakeFilePanels.h"

#include <utility>

namespace zn {

void FakeFilePanels::scriptAnswer(std::optional<QString> path)
{
    m_script.push_back(std::move(path));
}

void FakeFilePanels::chooseSaveLocation(const SavePanelRequest &request, PanelCompletion done)
{
    m_saveRequests.append(request);
    handle(std::move(done));
}

void FakeFilePanels::chooseFileToOpen(const OpenPanelRequest &request, PanelCompletion done)
{
    m_openRequests.append(request);
    handle(std::move(done));
}

void FakeFilePanels::handle(PanelCompletion done)
{
    if (m_script.empty()) {
        m_waiting.push_back(std::move(done));
        return;
    }
    auto answer = std::move(m_script.front());
    m_script.pop_front();
    if (done)
        done(std::move(answer));
}

bool FakeFilePanels::answerNext(std::optional<QString> path)
{
    if (m_waiting.empty())
        return false;
    // Taken off the queue first: the completion may start another request.
    PanelCompletion done = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (done)
        done(std::move(path));
    return true;
}

} // namespace zn
