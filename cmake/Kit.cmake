# What `cmake --install` puts into the publisher's kit: the programs of this
# build in bin/ (fa2 from the native build; fa2.exe and updater.exe from the
# windows build, so that fa2 finds the updater beside itself), the guide and
# the commented UPDATE.INI, and the licence texts of the runtime libraries
# linked into the programs, taken from the Debian packages that provide
# them. scripts/kit.sh installs both builds into one folder and packs it.
install(FILES ${PROJECT_SOURCE_DIR}/docs/publisher-guide.md DESTINATION . RENAME GUIDE.md)
install(FILES ${PROJECT_SOURCE_DIR}/docs/UPDATE.INI.example DESTINATION .)

# libstdc++ and libgcc (GPL 3 with the GCC Runtime Library Exception) are
# linked statically into every program of either build; the windows programs
# also hold the MinGW-w64 runtime and winpthreads.
if(WIN32)
  set(kit_licenses
    /usr/share/doc/mingw-w64-common/copyright mingw-w64-runtime-and-winpthreads.txt
    /usr/share/doc/gcc-mingw-w64-base/copyright gcc-runtime-windows.txt)
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
