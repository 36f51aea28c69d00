#include "fa2/cli/command_table.h"

#include <cstring>

#include "fa2/cli/options.h"

namespace {

// Every subcommand, in the order the overview lists them: the one-step build
// first, as most publishers need no other.
const Subcommand* const kSubcommands[] = {&kBuildCommand,  &kCheckCommand, &kPackCommand,
                                          &kEmbedCommand,  &kListCommand,  &kExtractCommand,
                                          &kVerifyCommand};

}  // namespace

const Subcommand* FindSubcommand(const char* name) {
  for (const Subcommand* command : kSubcommands)
    if (std::strcmp(name, command->name) == 0) return command;
  return nullptr;
}

void PrintOverview(FILE* out) {
  std::fputs(
      "Usage: fa2 [-q|-v] COMMAND [ARGUMENTS...]\n"
      "\n"
      "Makes and reads FA2 archives, the payload of the game updater, and makes\n"
      "updaters that carry them.\n"
      "\n"
      "Commands:\n",
      out);
  for (const Subcommand* command : kSubcommands)
    std::fprintf(out, "  %-9s %s\n", command->name, command->summary);
  std::fputs(
      "\n"
      "  -q, --quiet    print errors only\n"
      "  -v, --verbose  also say what each step does\n"
      "  --version      print fa2's version\n"
      "\n"
      "'fa2 COMMAND --help' describes a command. Exit status: 0 on success, 1 when\n"
      "an archive is damaged or an operation fails, 2 on a usage error. Where an\n"
      "ARCHIVE is read, an updater made by 'fa2 embed' serves as well: its payload\n"
      "is the archive.\n",
      out);
  std::fputs(kOptionSyntaxHelp, out);
}

void PrintSubcommandHelp(const Subcommand& command, FILE* out) {
  std::fputs(command.help, out);
  std::fputs(kOptionSyntaxHelp, out);
}
