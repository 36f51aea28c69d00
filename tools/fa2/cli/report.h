// How fa2 speaks: exit codes, messages and the numbers in them. Every message
// to standard error begins with "fa2: ": "fa2: FILE: REASON" names the file it
// concerns, a warning is "fa2: FILE: warning: REASON", a usage error
// "fa2: COMMAND: REASON".
#ifndef FA2_CLI_REPORT_H
#define FA2_CLI_REPORT_H

#include <cstdint>
#include <string>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// How much fa2 says, set once from -q and -v: -1 errors only, 0 normally
// (results and warnings), 1 also what each step does and each file.
int Verbosity();
void SetVerbosity(int level);

// Prints "fa2: FILE: REASON".
void ReportError(const std::string& file, const std::string& reason);

// Prints "fa2: FILE: warning: REASON" unless fa2 is quiet.
void ReportWarning(const std::string& file, const std::string& reason);

// Prints "fa2: FILE: WHAT" when fa2 is verbose: a step or a file as it goes.
void ReportProgress(const std::string& file, const std::string& what);

// Prints "fa2: COMMAND: REASON" and a hint to --help; returns kExitUsage.
int ReportUsageError(const char* command, const std::string& reason);

// The text as a JSON string, quotes included (bytes from 0x80 up pass as
// they are: names are in the host's character set).
std::string JsonText(const std::string& text);

// A byte count with thousands separators: "5,623".
std::string FormatCount(uint64_t count);

#endif
