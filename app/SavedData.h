#pragma once

#include "platform/Types.h"

// Where the control keeps what a package's movies save (local shared
// objects) across runs: one folder per package, named by the package's id.

// Whether `id` has the form of a package id: 1 to 64 of A-Z, a-z, 0-9, '_'
// and '-' (so that it is one safe file name).
bool IsValidPackageId(const CString& id);

// The id of a player whose package has none (or none of that form):
// "exe-" and 16 lower-case hex digits of the 64-bit FNV-1a hash of
// `executablePath`, the real path of the running player.
CString ExecutablePackageId(const CString& executablePath);

// The id under which the player keeps a package's things: `packageId`
// when it has the valid form, else ExecutablePackageId(`executablePath`).
CString EffectivePackageId(const CString& packageId, const CString& executablePath);

// The kernel's name of the running executable: its real path (empty when
// it cannot be read).
CString RunningExecutablePath();

// The host path ("/" between folders) of the saved-data folder of the
// package `packageId`: ${XDG_DATA_HOME:-$HOME/.local/share}/quorvel/saved/<id>,
// in the user's data folder (platform/DataFolder.h), as the class registry
// is; empty when there is none (no absolute home): nothing is saved then.
// An id that is empty or not of the valid form is replaced by `fallbackId`
// when that has the valid form (the opener's id of the file it plays), else
// by ExecutablePackageId of /proc/self/exe, which stays the same while the
// player stays where it is. Nothing is created.
CString SavedDataFolder(const CString& packageId, const CString& fallbackId = {});
