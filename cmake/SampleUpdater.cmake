# The README's sample: examples/sample-update packed and embedded into the
# updater stub, as build/windows/examples/sample-updater.exe, and a test that
# runs it under wine against examples/sample-game.
set(SAMPLE_UPDATE ${PROJECT_SOURCE_DIR}/examples/sample-update)
set(SAMPLE_GAME ${PROJECT_SOURCE_DIR}/examples/sample-game)
set(SAMPLE_ARCHIVE ${CMAKE_BINARY_DIR}/examples/sample-update.fa2)
set(SAMPLE_UPDATER ${CMAKE_BINARY_DIR}/examples/sample-updater.exe)

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/examples)
fa2_pack(OUTPUT ${SAMPLE_ARCHIVE} INPUTS ${SAMPLE_UPDATE})
make_updater(sample_updater OUTPUT ${SAMPLE_UPDATER} ARCHIVE ${SAMPLE_ARCHIVE})
# Made on the build machine by `fa2 embed`, the updater must find its payload
# under wine; sample_run (tools/wine) goes through its wizard, and a finished
# update exits with 1.
add_test(NAME sample_updater_runs COMMAND sample_run ${SAMPLE_UPDATER} ${SAMPLE_GAME})
set_tests_properties(sample_updater_runs PROPERTIES PASS_REGULAR_EXPRESSION "exit code 1\n")
