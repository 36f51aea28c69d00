// The one option parser of fa2's subcommands, so that every subcommand takes
// its options the same way:
//   --name VALUE and --name=VALUE; -x VALUE and -xVALUE for a short name;
//   options and operands in any order; "--" ends the options, so that an
//   operand after it may begin with "-"; -h and --help ask for the help.
// -q and -v are fa2's own and are taken out before a subcommand sees them.
#ifndef FA2_CLI_OPTIONS_H
#define FA2_CLI_OPTIONS_H

#include <cstddef>
#include <string>
#include <vector>

// One option that a subcommand takes.
struct OptionSpec {
  const char* name;   // the long name with its dashes: "--output"
  char shortName;     // 'o' for -o, or 0
  const char* value;  // what its value is, for "--output needs an archive name";
                      // nullptr for an option without a value
};

// The arguments of one subcommand, split up.
struct ParsedArguments {
  struct Given {
    const OptionSpec* spec;
    std::string value;
  };
  std::vector<Given> options;         // in the order given
  std::vector<std::string> operands;  // in the order given
  bool help = false;

  // Whether the option (by its long name) was given at all.
  bool Has(const char* name) const;
  // How often it was given.
  int Count(const char* name) const;
  // The value given last, or fallback.
  std::string Value(const char* name, const std::string& fallback = std::string()) const;
  // Every value given, in order.
  std::vector<std::string> Values(const char* name) const;
};

// The text that every help ends with: how options are written.
extern const char kOptionSyntaxHelp[];

// Splits argv by the options of specs (count of them). Returns 0, or the
// exit code of a usage error that it has reported for command ("unknown
// option", "--x needs ...").
int ParseArguments(const char* command, int argc, char** argv, const OptionSpec* specs,
                   size_t count, ParsedArguments* out);

#endif
