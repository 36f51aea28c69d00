// A game installed into the wine prefix from a folder of its files, as its
// installer would leave it, for the programs that run an updater against it
// (sample_run, updater_bench_run).
#ifndef E2E_INSTALLED_GAME_H
#define E2E_INSTALLED_GAME_H

#include <windows.h>

#include <string>

// GAME_FOLDER holds the game's files and its SETUP.INI, whose CompanyName and
// GameDir name the install record. The folder is copied to
// C:\Games\<GameDir>, and HKCU\Software\<CompanyName>\<GameDir> is written
// with InstPath (that copy), DataPath (its folder "save") and InstMode. The
// copied files get a last-write time in 2020, the day the game was
// installed, so that files an update brings count as newer. Returns false
// after a message on stderr.
bool InstallGameFromFolder(const std::string& gameFolder, DWORD instMode, std::string* installed);

// CP932 text for the host's UTF-8 terminal; a carriage return shows as "|".
std::string Utf8(const std::string& cp932);

// A host path (/a/b) as wine sees it; any other path as it is.
std::string WinePath(const std::string& path);

#endif
