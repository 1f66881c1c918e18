# Installs the build tree into a temporary prefix and builds three small
# consumers against it: one with find_package, one with pkg-config, one with
# add_subdirectory of the sources; each runs one query and one calibration.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DC_COMPILER=... -P consumer_test.cmake
foreach(v BUILD_DIR SOURCE_DIR WORK_DIR C_COMPILER)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "${v} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

# Runs a consumer binary in fresh source and calibration directories.
function(run_consumer name exe)
  set(src ${WORK_DIR}/${name}-source)
  set(cal ${WORK_DIR}/${name}-calib)
  file(MAKE_DIRECTORY ${src} ${cal})
  file(COPY ${SOURCE_DIR}/samples/Table0.dat DESTINATION ${src})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${prefix}/lib" ${exe} ${src} ${cal}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${name} consumer failed (${rc}):\n${out}\n${err}")
  endif()
  message(STATUS "${name}: ${out}")
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(f include/depbase.h include/calibmod.h lib/libdepbase.so.1 lib/libcalibmod.so.1 lib/libdepbase.so
          lib/pkgconfig/depbase.pc lib/pkgconfig/calibmod.pc lib/cmake/zmd/zmdConfig.cmake
          lib/cmake/zmd/zmdConfigVersion.cmake)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "the install lacks ${f}")
  endif()
endforeach()

# The installed tools start from the prefix as they are: their run path finds
# the libraries beside them (no LD_LIBRARY_PATH).
foreach(tool depbase-cli dbc calibmod-cli)
  if(EXISTS ${BUILD_DIR}/tools/${tool})
    if(NOT EXISTS ${prefix}/bin/${tool})
      message(FATAL_ERROR "the install lacks bin/${tool}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${prefix}/bin/${tool} --version
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "^${tool} [0-9]")
      message(FATAL_ERROR "the installed ${tool} does not start (${rc}):\n${out}\n${err}")
    endif()
    message(STATUS "installed ${tool}: ${out}")
  endif()
endforeach()

# find_package
set(fp ${WORK_DIR}/find-package)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer/find-package -B ${fp} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${fp})
run_consumer(find-package ${fp}/consumer)

# pkg-config
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${prefix}/lib/pkgconfig"
                  ${PKG_CONFIG} --cflags --libs depbase calibmod
                  RESULT_VARIABLE rc OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know depbase and calibmod")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${C_COMPILER} ${SOURCE_DIR}/tests/consumer/consumer.c ${flags} -o ${WORK_DIR}/pkg-config-consumer)
  run_consumer(pkg-config ${WORK_DIR}/pkg-config-consumer)
else()
  message(STATUS "pkg-config not found: the pkg-config consumer is skipped")
endif()

# add_subdirectory
set(sd ${WORK_DIR}/subdirectory)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer/subdirectory -B ${sd} -DZMD_SOURCE_DIR=${SOURCE_DIR}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${sd} -j2)
run_consumer(subdirectory ${sd}/consumer)
