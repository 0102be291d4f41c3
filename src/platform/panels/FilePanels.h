#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace zn {

// A kind of file a panel offers, e.g. {"JSON", {"json"}}: a short name for
// the filter and the extensions it allows (lower case, without the dot).
struct PanelFileType
{
    QString description;
    QStringList extensions;
};

inline PanelFileType jsonFileType() { return {QStringLiteral("JSON"), {QStringLiteral("json")}}; }
inline PanelFileType pdfFileType() { return {QStringLiteral("PDF"), {QStringLiteral("pdf")}}; }

struct SavePanelRequest
{
    QString title;
    QString message;          // a line shown above the file list; may be empty
    QString prompt;           // the confirm button's label
    QString defaultFileName;  // a bare file name, no folder
    PanelFileType fileType;   // the chosen name gets its first extension when it has none
    bool canCreateDirectories = true;
};

struct OpenPanelRequest
{
    QString title;
    QString message;
    QString prompt;
    QList<PanelFileType> fileTypes; // empty: any file
};

// Where the user wants a file written or which file to read: an absolute
// path, or no value when the panel was cancelled or gave no location.
using PanelCompletion = std::function<void(std::optional<QString> path)>;

// The save and open panels of the export, import and report flows, behind an
// interface so the flows never block in a nested event loop and tests can
// answer for the user.
//
// Each request calls `done` exactly once, on the main thread. An
// implementation may answer later (a real panel always does) or before the
// call returns (a scripted fake), so callers keep no state that the
// completion would find half-built.
class FilePanels
{
public:
    virtual ~FilePanels() = default;

    virtual void chooseSaveLocation(const SavePanelRequest &request, PanelCompletion done) = 0;
    // One existing file; folders cannot be chosen.
    virtual void chooseFileToOpen(const OpenPanelRequest &request, PanelCompletion done) = 0;
};

} // namespace zn
