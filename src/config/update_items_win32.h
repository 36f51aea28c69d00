// The update items over the process state: the parsers of update_items.h
// with the install mode of the install record (State.InstMode), the system's
// lead-byte test and the tokenizer's disc number State.LastDiscNumber.
#ifndef CONFIG_UPDATE_ITEMS_WIN32_H
#define CONFIG_UPDATE_ITEMS_WIN32_H

#include "config/update_items.h"

int TakeUpdateItem(const char* value, UpdateItem& item);
int TakeDiscCopyItem(const char* value, DiscCopyItem& item);

#endif
