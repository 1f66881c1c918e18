# CPack: a ZIP of the Windows install (per target: both DLLs, their import
# libraries and .def files, the headers, the licence, README, change log,
# CONTRIBUTING.md and docs/, everything the README links to) and a TGZ of the
# Linux install. The Debian packages come from debian/ (dpkg-buildpackage);
# scripts/package builds them all.
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${PROJECT_NAME})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Model database and calibration module of a raster printer driver back end")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_zmd_arch x64)
  else()
    set(_zmd_arch x86)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-windows-${_zmd_arch})
  # The archive is what a driver setup takes: the libraries, the headers and
  # the papers to read at its top.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                ${PROJECT_SOURCE_DIR}/CONTRIBUTING.md DESTINATION . COMPONENT winpapers)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION . COMPONENT winpapers)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
include(CPack)
