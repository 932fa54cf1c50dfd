# Installing zrhost like any Linux tool, and the Debian package made from that install.
#   cmake --install build --prefix ~/.local      (or /usr/local)
#   cpack --config build/CPackConfig.cmake       (zr-shapes_<version>_<arch>.deb)
# The layout (ZR_INSTALL_*_DIR) is set in the top-level CMakeLists.txt, where zrhost learns it.

install(TARGETS zrhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zr_shapes LIBRARY DESTINATION ${ZR_INSTALL_BUNDLE_DIR})
install(FILES ${ZR_METADATA_PATH} DESTINATION ${ZR_INSTALL_BUNDLE_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${ZR_INSTALL_EXAMPLES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/modules.md ${PROJECT_SOURCE_DIR}/docs/patch-format.md
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zr-shapes)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zr-shapes)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "zr-shapes <dev@zr-shapes.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shape modules for a modular audio host, and zrhost, the host that runs them")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# dpkg-shlibdeps (dpkg-dev) works the dependencies out from what zrhost and the bundle link:
# libsndfile1, libcairo2, libfontconfig1 and the C and C++ runtimes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The package carries no debugging information; the build tree keeps it.
set(CPACK_STRIP_FILES ON)
include(CPack)
