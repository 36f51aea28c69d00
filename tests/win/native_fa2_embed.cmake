# Makes an updater with the Linux build of fa2 (pack, embed, list, verify)
# and has the windows test program check it under wine: its payload and
# resources through the platform's functions, its checksum, and a run.
# Skipped (with the message below) when the native build has not been made.
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${FA2}")
  message("NATIVE FA2 MISSING: build the native preset first (${FA2})")
  return()
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/UPDATE.INI" "[SETUP]\r\nCompanyName=Test\r\n")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}")
  endif()
endfunction()

run("${FA2}" pack -o "${WORK}/update.fa2" "${WORK}/UPDATE.INI" "${STUB}")
# UPDATE.INI here is incomplete on purpose; --force past fa2's check.
run("${FA2}" embed --force "${STUB}" "${WORK}/update.fa2" -o "${WORK}/updater.exe")
run("${FA2}" list "${WORK}/updater.exe")
run("${FA2}" verify "${WORK}/updater.exe")
set(ENV{NATIVE_FA2_UPDATER} "${WORK}/updater.exe")
set(ENV{NATIVE_FA2_ARCHIVE} "${WORK}/update.fa2")
set(ENV{WINE_RUN_SUITE} pe_embed_native_fa2)
execute_process(COMMAND "${WINE_RUN}" "${TEST_EXE}"
  --gtest_filter=PeEmbedUnderWine.NativeFa2OutputRuns RESULT_VARIABLE rc OUTPUT_VARIABLE out)
message("${out}")
# The test skips itself without the variables; here it must have run.
string(FIND "${out}" "[       OK ] PeEmbedUnderWine.NativeFa2OutputRuns" ran)
if(NOT rc EQUAL 0 OR ran EQUAL -1)
  message(FATAL_ERROR "the updater made by the native fa2 does not work under wine (${rc})")
endif()
