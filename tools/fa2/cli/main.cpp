// fa2: makes, lists, extracts and checks FA2 archives, the updater's payload.
#include <cstdio>
#include <cstring>

#include "fa2/cli/command_table.h"
#include "fa2/cli/report.h"

#ifndef FA2_VERSION
#define FA2_VERSION "unversioned"
#endif

namespace {

// Takes -q and -v (anywhere before "--") out of the arguments.
int TakeVerbosity(int argc, char** argv) {
  int kept = 0;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const char* arg = argv[i];
    optionsEnded = optionsEnded || std::strcmp(arg, "--") == 0;
    if (!optionsEnded && (std::strcmp(arg, "-q") == 0 || std::strcmp(arg, "--quiet") == 0)) {
      SetVerbosity(-1);
    } else if (!optionsEnded &&
               (std::strcmp(arg, "-v") == 0 || std::strcmp(arg, "--verbose") == 0)) {
      SetVerbosity(1);
    } else {
      argv[kept++] = argv[i];
    }
  }
  return kept;
}

}  // namespace

int main(int argc, char** argv) {
  argc = TakeVerbosity(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("fa2 %s\n", FA2_VERSION);
    return kExitOk;
  }
  if (argc < 2) {
    PrintOverview(stderr);
    return kExitUsage;
  }
  const char* name = argv[1];
  if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 ||
      std::strcmp(name, "help") == 0) {
    const Subcommand* command = argc >= 3 ? FindSubcommand(argv[2]) : nullptr;
    if (command)
      PrintSubcommandHelp(*command, stdout);
    else
      PrintOverview(stdout);
    return kExitOk;
  }
  const Subcommand* command = FindSubcommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "fa2: unknown command '%s'\n\n", name);
    PrintOverview(stderr);
    return kExitUsage;
  }
  ParsedArguments arguments;
  if (const int usage = ParseArguments(command->name, argc - 2, argv + 2, command->options,
                                       command->optionCount, &arguments))
    return usage;
  if (arguments.help) {
    PrintSubcommandHelp(*command, stdout);
    return kExitOk;
  }
  return command->run(arguments);
}
