// Access to the two INI files: the installed game's SETUP.INI (section SETUP,
// at State.SetupIniPath) and the temporary UPDATE.INI (any section, at
// State.UpdateIniPath), and the message box for their configuration errors.
//
// A reader reports a missing key itself, with the caption "VARDELIX", unless
// State.KeysOptional is non-zero; its caller learns only 1 or 0 and simply
// unwinds on 0. A key without a value counts as missing, and so do a missing
// section and a missing or unreadable file. After a failed read the output
// holds only zero bytes, so a caller with a default copies it in afterwards.
#ifndef CONFIG_SETTINGS_ACCESS_WIN32_H
#define CONFIG_SETTINGS_ACCESS_WIN32_H

#include "config/decimal.h"
#include "config/list_tokenizer.h"

// Modal error box owned by State.OwnerWindow with the caption "VARDELIX", an
// OK button and the error icon. Returns the box's result.
int ShowSetupError(const char* text);

// Reads key from section SETUP of SETUP.INI into out (size bytes, value cut
// to size - 1 bytes). 1 for a non-empty value, else 0 after the message
// "SETUP.INI : <key> キーが存在しません" unless keys are optional.
int ReadSetupKey(const char* key, char* out, int size);

// Reads key from the named section of UPDATE.INI into out; as ReadSetupKey,
// with the message "<section> : <key> キーが存在しません".
int ReadUpdateKey(const char* section, const char* key, char* out, int size);

// Reads key from section SETUP of SETUP.INI as a decimal 32-bit number (at
// most 19 characters of it are seen) into value. 1 when the key was there,
// else 0 with value left as it was.
int ReadSetupInt(const char* key, int* value);

// Takes the next item of a list value into a 260-byte slot, with the disc
// prefixes going to State.LastDiscNumber. See TakeListItem.
int NextListItem(char* out, const char*& cursor);

#endif
