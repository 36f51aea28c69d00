// Entry names: the archive holds each name as CP932 bytes without a folder
// part. On Linux, fa2 converts between the host's UTF-8 file names and CP932;
// fa2.exe takes and gives ANSI names, which on the system it serves are
// already CP932.
#ifndef FA2_NAMES_H
#define FA2_NAMES_H

#include <cstddef>
#include <string>

// Converts a host file name to its CP932 form. Returns 0 when the name has a
// character that CP932 cannot hold (or is not valid UTF-8).
int HostNameToArchiveName(const std::string& hostName, std::string* archiveName);

// Converts a CP932 name to the host's form. Returns 0 when the bytes are not
// valid CP932.
int ArchiveNameToHostName(const std::string& archiveName, std::string* hostName);

// Converts UTF-8 text to CP932, whatever the host. Returns 0 when the text is
// not valid UTF-8 or has a character that CP932 cannot hold.
int Utf8ToCp932(const std::string& text, std::string* cp932);

// Converts CP932 text to UTF-16, as resources hold their texts. Returns 0
// when the bytes are not valid CP932.
int Cp932ToUtf16(const std::string& text, std::u16string* wide);

// The name as the host shows it, for listings and messages: converted when it
// can be, else with every byte that is not printable ASCII written as \xHH.
std::string DisplayArchiveName(const std::string& archiveName);

// The name folded by FoldArchiveName (archive/archive_names.h): equal for
// the names that the updater cannot tell apart (and, after kana, a few more).
std::string FoldArchiveName(const std::string& name);

// ArchiveNamesEqual (archive/archive_names.h) for whole strings.
bool ArchiveNamesEqual(const std::string& a, const std::string& b);

// Whether a name read from an archive can be written as a file of that name in
// the output folder: not empty, not "." or "..", and with no folder separator
// (slash, backslash or colon outside double-byte characters) and no control
// character. Names that fail would escape the folder or cannot be files.
bool IsSafeArchiveName(const std::string& archiveName);

#endif
