# Fails unless the shared library defines exactly the six access functions
# in its dynamic symbol table. Run as: cmake -DLIBRARY=<path> -P check_exports.cmake
if(NOT LIBRARY)
  message(FATAL_ERROR "usage: cmake -DLIBRARY=<libdepbase.so> -P check_exports.cmake")
endif()
find_program(NM_PROGRAM NAMES nm REQUIRED)
execute_process(COMMAND ${NM_PROGRAM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE nm_out RESULT_VARIABLE nm_rc ERROR_VARIABLE nm_err)
if(NOT nm_rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}: ${nm_err}")
endif()

set(expected ZMD_AccessDrvDataBase ZMD_AccessLMDataBase ZMD_AccessMntDataBase
             ZMD_AccessPADataBase ZMD_AccessRootDataBase ZMD_AccessSMDataBase)
string(REPLACE "\n" ";" lines "${nm_out}")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] +([^ ]+)$")
    list(APPEND found "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT found)
if(NOT "${found}" STREQUAL "${expected}")
  message(FATAL_ERROR "exported symbols differ\n  expected: ${expected}\n  found:    ${found}")
endif()
message(STATUS "exports: ${found}")
