// fa2: makes, lists, extracts and checks FA2 archives, the updater's payload.
#include <cstdio>
#include <cstring>

#include "fa2/commands.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* help;
  const char* summary;
};

// Every subcommand, in the order the overview lists them.
const Subcommand kSubcommands[] = {
    {"pack", RunPack, kPackHelp, "make an archive from files and folders"},
    {"list", RunList, kListHelp, "list the entries of an archive"},
    {"extract", RunExtract, kExtractHelp, "write entries out as files"},
    {"verify", RunVerify, kVerifyHelp, "check an archive and every entry in it"},
    {"embed", RunEmbed, kEmbedHelp, "make an updater that carries an archive"},
    {"check", RunCheck, kCheckHelp, "report what an update's UPDATE.INI will do wrong"},
    {"build", RunBuild, kBuildHelp, "check, pack and embed a folder in one step"},
};

#ifndef FA2_VERSION
#define FA2_VERSION "unversioned"
#endif

void PrintOverview(FILE* out) {
  std::fputs(
      "Usage: fa2 [-q|-v] COMMAND [ARGUMENTS...]\n"
      "\n"
      "Makes and reads FA2 archives, the payload of the game updater, and makes\n"
      "updaters that carry them.\n"
      "\n"
      "Commands:\n",
      out);
  for (const Subcommand& command : kSubcommands)
    std::fprintf(out, "  %-9s %s\n", command.name, command.summary);
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
}


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
    if (argc >= 3) {
      for (const Subcommand& command : kSubcommands) {
        if (std::strcmp(argv[2], command.name) == 0) {
          std::fputs(command.help, stdout);
          return kExitOk;
        }
      }
    }
    PrintOverview(stdout);
    return kExitOk;
  }
  for (const Subcommand& command : kSubcommands) {
    if (std::strcmp(name, command.name) == 0) return command.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "fa2: unknown command '%s'\n\n", name);
  PrintOverview(stderr);
  return kExitUsage;
}
