# The pictures in docs/ are what calibmod-cli plot draws: the built-in curves,
# and the sample calibrated with the ids -3,0,3,-3 against its source. Both
# are drawn again in WORK and compared with the committed files.
# Arguments: CLI, ROOT (the source tree), WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/samples ${WORK}/calib)
file(COPY ${ROOT}/samples/Table0.dat DESTINATION ${WORK}/samples)
execute_process(COMMAND ${CLI} plot --builtin -o builtin-curves.svg WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc1 OUTPUT_QUIET)
execute_process(COMMAND ${CLI} calibrate --source-dir samples --source Table0.dat --calib-dir calib --ids -3,0,3,-3
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc2 OUTPUT_QUIET)
execute_process(COMMAND ${CLI} plot calib/table1.dat --against samples/Table0.dat -o sample-before-after.svg
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc3 OUTPUT_QUIET)
if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0 OR NOT rc3 EQUAL 0)
  message(FATAL_ERROR "calibmod-cli failed drawing the pictures (${rc1} ${rc2} ${rc3})")
endif()
foreach(svg builtin-curves.svg sample-before-after.svg)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${svg} ${ROOT}/docs/${svg} RESULT_VARIABLE diff)
  if(NOT diff EQUAL 0)
    message(FATAL_ERROR "docs/${svg} is not what calibmod-cli plot draws; draw it again with tools/calibmod-cli/draw-plots")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
