# What each shared library of the project gets alike: the version (SONAME
# libNAME.so.1 on Linux, a VERSIONINFO resource in NAME.dll on Windows), the
# namespaced alias zmd::NAME, install rules into the package's export set and
# a pkg-config file.
include(GNUInstallDirs)

# zmd_library(NAME DESCRIPTION HEADER DEF_FILE)
function(zmd_library name description header def_file)
  add_library(zmd::${name} ALIAS ${name})
  set_target_properties(${name} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    PUBLIC_HEADER ${header})
  get_filename_component(_include_dir ${header} DIRECTORY)
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${_include_dir}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

  if(WIN32)
    set(ZMD_RC_NAME ${name})
    set(ZMD_RC_DESCRIPTION "${description}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/templates/version.rc.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc @ONLY)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}_version.rc)
    install(FILES ${def_file} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${name})
  endif()

  install(TARGETS ${name} EXPORT zmd-${name}-targets COMPONENT ${name}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT ${name}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT zmd-${name}-targets NAMESPACE zmd:: FILE zmd-${name}-targets.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zmd COMPONENT ${name})

  set(ZMD_PC_NAME ${name})
  set(ZMD_PC_DESCRIPTION "${description}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/templates/library.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT ${name})
endfunction()
