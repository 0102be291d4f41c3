#pragma once

#include "platform/store/ModelContainer.h"
#include "platform/store/ModelContext.h"
#include "platform/store/StoreError.h"

#include <QString>

#include <memory>
#include <optional>

namespace zn {

inline constexpr auto kLocalOnlyStoreNote =
    "Using on-device storage only.";
inline constexpr auto kRecreatedStoreNote = "Recreated local journal store after a schema change.";
inline constexpr auto kContainerFailurePrefix = "Could not create ModelContainer even after store recovery: ";

// The container the app runs on and the note for the settings screen. The
// journal is always the local store: this system has no cloud store.
struct StoreContainerResult
{
    std::shared_ptr<ModelContainer> container;
    std::optional<QString> note;
};

// The app's data folder (~/.local/share/Zephyrnote); not created here.
QString defaultStoreFolder();

// One attempt at the local "default" store in `folder`.
std::optional<StoreContainerResult> makeStoreContainerIn(const QString &folder, StoreError *error = nullptr);
std::optional<StoreContainerResult> makeStoreContainer(StoreError *error = nullptr);

// Moves every store file of `folder` ("default.store", its side files, the
// "cloud" ones and any "*.store", "*.store-*" or "*.sqlite" item) into a new
// "Recovered <date> <time>" folder inside it, never following symlinks, and
// logs where they went. Never fails outward. Returns the backup folder, or an
// empty string when nothing was moved.
QString removeLocalStoreFiles(const QString &folder);
QString removeLocalStoreFiles();

// The start-up chain: the local store, then again after moving the old store
// files aside; logs the one store that opened. With `inMemory` a single
// in-memory store, no chain.
// The files are moved aside only for a store that is incompatible or
// damaged (then every row still readable is copied into the new store and
// the note says so); a busy lock, a permission error or a full disk fails at
// once with a plain error (StoreError::isTransient()) and touches nothing.
std::optional<StoreContainerResult> makeModelContainer(bool inMemory = false, StoreError *error = nullptr);
std::optional<StoreContainerResult> makeModelContainerIn(const QString &folder, StoreError *error = nullptr);

// "Could not create ModelContainer even after store recovery: " + description.
QString containerFailureMessage(const StoreError &error);
// What start-up shows when no container could be made: the plain
// description for a transient cause, else containerFailureMessage().
QString startupFailureMessage(const StoreError &error);

// The settings note after a damaged store was replaced.
QString damagedStoreNote(const QString &backupFolder, int entriesRecovered);

} // namespace zn
