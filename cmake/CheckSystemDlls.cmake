# Checks that a Windows program imports only DLLs that every Windows has, so
# that it runs from wherever the player saved it without anything beside it.
#
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P CheckSystemDlls.cmake
#
# The allowed names are compared without regard to case, as the loader does.
set(system_dlls
  kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll
  oleaut32.dll comctl32.dll comdlg32.dll version.dll shlwapi.dll msvcrt.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}
  OUTPUT_VARIABLE dump RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${PROGRAM}: ${errors}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "${PROGRAM}: no import table found")
endif()
set(foreign)
foreach(line ${lines})
  string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  list(FIND system_dlls "${lower}" at)
  if(at EQUAL -1)
    list(APPEND foreign "${dll}")
  else()
    message(STATUS "${dll}")
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} imports DLLs that are not part of Windows: ${foreign}")
endif()
