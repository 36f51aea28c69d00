// Libraries from the system folder only. The updater runs elevated and is
// usually started from a downloads folder, where a web page can have left a
// DLL named like a system library; the platform's default search would load
// it from there, the program's own folder, with the updater's rights.
#ifndef PLATFORM_SYSTEM_LIBRARY_H
#define PLATFORM_SYSTEM_LIBRARY_H

#include <windows.h>

// Makes the system folder the only place from which this process loads a
// library by name (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32),
// for the libraries that system DLLs load late as well as for this
// program's own. That function is looked up at run time: Windows Vista and
// an unpatched Windows 7 lack it (it came with Windows 8 and update
// KB2533623), and importing it would keep the updater from starting there.
// On those systems only the current folder leaves the search order
// (SetDllDirectoryA with ""). Returns 1 when the search is restricted to the
// system folder, 0 when only the fallback could be set. Call it first thing,
// before anything can load a library.
int RestrictLibrarySearch();

// LoadLibraryA with the full path of name (a file name such as
// "kernel32.dll") in the system folder, so that no search is made. Returns
// the module, or null when the path does not fit or the load fails.
HMODULE LoadSystemLibrary(const char* name);

#endif
