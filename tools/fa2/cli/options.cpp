#include "fa2/cli/options.h"

#include <cstring>

#include "fa2/cli/report.h"

const char kOptionSyntaxHelp[] =
    "\n"
    "Options: --name VALUE and --name=VALUE are the same, as are -x VALUE and\n"
    "-xVALUE; options and other arguments may come in any order; \"--\" ends the\n"
    "options, so that a name after it may begin with \"-\". -q (--quiet) prints\n"
    "errors only, -v (--verbose) also names each step and file, -h (--help)\n"
    "shows the help.\n";

namespace {

const OptionSpec* FindLong(const std::string& name, const OptionSpec* specs, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (name == specs[i].name) return &specs[i];
  return nullptr;
}

const OptionSpec* FindShort(char name, const OptionSpec* specs, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (specs[i].shortName != 0 && specs[i].shortName == name) return &specs[i];
  return nullptr;
}

}  // namespace

int ParseArguments(const char* command, int argc, char** argv, const OptionSpec* specs,
                   size_t count, ParsedArguments* out) {
  *out = ParsedArguments{};
  bool optionsEnded = false;
  // A usage error waits for the end: --help anywhere before "--" wins.
  std::string problem;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      out->operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      out->help = true;
      continue;
    }
    const OptionSpec* spec = nullptr;
    std::string spelled = arg, value;
    bool attached = false;
    if (arg[1] == '-') {
      const size_t equals = arg.find('=');
      spelled = arg.substr(0, equals);
      spec = FindLong(spelled, specs, count);
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
        attached = true;
      }
    } else {
      spelled = arg.substr(0, 2);
      spec = FindShort(arg[1], specs, count);
      if (arg.size() > 2) {
        value = arg.substr(2);
        attached = true;
      }
    }
    if (spec == nullptr || (attached && spec->value == nullptr)) {
      if (problem.empty()) problem = "unknown option " + arg;
      continue;
    }
    if (spec->value != nullptr && !attached) {
      if (i + 1 >= argc) {
        if (problem.empty()) problem = spelled + " needs " + spec->value;
        continue;
      }
      value = argv[++i];
    }
    out->options.push_back({spec, value});
  }
  if (out->help || problem.empty()) return 0;
  return ReportUsageError(command, problem);
}

bool ParsedArguments::Has(const char* name) const { return Count(name) > 0; }

int ParsedArguments::Count(const char* name) const {
  int n = 0;
  for (const Given& given : options) n += std::strcmp(given.spec->name, name) == 0;
  return n;
}

std::string ParsedArguments::Value(const char* name, const std::string& fallback) const {
  std::string value = fallback;
  for (const Given& given : options)
    if (std::strcmp(given.spec->name, name) == 0) value = given.value;
  return value;
}

std::vector<std::string> ParsedArguments::Values(const char* name) const {
  std::vector<std::string> values;
  for (const Given& given : options)
    if (std::strcmp(given.spec->name, name) == 0) values.push_back(given.value);
  return values;
}
