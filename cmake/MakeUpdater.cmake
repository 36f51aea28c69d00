# Making updaters in the windows build: an FA2 archive from files, embedded
# into the updater stub with `fa2 embed`, exactly as publishers do it.
#
# The windows build makes fa2.exe, which would need wine to run during the
# build. Instead, fa2 is also built for the build machine itself, as an
# external project of this same source tree configured with the host's
# compiler (tools only: fa2 and its libraries, no tests, no benchmark). It runs natively, needs no
# wine prefix and no display, and is the same program that the native preset
# builds.
#
#   fa2_pack(OUTPUT <archive> INPUTS <file-or-folder>...)
#   make_updater(<target> OUTPUT <exe> ARCHIVE <archive>)
include(ExternalProject)

set(HOST_FA2_DIR ${CMAKE_BINARY_DIR}/host-fa2)
set(HOST_FA2 ${HOST_FA2_DIR}/tools/fa2)
ExternalProject_Add(host_fa2
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${HOST_FA2_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
             -DUPDATER_TOOLS_ONLY=ON
  INSTALL_COMMAND ""
  # The sub-build tracks its own sources; asking it every time costs little
  # and keeps the host fa2 as current as the windows one.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${HOST_FA2}
  EXCLUDE_FROM_ALL ON)

# Packs the inputs (files, and the regular files of folders) into an archive.
function(fa2_pack)
  cmake_parse_arguments(ARG "" "OUTPUT" "INPUTS" ${ARGN})
  set(depends)
  foreach(input ${ARG_INPUTS})
    if(IS_DIRECTORY ${input})
      file(GLOB files CONFIGURE_DEPENDS ${input}/*)
      list(APPEND depends ${files})
    else()
      list(APPEND depends ${input})
    endif()
  endforeach()
  add_custom_command(OUTPUT ${ARG_OUTPUT}
    COMMAND ${HOST_FA2} pack -o ${ARG_OUTPUT} ${ARG_INPUTS}
    DEPENDS host_fa2 ${depends}
    COMMENT "fa2 pack ${ARG_OUTPUT}"
    VERBATIM)
endfunction()

# Makes the updater OUTPUT from the stub and ARCHIVE; the target builds it.
function(make_updater target)
  cmake_parse_arguments(ARG "" "OUTPUT;ARCHIVE" "" ${ARGN})
  add_custom_command(OUTPUT ${ARG_OUTPUT}
    COMMAND ${HOST_FA2} embed $<TARGET_FILE:updater> ${ARG_ARCHIVE} -o ${ARG_OUTPUT}
    DEPENDS host_fa2 updater ${ARG_ARCHIVE}
    COMMENT "fa2 embed ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${ARG_OUTPUT})
endfunction()
