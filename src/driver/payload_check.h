// The check of the payload against the digest that `fa2 embed` stored beside
// it, made before anything reads the payload.
#ifndef DRIVER_PAYLOAD_CHECK_H
#define DRIVER_PAYLOAD_CHECK_H

#include <windows.h>

#include "common/updater_contract.h"

// What the player is told when the check fails.
extern const char kDamagedUpdaterMessage[];

// Checks State.PayloadImage (locked already) against the record "UPDATE"/103
// of the module instance. Returns 1 when the payload matches it, or when
// there is no record at all (an updater made by tools that do not write
// one); 0 when the payload does not match, and also when a record is there
// but cannot be loaded or is not exactly one that this program knows (a
// damaged record, or one of a newer version or algorithm). Shows nothing,
// writes nothing; reads the payload's bytes only to digest them.
int CheckPayload(HINSTANCE instance);

#endif
