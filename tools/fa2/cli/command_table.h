// The table of fa2's subcommands, the overview that 'fa2 --help' prints and
// each subcommand's help.
#ifndef FA2_CLI_COMMAND_TABLE_H
#define FA2_CLI_COMMAND_TABLE_H

#include <cstdio>

#include "fa2/commands/commands.h"

// The subcommand of that name, or nullptr.
const Subcommand* FindSubcommand(const char* name);

void PrintOverview(FILE* out);

// The subcommand's help, followed by how options are written.
void PrintSubcommandHelp(const Subcommand& command, FILE* out);

#endif
