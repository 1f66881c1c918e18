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
# The files git knows (tracked, or new and not ignored); a tree without git
# (an unpacked source archive) is scanned instead.
set(_dirs src tests tools bench fuzz)
set(_files)
find_program(_git git)
if(_git)
  execute_process(COMMAND ${_git} ls-files --cached --others --exclude-standard -- ${_dirs}
                  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE _git_result OUTPUT_VARIABLE _listed
                  ERROR_QUIET)
endif()
if(_git AND _git_result EQUAL 0)
  string(REPLACE "\n" ";" _listed "${_listed}")
  foreach(_f ${_listed})
    if(_f MATCHES "\\.(cpp|h|c)$" AND EXISTS ${SOURCE_DIR}/${_f})
      list(APPEND _files ${SOURCE_DIR}/${_f})
    endif()
  endforeach()
else()
  foreach(_dir ${_dirs})
    file(GLOB_RECURSE _found ${SOURCE_DIR}/${_dir}/*.cpp ${SOURCE_DIR}/${_dir}/*.h ${SOURCE_DIR}/${_dir}/*.c)
    list(APPEND _files ${_found})
  endforeach()
endif()
list(FILTER _files EXCLUDE REGEX "/(image_data|builtin_curves|source_lines)\\.cpp$")
list(LENGTH _files _count)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${_files}
                WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE _result ERROR_VARIABLE _errors)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "${_errors}\nformat check: run clang-format -i on the files above")
endif()
message("format check: ${_count} files as clang-format makes them")
