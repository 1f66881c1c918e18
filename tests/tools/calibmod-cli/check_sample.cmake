# Regenerates the shipped sample with calibmod-cli make-sample into the build
# directory and fails when it differs from the committed file.
execute_process(COMMAND ${CLI} make-sample ${OUT} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "calibmod-cli make-sample failed (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${REF} RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
  message(FATAL_ERROR "${REF} is not what calibmod-cli make-sample writes; rewrite it with: calibmod-cli make-sample ${REF}")
endif()
