#pragma once

#include <QString>

namespace zn {

// Makes the files settings are written to private before anything is
// written there: the folder of `settingsFile` 0700 and the file 0600, made
// so when missing and tightened when an earlier run left them readable to
// others (only when they are this account's own). Qt writes settings through
// a temporary file that takes the permissions of the file it replaces, so
// they stay private.
//
// Qt's file dialogs keep the folders they were last used in, and their
// history, in a settings file of their own ("QtProject.conf", beside every
// Qt program's, readable by all). That file is moved into the same private
// folder, for the rest of the run: call this before the first dialog opens.
void keepSettingsFilesPrivate(const QString &settingsFile);

} // namespace zn
