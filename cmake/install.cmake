# Installation and the Debian package.
#   cmake --install <tree> [--prefix P]   (DESTDIR honoured)
# puts lib/libhuevane.so.<version> (soname libhuevane.so.<major>), the public
# headers under include/huevane/, bin/huevane, lib/pkgconfig/huevane.pc and
# lib/cmake/Huevane/ (find_package(Huevane) gives the target Huevane::huevane).
include(CMakePackageConfigHelpers)

if(NOT WIN32)
  set_target_properties(huevane PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

install(TARGETS huevane EXPORT HuevaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/huevane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
if(TARGET huevane_cli)
  install(TARGETS huevane_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The CMake package: relocatable, it finds its prefix from its own place.
set(HUEVANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Huevane)
install(EXPORT HuevaneTargets NAMESPACE Huevane:: DESTINATION ${HUEVANE_CMAKE_DIR})
configure_package_config_file(cmake/HuevaneConfig.cmake.in ${PROJECT_BINARY_DIR}/HuevaneConfig.cmake
                              INSTALL_DESTINATION ${HUEVANE_CMAKE_DIR}
                              PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_BINDIR)
# 0.x releases may change the interface from one minor version to the next.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/HuevaneConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/HuevaneConfig.cmake ${PROJECT_BINARY_DIR}/HuevaneConfigVersion.cmake
        DESTINATION ${HUEVANE_CMAKE_DIR})

# huevane.pc names the prefix the files are installed under, which is known
# only when installing (cmake --install --prefix may change it), so it is
# written then. Spaces in the prefix are escaped as pkg-config reads them.
configure_file(cmake/huevane.pc.in ${PROJECT_BINARY_DIR}/huevane.pc.in @ONLY)
install(CODE "
  set(pc_prefix \"\${CMAKE_INSTALL_PREFIX}\")
  string(REPLACE \" \" \"\\\\ \" pc_prefix \"\${pc_prefix}\")
  file(READ \"${PROJECT_BINARY_DIR}/huevane.pc.in\" pc_text)
  string(REPLACE \"%PREFIX%\" \"\${pc_prefix}\" pc_text \"\${pc_text}\")
  set(pc_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/huevane.pc\")
  message(STATUS \"Installing: \${pc_file}\")
  file(WRITE \"\${pc_file}\" \"\${pc_text}\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${pc_file}\")
")

# make package: a Debian package of the same tree, installed under /usr.
if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME huevane)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "Huevane developers")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image colour-style library and command-line tool")
  set(CPACK_PACKAGE_DESCRIPTION
      "Extracts the colour theme of an image, re-colours an image in the style of another, names an image's colour families and maps colours onto colour cards. Ships the shared library, its C and C++ headers, pkg-config and CMake files and the huevane tool.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_INSTALL_PREFIX /usr)
  # Installing through DESTDIR lets huevane.pc name /usr, not the staging folder.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Huevane developers <huevane@localhost>")
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  # Dependencies (libpng, libjpeg, libstdc++) from the binaries; a shlibs file
  # and the ldconfig trigger for the shared library.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  include(CPack)
endif()
