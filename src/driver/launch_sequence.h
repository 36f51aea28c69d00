// The second half of the updater's course, entered once the installed game
// and its SETUP.INI have been found: parse SETUP.INI, compose the caption,
// step aside for a second updater or the running game, run the wizard.
#ifndef DRIVER_LAUNCH_SEQUENCE_H
#define DRIVER_LAUNCH_SEQUENCE_H

#include <windows.h>

// Returns the exit code: 1 after a finished update, else 0. instance is the
// module whose resources hold the dialog templates.
int RunLaunchSequence(HINSTANCE instance);

#endif
