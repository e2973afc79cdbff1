# Runs the instrumented engine's bench to write a fresh profile. Profiles of an earlier build
# would not match the new objects, so they go first.
file(REMOVE_RECURSE ${DATA})
execute_process(COMMAND ${ENGINE} bench 8 RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "The instrumented engine's bench failed: ${result}")
endif()
file(TOUCH ${STAMP})
