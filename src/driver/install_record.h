// The installed game: its registry record, left by the game's installer
// under HKEY_CURRENT_USER\Software\<CompanyName>\<GameDir>, and its SETUP.INI.
#ifndef DRIVER_INSTALL_RECORD_H
#define DRIVER_INSTALL_RECORD_H

#include <windows.h>

#include <cstdint>

// Reads one registry value as raw bytes (the registry type is not looked at)
// into a 260-byte text buffer. Returns 1 with a NUL-terminated text, or 0
// with an empty one when the value is missing, longer than the buffer, or
// exactly as long as the buffer without a NUL among its bytes: such a text
// would run past its buffer, so it counts as too long. Data shorter than the
// buffer needs no NUL of its own; the zero-filled buffer ends it.
int ReadRegistryText(HKEY key, const char* name, char* out);

// Reads a 4-byte registry value as a 32-bit number. Returns 1, or 0 with
// *value left as it was when the value is missing or longer than 4 bytes.
int ReadRegistryNumber(HKEY key, const char* name, uint32_t* value);

// Finds the install record of State.CompanyName and State.GameDir and fills
// State.InstPath, State.DataPath (empty when absent) and State.InstMode. The
// game counts as installed when the key opens and InstPath and InstMode can
// be read, and neither InstPath nor DataPath is a drive root or lies in the
// Windows or system folder (IsSystemPlace). Returns 1 then; otherwise shows "「<GameTitle>」がインストールされて
// いません" through ShowUpdateError and returns 0.
int ReadInstallRecord();

// Sets State.SetupIniPath to InstPath\SETUP.INI. Returns 1 when something of
// that name (a file, or even a folder) exists; otherwise, also when the path
// would not fit its buffer, shows "インストール先に "SETUP.INI" ファイルが見つか
// りません" and returns 0.
int FindSetupIni();

#endif
