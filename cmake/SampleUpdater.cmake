# The README's sample: examples/sample-update packed and embedded into the
# updater stub, as build/windows/examples/sample-updater.exe, and a test that
# runs it under wine against examples/sample-game.
set(SAMPLE_UPDATE ${PROJECT_SOURCE_DIR}/examples/sample-update)
set(SAMPLE_GAME ${PROJECT_SOURCE_DIR}/examples/sample-game)
set(SAMPLE_ARCHIVE ${CMAKE_BINARY_DIR}/examples/sample-update.fa2)
set(SAMPLE_UPDATER ${CMAKE_BINARY_DIR}/examples/sample-updater.exe)

if(IS_DIRECTORY ${SAMPLE_UPDATE})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/examples)
  fa2_pack(OUTPUT ${SAMPLE_ARCHIVE} INPUTS ${SAMPLE_UPDATE})
  make_updater(sample_updater OUTPUT ${SAMPLE_UPDATER} ARCHIVE ${SAMPLE_ARCHIVE})
  if(IS_DIRECTORY ${SAMPLE_GAME})
    # Made on the build machine by `fa2 embed`, the updater must find its
    # payload under wine. Until the wizard exists the course ends after the
    # SETUP.INI check with the pending exit code 1; once it exists,
    # sample_run goes through it and a finished update gives 1 as well.
    add_test(NAME sample_updater_runs COMMAND sample_run ${SAMPLE_UPDATER} ${SAMPLE_GAME})
    set_tests_properties(sample_updater_runs PROPERTIES PASS_REGULAR_EXPRESSION "exit code 1\n")
  endif()
endif()
