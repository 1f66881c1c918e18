# What every GoogleTest program of the project gets alike.
#
#   zmd_test_program(<target> SOURCES <files...> [LINKS <targets...>]
#                    [INCLUDES <dirs...>] [PREFIX <prefix>] [TIMEOUT <seconds>])
#
# An executable linked with GoogleTest and its main, whose tests ctest finds
# by asking the built program (gtest_discover_tests), each named
# <prefix><Suite>.<Case>. TIMEOUT bounds every test, so a test that blocks
# (on a FIFO, say) fails instead of hanging the run. GoogleTest is found once,
# at the top level.
function(zmd_test_program name)
  cmake_parse_arguments(T "" "PREFIX;TIMEOUT" "SOURCES;LINKS;INCLUDES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${T_INCLUDES})
  target_link_libraries(${name} PRIVATE ${T_LINKS} GTest::gtest GTest::gtest_main)
  set(_args DISCOVERY_TIMEOUT 60)
  if(DEFINED T_PREFIX)
    list(APPEND _args TEST_PREFIX "${T_PREFIX}")
  endif()
  if(DEFINED T_TIMEOUT)
    list(APPEND _args PROPERTIES TIMEOUT ${T_TIMEOUT})
  endif()
  gtest_discover_tests(${name} ${_args})
endfunction()
