# What `cmake --install` puts into the publisher's kit: the programs of this
# build in bin/ (fa2 from the native build; fa2.exe and updater.exe from the
# windows build, so that fa2 finds the updater beside itself), the guide, the
# reference of UPDATE.INI and SETUP.INI with a commented example of each,
# the project's licence and the notices that go with every updater, and the
# licence texts of the libraries linked into the programs, taken from the
# Debian packages that provide them. The windows build adds try-updater.sh
# and the program it plays the wizard with. scripts/kit.sh installs both
# builds into one folder and packs it.
install(FILES ${PROJECT_SOURCE_DIR}/docs/publisher-guide.md DESTINATION . RENAME GUIDE.md)
install(FILES
  ${PROJECT_SOURCE_DIR}/docs/UPDATE.INI-reference.md
  ${PROJECT_SOURCE_DIR}/docs/UPDATE.INI.example
  ${PROJECT_SOURCE_DIR}/docs/SETUP.INI.example
  ${PROJECT_SOURCE_DIR}/LICENSE
  ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt
  DESTINATION .)
if(WIN32 AND TARGET sample_run)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/try-updater.sh DESTINATION .)
  install(PROGRAMS $<TARGET_FILE:sample_run> DESTINATION bin RENAME play-updater.exe)
  add_test(NAME kit_contents
    COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/kit-check
            -DNM=${CMAKE_NM} -DSTRIP=${CMAKE_STRIP} -P ${PROJECT_SOURCE_DIR}/cmake/CheckKit.cmake)
endif()

# libstdc++ and libgcc (GPL 3 with the GCC Runtime Library Exception) are
# linked statically into every program of either build; the windows programs
# also hold the MinGW-w64 runtime and winpthreads.
if(WIN32)
  # bin/play-updater.exe, a tool of the kit that no player gets, also holds
  # GoogleTest (BSD-3-Clause) from the tests' support code.
  set(kit_licenses
    /usr/share/doc/mingw-w64-common/copyright mingw-w64-runtime-and-winpthreads.txt
    /usr/share/doc/gcc-mingw-w64-base/copyright gcc-runtime-windows.txt
    /usr/share/doc/googletest/copyright googletest.txt)
else()
  set(kit_licenses
    /usr/share/doc/gcc-12-base/copyright gcc-runtime-linux.txt)
endif()
list(APPEND kit_licenses /usr/share/common-licenses/GPL-3 GPL-3.txt)
# xxHash (BSD-2-Clause), compiled into fa2 and the updater for the payload
# digest: its notice goes wherever the programs go.
list(APPEND kit_licenses /usr/share/doc/libxxhash-dev/copyright xxhash.txt)
list(APPEND kit_licenses /usr/share/doc/libzstd-dev/copyright zstd.txt)  # zstd (BSD), the patch engine
while(kit_licenses)
  list(POP_FRONT kit_licenses source name)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "the licence text ${source} is missing: scripts/deps.sh installs it")
  endif()
  install(FILES ${source} DESTINATION licenses RENAME ${name})
endwhile()
