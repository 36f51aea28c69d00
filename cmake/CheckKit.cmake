# Checks what `cmake --install` of the windows build puts into the
# publisher's kit: every file the guide names, the INI examples as the
# updater reads them (CP932 with CR LF on every line), a try-updater.sh that
# runs, and notices for the code that the updater carries.
#
#   cmake -DBUILD=<build folder> -DPREFIX=<empty folder> -DNM=<nm> -DSTRIP=<strip> -P CheckKit.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()

foreach(name
    bin/fa2.exe bin/updater.exe bin/play-updater.exe GUIDE.md UPDATE.INI-reference.md
    UPDATE.INI.example SETUP.INI.example try-updater.sh LICENSE THIRD-PARTY-NOTICES.txt
    licenses/xxhash.txt licenses/zstd.txt licenses/mingw-w64-runtime-and-winpthreads.txt licenses/GPL-3.txt)
  if(NOT EXISTS ${PREFIX}/${name})
    message(FATAL_ERROR "the kit lacks ${name}")
  endif()
endforeach()

foreach(name UPDATE.INI.example SETUP.INI.example)
  execute_process(COMMAND iconv -f CP932 -t UTF-8 ${PREFIX}/${name}
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name} is not CP932 text")
  endif()
  # grep counts the lines without a CR before their LF, and a last line
  # without its LF.
  execute_process(COMMAND grep -c -v "\r$" ${PREFIX}/${name} OUTPUT_VARIABLE bare ERROR_QUIET)
  execute_process(COMMAND tail -c 1 ${PREFIX}/${name} OUTPUT_VARIABLE last)
  string(STRIP "${bare}" bare)
  if(NOT bare EQUAL 0 OR NOT last STREQUAL "\n")
    message(FATAL_ERROR "${name} has a line that does not end with CR LF")
  endif()
endforeach()

execute_process(COMMAND ${PREFIX}/try-updater.sh --help
  RESULT_VARIABLE result OUTPUT_VARIABLE help ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT help MATCHES "--setup SETUP.INI --company NAME --dir NAME")
  message(FATAL_ERROR "try-updater.sh --help failed: ${errors}")
endif()

# The notices must name what the updater links in: the payload digest's
# xxHash, the patch entries' zstd, and the MinGW-w64 parts that its symbols show.
file(READ ${PREFIX}/THIRD-PARTY-NOTICES.txt notices)
execute_process(COMMAND ${NM} ${BUILD}/src/updater.exe OUTPUT_VARIABLE symbols)
foreach(pair "XXH3_;xxHash" "ZSTD_;Zstandard" "pthread_;winpthreads" "__gdtoa;Lucent" "__mingw_;mingw-w64 project")
  list(GET pair 0 symbol)
  list(GET pair 1 notice)
  string(FIND "${symbols}" "${symbol}" linked)
  string(FIND "${notices}" "${notice}" named)
  if(NOT linked EQUAL -1 AND named EQUAL -1)
    message(FATAL_ERROR "the updater links ${symbol}* but THIRD-PARTY-NOTICES.txt names no ${notice}")
  endif()
endforeach()

# Every update carries the stub, stripped as the kit ships it: for an update
# of a few patches it is a good part of what players download. It holds the
# program, zstd's decompressor and the few parts of the C and C++ runtimes
# that they call (about 144 KB); a budget keeps a change that pulls in much
# more from going unnoticed: the uuid library's GUIDs, or a local static that
# needs the C++ runtime's exception support, cost 40 KB and 75 KB.
set(stub_budget 163840)
execute_process(COMMAND ${STRIP} -o ${PREFIX}/stripped-updater.exe ${BUILD}/src/updater.exe
  RESULT_VARIABLE result)
file(SIZE ${PREFIX}/stripped-updater.exe stub_size)
if(NOT result EQUAL 0 OR stub_size GREATER stub_budget)
  message(FATAL_ERROR "the stripped updater stub is ${stub_size} bytes, over its budget of ${stub_budget}")
endif()
