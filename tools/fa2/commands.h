// fa2's subcommands. Each takes the arguments after its own name and returns
// the process exit code: 0 on success, 1 when an archive is damaged or an
// operation fails, 2 on a usage error. Errors go to standard error as
// "fa2: FILE: REASON", so that every one names the file it concerns.
#ifndef FA2_COMMANDS_H
#define FA2_COMMANDS_H

#include <string>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunPack(int argc, char** argv);
int RunList(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunVerify(int argc, char** argv);
int RunEmbed(int argc, char** argv);

// Each subcommand's --help text.
extern const char kPackHelp[];
extern const char kListHelp[];
extern const char kExtractHelp[];
extern const char kVerifyHelp[];
extern const char kEmbedHelp[];

// Prints "fa2: FILE: REASON".
void ReportError(const std::string& file, const std::string& reason);

// Prints "fa2 COMMAND: REASON" and a hint to --help; returns kExitUsage.
int ReportUsageError(const char* command, const std::string& reason);

// Takes the single ARCHIVE argument of a subcommand that has no options.
// Returns 0, or the exit code of a usage error that it has reported.
int TakeOneArchive(const char* command, int argc, char** argv, std::string* path);

// Whether the arguments ask for help (-h or --help before any "--").
bool AsksForHelp(int argc, char** argv);

#endif
