# Regenerates the built-in curve data into the build directory and fails when
# it differs from the committed file.
execute_process(COMMAND ${GEN} ${SRC} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "curvegen failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${REF} RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
  message(FATAL_ERROR "${REF} is not what curvegen makes of ${SRC}; rebuild the target regen-builtin-curves")
endif()
