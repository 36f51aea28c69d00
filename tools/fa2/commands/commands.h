// fa2's subcommands. Each is its name, its options, its help and a thin run
// function over the parsed arguments that returns the process exit code
// (fa2/cli/report.h): the work itself is done by the functions of the other
// rooms (archive/, pe/, check/), which the commands only call.
#ifndef FA2_COMMANDS_COMMANDS_H
#define FA2_COMMANDS_COMMANDS_H

#include <cstddef>

#include "fa2/cli/options.h"

struct Subcommand {
  const char* name;
  const char* summary;  // one line for the overview
  const char* help;     // the text of 'fa2 COMMAND --help', before the option syntax
  const OptionSpec* options;
  size_t optionCount;
  int (*run)(const ParsedArguments& arguments);
};

extern const Subcommand kBuildCommand;
extern const Subcommand kPackCommand;
extern const Subcommand kListCommand;
extern const Subcommand kExtractCommand;
extern const Subcommand kVerifyCommand;
extern const Subcommand kEmbedCommand;
extern const Subcommand kCheckCommand;

#endif
