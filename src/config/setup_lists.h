// The two list shapes of SETUP.INI built on the item tokenizer: lists of
// names (SetupBmp, InstallFilesN, InstallAddFiles) and Shortcut lines.
#ifndef CONFIG_SETUP_LISTS_H
#define CONFIG_SETUP_LISTS_H

#include "config/list_tokenizer.h"

// Tokenizes list into slots[0] .. slots[capacity - 1], one item a slot, and
// returns the number of names taken. When the list ends before the slots run
// out, the slot after the last name is set to the empty text, so a reader
// stops there; a full set of slots has no such marker and the rest of the
// list is ignored. When the very first item is missing nothing is written and
// 0 is returned: the caller reports the list as faulty.
//
// discNumber follows the list's disc prefixes. When discs is not null,
// discs[k] receives the disc number in force for name k.
int TakeNameList(const char* list, char (*slots)[kListSlotSize], int capacity,
                 int* discs, int& discNumber);

constexpr int kShortcutLineFields = 4;

// Splits one Shortcut line into its four fields, which are emptied first.
// Returns 1 when the line yields its first two fields, 0 when it does not.
//
// The third and fourth fields may be left out. A run of commas where the
// third or fourth field should begin leaves that one field empty, and the
// next field is taken after the run, so "a,b,,d" and "a,b,,,d" both give
// a, b, an empty third field and d. Items after the fourth are ignored.
int SplitShortcutLine(const char* line, char (*fields)[kListSlotSize], int& discNumber);

#endif
