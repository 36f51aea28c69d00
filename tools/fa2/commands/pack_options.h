// The packing options that 'fa2 pack' and 'fa2 build' share: --level,
// --mtime, --from and --keep-full, and for pack --store and --plain-directory.
#ifndef FA2_COMMANDS_PACK_OPTIONS_H
#define FA2_COMMANDS_PACK_OPTIONS_H

#include "fa2/archive/pack_files.h"
#include "fa2/cli/options.h"

#define FA2_LEVEL_OPTION {"--level", 0, "a number from 1 to 9"}
#define FA2_MTIME_OPTION {"--mtime", 0, "a time"}
#define FA2_PATCH_OPTIONS {"--from", 0, "a folder"}, {"--keep-full", 0, nullptr}

// Reads the packing options given into *options. Returns 0, or the exit code
// of a usage error that it has reported for command.
int TakePackOptions(const char* command, const ParsedArguments& arguments, PackOptions* options);

#endif
