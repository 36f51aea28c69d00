// The item-list syntax shared by SETUP.INI's lists and UPDATE.INI's
// UpdateFileNN values.
//
// Items are separated by commas; a line feed, a carriage return or the end of
// the text ends an item like a comma. Blanks (tab, space) before an item are
// skipped; blanks inside and after it belong to it. An item may begin with a
// disc prefix: one byte that is neither blank nor an item end, followed by a
// colon. The prefix sets the list's disc number to that byte's decimal value
// (0 to 9 for a digit, 0 for anything else), is not part of the item, and
// stays in force for the following items until the next prefix. An empty item
// ends the list, as does a line end or the end of the text where an item
// should begin.
//
// The tokenizer works byte by byte. Every byte it looks for lies below 0x40,
// where no Shift-JIS trail byte lies, so double-byte text passes unchanged.
#ifndef CONFIG_LIST_TOKENIZER_H
#define CONFIG_LIST_TOKENIZER_H

#include <cstddef>

// Every slot that a list item is copied into holds 260 bytes: 259 bytes of
// text and the terminator.
constexpr int kListSlotSize = 260;

// 1 for tab and space, else 0.
int IsBlank(unsigned char c);

// 1 for NUL, line feed, carriage return and comma, else 0.
int IsItemEnd(unsigned char c);

// Takes the next item from the list text at cursor into out, which holds
// outSize bytes (at least 1), and moves cursor on.
//
// Returns 1 when an item was produced. The item is NUL-terminated in out; when
// it is longer than outSize - 1 bytes it is cut to that length, and the cursor
// still moves past the whole item, so the next call starts at the next item.
// Afterwards the cursor points just past the comma or line end that ended the
// item, or stays on the terminating NUL of the text, so that a further call
// never reads beyond the text.
//
// Returns 0 when the list has no further item: the cursor has moved over any
// blanks and rests on the item end found there; out is not written.
//
// A disc prefix stores its value in discNumber; an item without a prefix
// leaves discNumber alone. The list text itself is never changed.
int TakeListItem(char* out, size_t outSize, const char*& cursor, int& discNumber);

#endif
