# Fails when a file of the platform-neutral folders src/archive and
# src/config includes windows.h without being named *_win32.*: such a file
# belongs to the Win32 side and must say so by its name.
#
#   cmake -DROOT=<src folder> -P CheckNeutralSources.cmake
file(GLOB files ${ROOT}/archive/* ${ROOT}/config/*)
if(NOT files)
  message(FATAL_ERROR "no sources found below ${ROOT}")
endif()
set(offenders)
set(checked 0)
foreach(file ${files})
  get_filename_component(name ${file} NAME)
  if(name MATCHES "_win32\\.[^.]+$")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][Ww][Ii][Nn][Dd][Oo][Ww][Ss]\\.[Hh][>\"]")
  if(includes)
    file(RELATIVE_PATH shown ${ROOT}/.. ${file})
    list(APPEND offenders ${shown})
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " shown)
  message(FATAL_ERROR "platform-neutral files that include windows.h (rename them *_win32.* or move them):\n  ${shown}")
endif()
message(STATUS "${checked} platform-neutral files checked")
