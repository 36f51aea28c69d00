// The first lines of the run log: which updater runs, and from where.
#ifndef DRIVER_RUN_LOG_START_H
#define DRIVER_RUN_LOG_START_H

#include <windows.h>

// Logs the date, the updater program's version, the file version that its
// publisher gave it (its version resource) and its path.
void LogUpdaterStart(HINSTANCE instance);

#endif
