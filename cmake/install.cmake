# Installation and packages: the header, the library (libKORDA32Ext.so.1 with
# its development link, or KORDA32Ext.dll with its import library), the CMake
# package KORDA32Ext (target KORDA32Ext::KORDA32Ext), korda32ext.pc for
# pkg-config, the programs korda and korda-sim, and the documentation (README,
# changelog, licence, docs/). cpack makes a .deb on Linux and a .zip on
# Windows from the same tree.
include(CMakePackageConfigHelpers)

set(KORDA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KORDA32Ext)

# Installed programs find the library of the same tree.
if(NOT WIN32)
  file(RELATIVE_PATH KORDA_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(korda PROPERTIES INSTALL_RPATH "\$ORIGIN/${KORDA_BIN_TO_LIB}")
endif()

install(TARGETS KORDA32Ext EXPORT KORDA32ExtTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/korda32ext.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(TARGETS korda korda-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

install(EXPORT KORDA32ExtTargets NAMESPACE KORDA32Ext:: DESTINATION ${KORDA_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KORDA32ExtConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/KORDA32ExtConfig.cmake
                              INSTALL_DESTINATION ${KORDA_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KORDA32ExtConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KORDA32ExtConfig.cmake
              ${PROJECT_BINARY_DIR}/KORDA32ExtConfigVersion.cmake
        DESTINATION ${KORDA_CMAKE_DIR} COMPONENT development)

# pkg-config: the prefix is found from the .pc file's own place, so that the
# tree works wherever it is unpacked.
file(RELATIVE_PATH KORDA_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" KORDA_PC_TO_PREFIX "${KORDA_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/korda32ext.pc.in ${PROJECT_BINARY_DIR}/korda32ext.pc
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/korda32ext.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
# The pages the README links to, beside it as in the source tree, so that its
# links (docs/korda.md, ...) lead to them in the installed tree too.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        COMPONENT runtime FILES_MATCHING PATTERN "*.md")

# Packages.
set(CPACK_PACKAGE_NAME korda32ext)
set(CPACK_PACKAGE_VENDOR "The KORDA32Ext developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Driver library for the 7043A and 5129A data-acquisition instruments")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The KORDA32Ext developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
include(CPack)
