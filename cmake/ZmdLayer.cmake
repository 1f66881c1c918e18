# What every layer folder of a library gets alike.
#
#   zmd_layer(<target> SOURCES <files...> [LINKS <layers...>]
#             [INCLUDES <dirs...>] [CHECK_CONVERSION <files...>])
#
# A static library of the layer's sources whose include directory is the
# layer's folder (plus INCLUDES), handed on only to the layers that link it,
# so a header of a higher layer cannot be reached from below. LINKS are the
# layers (or system libraries) below it. The building define of the library
# the folder belongs to (ZMD_LAYER_BUILDING, set once by the library's
# CMakeLists.txt) marks every source as the library's own; CHECK_CONVERSION
# sources build with -Wconversion as well (the backends, where handles, sizes
# and offsets cross 32/64-bit boundaries only where a cast says so).
# -Wall -Wextra (and -Werror with ZMD_WERROR) come from the top level.
function(zmd_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;LINKS;INCLUDES;CHECK_CONVERSION" ${ARGN})
  if(NOT ZMD_LAYER_BUILDING)
    message(FATAL_ERROR "zmd_layer(${name}): ZMD_LAYER_BUILDING is not set by the library's CMakeLists.txt")
  endif()
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${L_INCLUDES})
  if(L_LINKS)
    target_link_libraries(${name} PUBLIC ${L_LINKS})
  endif()
  target_compile_definitions(${name} PRIVATE ${ZMD_LAYER_BUILDING})
  if(L_CHECK_CONVERSION)
    set_source_files_properties(${L_CHECK_CONVERSION} PROPERTIES COMPILE_OPTIONS "-Wconversion")
  endif()
endfunction()
