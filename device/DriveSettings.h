// A drive's saved values in the program's key: its identification, selected speed and detected
// speeds, under names that begin with its drive text (" Model", " Speed", " Detected").
#pragma once

#include "device/CDRom.h"
#include "platform/SettingsKey.h"

namespace qv {

// Writes the three values, the list only when it holds an entry. A drive that never gave its
// capabilities page keeps what an earlier save stored for it; a failed write stops the drive's
// save.
void SaveDriveSettings(CSettingsKey& key, const CCDRom& drive);
// Reads them back into the drive, when a model is stored: a different drive under the same letter
// inherits them, within what it can do. Returns the saved speed taken, 0 for none.
int LoadDriveSettings(const CSettingsKey& key, CCDRom& drive);
// Both over the key as it exists, never creating it.
int LoadDriveSettings(const CPlatform& platform, CCDRom& drive);

// How the key is opened to save every drive, and to read or write one.
inline constexpr DWORD SETTINGS_CREATE_ACCESS = REGACCESS_QUERY_VALUE | REGACCESS_SET_VALUE;
inline constexpr DWORD SETTINGS_OPEN_ACCESS =
    REGACCESS_QUERY_VALUE | REGACCESS_SET_VALUE | REGACCESS_ENUMERATE_SUB_KEYS;

} // namespace qv
