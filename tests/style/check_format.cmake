# Fails when a C or C++ file of the tree differs from what clang-format makes
# of it under the tree's .clang-format. The generated files are left as their
# generators write them. The tree is formatted with clang-format 14; another
# major version formats some constructs differently, so the check is then
# skipped (exit code 77) rather than failed.
#   cmake -DCLANG_FORMAT=... -DSOURCE_DIR=... -P check_format.cmake
execute_process(COMMAND ${CLANG_FORMAT} --version OUTPUT_VARIABLE _version)
if(NOT _version MATCHES "version 14\\.")
  message("clang-format is not version 14 (${_version}); format check skipped")
  cmake_language(EXIT 77)
endif()
set(_files)
foreach(_dir src tests tools bench fuzz)
  file(GLOB_RECURSE _found ${SOURCE_DIR}/${_dir}/*.cpp ${SOURCE_DIR}/${_dir}/*.h ${SOURCE_DIR}/${_dir}/*.c)
  list(APPEND _files ${_found})
endforeach()
list(FILTER _files EXCLUDE REGEX "/(image_data|builtin_curves|source_lines)\\.cpp$")
list(LENGTH _files _count)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${_files}
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE _result ERROR_VARIABLE _errors)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "${_errors}\nformat check: run clang-format -i on the files above")
endif()
message("format check: ${_count} files as clang-format makes them")
