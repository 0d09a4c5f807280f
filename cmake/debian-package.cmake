# The Debian package, built by CPack from an installed tree:
#   cmake --build --preset host -j2 && cpack --preset host
# gives build/host/qozcal_<version>-1_<architecture>.deb. Its library
# dependencies come from dpkg-shlibdeps (package dpkg-dev).
set(QOZCAL_MAINTAINER "qozcal developers <qozcal@users.noreply.example.org>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qozcal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QOZCAL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QOZCAL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "touch-screen calibration utility of a Windows CE device, in a simulator")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "qozcal runs the calibration utility of a small Windows CE device on a
simulated device screen, in an SDL window or headless from a pen script.
A calibration stores a scale and an offset per axis in a settings file in
regedit syntax and signals two named events; qozcal-listen stands in for the
touch driver that watches them.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The buttons' captions need a font with Hangul glyphs; without one they are
# drawn empty.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-nanum | fonts-noto-cjk")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The licence in Debian's machine-readable form and the package's changelog,
# both in share/doc/qozcal/ where Debian looks for them.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in
  ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in
  ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
qozcal_gzip(${PROJECT_BINARY_DIR}/debian/changelog.Debian
  ${PROJECT_BINARY_DIR}/debian/compressed/changelog.Debian.gz)
add_custom_target(qozcal_debian_changelog ALL
  DEPENDS ${PROJECT_BINARY_DIR}/debian/compressed/changelog.Debian.gz)
install(FILES ${PROJECT_BINARY_DIR}/debian/copyright
  ${PROJECT_BINARY_DIR}/debian/compressed/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME qozcal)
