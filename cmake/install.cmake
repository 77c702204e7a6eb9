# Install rules and the Debian package.
#
# Components: "zeltnvm" holds the utility, its man page, bash completion, the example
# configuration file and the logrotate snippet; "tools" holds the simulator and the
# package builder with their man pages.
include(GNUInstallDirs)

set(ZELT_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(ZELT_MAN_DIR ${CMAKE_SOURCE_DIR}/docs/man)

install(TARGETS zeltnvm RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT zeltnvm)
if(TARGET zeltnvm-esx)
  install(TARGETS zeltnvm-esx RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT zeltnvm)
endif()
install(FILES ${ZELT_MAN_DIR}/zeltnvm.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT zeltnvm)
install(FILES ${ZELT_PACKAGING_DIR}/zeltnvm.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zeltnvm COMPONENT zeltnvm)
install(FILES ${CMAKE_SOURCE_DIR}/docs/json.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT zeltnvm)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/schema/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/schema COMPONENT zeltnvm
        FILES_MATCHING PATTERN "*.json")

# The configuration file and the logrotate snippet belong in /etc when the prefix is
# /usr (a package, a system install) and under the prefix otherwise. The choice is made
# at install time, so "cmake --install --prefix" and the package build both get it right.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(_zelt_etc \"/etc\")
  else()
    set(_zelt_etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  endif()
  file(INSTALL DESTINATION \"\${_zelt_etc}\" TYPE FILE
       FILES \"${ZELT_PACKAGING_DIR}/zeltnvm.conf\")
  file(INSTALL DESTINATION \"\${_zelt_etc}/logrotate.d\" TYPE FILE RENAME zeltnvm
       FILES \"${ZELT_PACKAGING_DIR}/zeltnvm.logrotate\")
" COMPONENT zeltnvm)

foreach(tool zeltsim zeltpkg)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
    install(FILES ${ZELT_MAN_DIR}/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
  endif()
endforeach()

include(${ZELT_PACKAGING_DIR}/cpack.cmake)
