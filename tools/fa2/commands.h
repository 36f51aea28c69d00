// fa2's subcommands. Each takes the arguments after its own name and returns
// the process exit code: 0 on success, 1 when an archive is damaged or an
// operation fails, 2 on a usage error. Every message to standard error begins
// with "fa2: ": "fa2: FILE: REASON" names the file it concerns, a warning is
// "fa2: FILE: warning: REASON", a usage error "fa2: COMMAND: REASON".
#ifndef FA2_COMMANDS_H
#define FA2_COMMANDS_H

#include <cstdint>
#include <string>
#include <vector>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunPack(int argc, char** argv);
int RunList(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunVerify(int argc, char** argv);
int RunEmbed(int argc, char** argv);
int RunCheck(int argc, char** argv);
int RunBuild(int argc, char** argv);

// Each subcommand's --help text.
extern const char kPackHelp[];
extern const char kListHelp[];
extern const char kExtractHelp[];
extern const char kVerifyHelp[];
extern const char kEmbedHelp[];
extern const char kCheckHelp[];
extern const char kBuildHelp[];

// How much fa2 says, set once from -q and -v: -1 errors only, 0 normally
// (results and warnings), 1 also what each step does.
int Verbosity();
void SetVerbosity(int level);

// Prints "fa2: FILE: warning: REASON" unless fa2 is quiet.
void ReportWarning(const std::string& file, const std::string& reason);

// The text as a JSON string, quotes included (bytes from 0x80 up pass as
// they are: names are in the host's character set).
std::string JsonText(const std::string& text);

// A byte count with thousands separators: "5,623".
std::string FormatCount(uint64_t count);

// fa2 embed's work: verifies and checks the archive (its findings named by
// label; setupIni, when given, is the installed game's SETUP.INI), then
// writes the updater output from the stub with the branding. Returns an exit
// code.
struct UpdaterBranding;
int EmbedUpdate(const std::string& stubPath, const std::string& archivePath,
                const std::string& label, const std::string* setupIni,
                const std::string& output, const UpdaterBranding& branding, bool force);

// Reads a SETUP.INI for the check into *text. Reports a failure itself.
int ReadSetupForCheck(const std::string& path, std::string* text);

// Runs the update check (fa2/update_check.h) on an archive's payload and
// prints the findings for path, or as JSON. Returns the number of errors, or
// -1 when the archive cannot be read (reported).
int CheckUpdatePayload(const std::string& path, const std::vector<uint8_t>& payload,
                       const std::string* setupIni, bool json);

// Prints "fa2: FILE: REASON".
void ReportError(const std::string& file, const std::string& reason);

// Prints "fa2: COMMAND: REASON" and a hint to --help; returns kExitUsage.
int ReportUsageError(const char* command, const std::string& reason);

// Takes the single ARCHIVE argument of a subcommand that has no options.
// Returns 0, or the exit code of a usage error that it has reported.
int TakeOneArchive(const char* command, int argc, char** argv, std::string* path);

// Whether the arguments ask for help (-h or --help before any "--").
bool AsksForHelp(int argc, char** argv);

#endif
