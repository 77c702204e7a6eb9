# The Debian packages: "zeltnvm" (the utility) and "zeltnvm-tools" (simulator and
# package builder). The version is the utility's own, read from its header.
file(READ ${CMAKE_SOURCE_DIR}/src/cli/version.h _zelt_version_header)
foreach(_part MAJOR MINOR BUILD FOURTH)
  string(REGEX MATCH "ZELT_VERSION_${_part} = ([0-9]+)" _m "${_zelt_version_header}")
  set(_zelt_${_part} ${CMAKE_MATCH_1})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zeltnvm)
set(CPACK_PACKAGE_VERSION "${_zelt_MAJOR}.${_zelt_MINOR}.${_zelt_BUILD}.${_zelt_FOURTH}")
set(CPACK_PACKAGE_CONTACT "zeltnvm maintainers <zeltnvm@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware update and configuration utility for Orvanta Ethernet adapters")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL zeltnvm tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
# Debug information stays in the build tree; the packaged programs are stripped.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libpci3, libtomcrypt1, libtommath1")
set(CPACK_DEBIAN_ZELTNVM_PACKAGE_NAME zeltnvm)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME zeltnvm-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "Adapter host simulator and firmware package builder for testing zeltnvm")
# The configuration file and the logrotate snippet are the administrator's once
# installed: an upgrade keeps local changes.
set(CPACK_DEBIAN_ZELTNVM_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_ZELTNVM_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
