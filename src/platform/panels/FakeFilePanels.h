#pragma once

#include "platform/panels/FilePanels.h"

#include <QList>

#include <deque>
#include <optional>

namespace zn {

// Answers panel requests for tests: each request takes the next scripted
// answer at once, or waits (when none is scripted) until answerNext().
// Every request is recorded.
class FakeFilePanels final : public FilePanels
{
public:
    // The next request answers with `path` (no value: cancelled).
    void scriptAnswer(std::optional<QString> path);
    void scriptCancel() { scriptAnswer(std::nullopt); }

    void chooseSaveLocation(const SavePanelRequest &request, PanelCompletion done) override;
    void chooseFileToOpen(const OpenPanelRequest &request, PanelCompletion done) override;

    QList<SavePanelRequest> saveRequests() const { return m_saveRequests; }
    QList<OpenPanelRequest> openRequests() const { return m_openRequests; }
    int requestCount() const { return int(m_saveRequests.size() + m_openRequests.size()); }

    // Requests still waiting for an answer.
    int waitingCount() const { return int(m_waiting.size()); }
    // Answers the oldest waiting request; false when none waits.
    bool answerNext(std::optional<QString> path);

private:
    void handle(PanelCompletion done);

    std::deque<std::optional<QString>> m_script;
    std::deque<PanelCompletion> m_waiting;
    QList<SavePanelRequest> m_saveRequests;
    QList<OpenPanelRequest> m_openRequests;
};

} // namespace zn
