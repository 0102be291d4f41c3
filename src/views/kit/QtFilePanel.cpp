#include "views/kit/QtFilePanel.h"

#include "views/kit/Mnemonics.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QStandardPaths>

#include <memory>

namespace zn {
namespace {

QString nameFilter(const PanelFileType &type)
{
    QStringList patterns;
    for (const QString &ext : type.extensions)
        patterns.append(QStringLiteral("*.") + ext);
    return QStringLiteral("%1 (%2)").arg(type.description, patterns.join(u' '));
}

// Where the next panel opens: the folder last chosen in this run, else the
// user's documents folder, else home.
QString &lastFolder()
{
    static QString folder;
    return folder;
}

QString startFolder()
{
    if (!lastFolder().isEmpty() && QFileInfo(lastFolder()).isDir())
        return lastFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// Our own dialog rather than the desktop's, so the request's message can be
// shown and the panel behaves the same on every desktop.
QFileDialog *makeDialog(QWidget *window, const QString &title, const QString &message, const QString &prompt)
{
    auto *dialog = new QFileDialog(window, title, startFolder());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setLabelText(QFileDialog::Accept, literalMnemonicText(prompt));
    if (!message.isEmpty()) {
        if (auto *grid = qobject_cast<QGridLayout *>(dialog->layout())) {
            auto *label = new QLabel(message, dialog);
            label->setObjectName(QStringLiteral("panelMessage"));
            label->setWordWrap(true);
            label->setContentsMargins(0, 6, 0, 0);
            grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    return dialog;
}

// Answers exactly once: with the chosen file when accepted, else with no
// value, also when the dialog is destroyed without an answer.
void present(QFileDialog *dialog, QWidget *window, PanelCompletion done)
{
    auto pending = std::make_shared<PanelCompletion>(std::move(done));
    const auto answer = [pending](std::optional<QString> path) {
        if (!*pending)
            return;
        PanelCompletion call = std::move(*pending);
        *pending = nullptr;
        call(std::move(path));
    };
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer](int result) {
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty()) {
            lastFolder() = QFileInfo(files.first()).absolutePath();
            answer(files.first());
        } else {
            answer(std::nullopt);
        }
    });
    QObject::connect(dialog, &QObject::destroyed, [answer] { answer(std::nullopt); });
    if (window) {
        dialog->open(); // window-modal, no nested event loop
    } else {
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
    }
}

} // namespace

QtFilePanel::QtFilePanel(QWidget *window)
    : m_window(window)
{
}

void QtFilePanel::chooseSaveLocation(const SavePanelRequest &request, PanelCompletion done)
{
    QFileDialog *dialog = makeDialog(m_window, request.title, request.message, request.prompt);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::ReadOnly, !request.canCreateDirectories);
    if (!request.fileType.extensions.isEmpty()) {
        dialog->setNameFilter(nameFilter(request.fileType));
        dialog->setDefaultSuffix(request.fileType.extensions.first());
    }
    dialog->selectFile(request.defaultFileName);
    present(dialog, m_window, std::move(done));
}

void QtFilePanel::chooseFileToOpen(const OpenPanelRequest &request, PanelCompletion done)
{
    QFileDialog *dialog = makeDialog(m_window, request.title, request.message, request.prompt);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const PanelFileType &type : request.fileTypes)
        filters.append(nameFilter(type));
    if (!filters.isEmpty())
        dialog->setNameFilters(filters);
    present(dialog, m_window, std::move(done));
}

} // namespace zn
