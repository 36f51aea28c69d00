// The packing options that 'fa2 pack' and 'fa2 build' share: --level,
// --mtime, and for pack --store and --plain-directory.
#ifndef FA2_COMMANDS_PACK_OPTIONS_H
#define FA2_COMMANDS_PACK_OPTIONS_H

#include "fa2/archive/pack_files.h"
#include "fa2/cli/options.h"

#define FA2_LEVEL_OPTION {"--level", 0, "a number from 1 to 9"}
#define FA2_MTIME_OPTION {"--mtime", 0, "a time"}

// Reads the packing options given into *options. Returns 0, or the exit code
// of a usage error that it has reported for command.
int TakePackOptions(const char* command, const ParsedArguments& arguments, PackOptions* options);

#endif
