// The installed game's description: section SETUP of its SETUP.INI, read
// whole into the installation fields of State and checked for structure.
#ifndef CONFIG_SETUP_DESCRIPTION_WIN32_H
#define CONFIG_SETUP_DESCRIPTION_WIN32_H

// Reads SETUP.INI at State.SetupIniPath. Returns 1 when the whole section was
// read and is sound; then State.KeysOptional is 1. Returns 0 after one
// message box (caption "VARDELIX") naming the first fault; the fields read
// until then keep their new values. CompanyName, GameTitle, GameDir and
// GameClass, shared with the update description, take the installed game's
// values.
int LoadSetupDescription();

#endif
