// The item keys of UPDATE.INI's section UPDATE: UpdateFile00 .. UpdateFile15
// (archive entries to write into the installed game) and CopyFile00 ..
// CopyFile15 (files and folders to copy from the game's CD-ROM).
//
// The update run reads each key with ReadUpdateKey into a buffer of the size
// given here, stops a list at its first missing or empty key, and hands each
// value to ParseUpdateItem or ParseDiscCopyItem, which say whether the item
// applies to the installed game's install mode.
//
// Update item: a comma list of up to three tokens (the tokenizer's rules):
//   [mode digit ,] [d|u|o ,] name
// A first token of exactly one decimal digit is a mode selector: the item then
// applies only in that install mode. A next token of one letter d, u or o (any
// case) gives the kind; any other token is the name itself and the kind is
// Plain. Tokens after the name are ignored. The name is a relative path with
// backslashes; its base name (after the last backslash) names the archive
// entry.
//
// Disc item: read byte by byte, never split at commas:
//   [mode char ,] [disc digit :] path
// A mode selector applies when the install mode equals the character's code
// minus '0'. A disc number likewise is the character's code minus '0'; the
// update run refuses a value outside 1 to 9 itself. The whole remaining text,
// commas and blanks included, is the path relative to the disc's root.
#ifndef CONFIG_UPDATE_ITEMS_H
#define CONFIG_UPDATE_ITEMS_H

#include <cstddef>
#include <cstdint>

#include "config/list_tokenizer.h"

constexpr int kUpdateListKeys = 16;      // index 00 .. 15; 16 and later are never read
constexpr int kUpdateValueSize = 1024;   // buffer for an UpdateFileNN value
constexpr int kCopyValueSize = 260;      // buffer for a CopyFileNN value
constexpr int kUpdateKeyNameSize = 16;   // "UpdateFile15" / "CopyFile15" and the terminator

enum class UpdateKind : int32_t {
  Plain = 0,      // no letter: written below InstPath, replacing any file
  Update = 1,     // "u": written below InstPath unless the file there is newer
  Data = 2,       // "d": written below DataPath unless a readable file is there
  Overwrite = 3,  // "o": written below InstPath only over an existing file
};

struct UpdateItem {
  UpdateKind Kind;
  char ItemName[kListSlotSize];  // relative target path, backslash separated
  int32_t BaseOffset;            // index of the base name (archive entry) in ItemName
};

struct DiscCopyItem {
  int32_t DiscNumber;        // 0: no disc named; 1..9 as written; anything else as written
  char Path[kListSlotSize];  // relative to the disc's root
};

// The code page's lead-byte test: 1 when the byte begins a double-byte
// character. The Win32 side passes the system's test (IsDBCSLeadByte).
using LeadByteTest = int (*)(unsigned char);

// Index of the first byte after the last backslash of name, or 0 without
// one. Double-byte characters are stepped over whole, so a trail byte 0x5C is
// no separator; a forward slash is none either. A lead byte directly before
// the terminator ends the scan.
int FindBaseOffset(const char* name, LeadByteTest isLeadByte);

// Parses one UpdateFileNN value into item and returns 1 when the item applies
// in installMode, 0 when it is for another mode. The item is filled in both
// cases. Tokens longer than 259 bytes are cut. discNumber receives any disc
// prefix the tokenizer meets, as it does for every list.
int ParseUpdateItem(const char* value, uint32_t installMode, LeadByteTest isLeadByte,
                    int& discNumber, UpdateItem& item);

// Parses one CopyFileNN value into item and returns 1 when the item applies
// in installMode, 0 when it is for another mode (item is then not written).
// A path longer than 259 bytes is cut.
int ParseDiscCopyItem(const char* value, uint32_t installMode, DiscCopyItem& item);

// The key names "UpdateFile%02i" and "CopyFile%02i" for index 0 .. 15, into
// out of outSize bytes (kUpdateKeyNameSize is enough).
void FormatUpdateFileKey(char* out, size_t outSize, int index);
void FormatCopyFileKey(char* out, size_t outSize, int index);

#endif
