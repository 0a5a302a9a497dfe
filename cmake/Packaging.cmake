# SPDX-License-Identifier: Apache-2.0
# Debian packages through CPack, one per install component:
#   libflashkit4     the four shared libraries and the udev rule (component runtime)
#   libflashkit-dev  headers, CMake packages, pkg-config files (dev)
#   flashkit         the command-line tool, its manual page and shell completion (tool)
#   panelflasher     the desktop updater and its manual page (app)
# Dependencies come from dpkg-shlibdeps; scripts/package configures a tree for /usr and runs it.

set(FLASHKIT_DEB_MAINTAINER "The flashkit developers <flashkit@example.org>")
set(FLASHKIT_RUNTIME_PACKAGE libflashkit${PROJECT_VERSION_MAJOR})

# The Debian changelog names the release; it must be the one being built.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/deb/changelog deb_changelog_head LIMIT_COUNT 1)
if(NOT deb_changelog_head MATCHES "^flashkit \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/deb/changelog starts with '${deb_changelog_head}', "
    "not with the project version ${PROJECT_VERSION}: add an entry for it")
endif()

# Every package carries the licence and the changelog where Debian looks for them.
set(deb_changelog_gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${deb_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/deb/changelog > ${deb_changelog_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/deb/changelog VERBATIM)
add_custom_target(flashkit_deb_changelog ALL DEPENDS ${deb_changelog_gz})

function(flashkit_package_docs component package)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/deb/copyright ${deb_changelog_gz}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endfunction()
flashkit_package_docs(runtime ${FLASHKIT_RUNTIME_PACKAGE})
flashkit_package_docs(dev libflashkit-dev)
flashkit_package_docs(tool flashkit)
install(FILES ${PROJECT_SOURCE_DIR}/docs/manifest.md ${PROJECT_SOURCE_DIR}/docs/cli-json.md
  ${PROJECT_SOURCE_DIR}/docs/simulator.md
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/flashkit COMPONENT tool)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/flashkit/examples COMPONENT tool)
set(deb_components runtime dev tool)
if(FLASHKIT_APP)
  flashkit_package_docs(app panelflasher)
  list(APPEND deb_components app)
endif()

# The udev rule takes effect on install and goes away on removal without replugging.
foreach(script postinst postrm)
  if(script STREQUAL postinst)
    set(UDEV_ACTIONS "configure")
  else()
    set(UDEV_ACTIONS "remove|purge")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/udev-reload.sh.in
    ${PROJECT_BINARY_DIR}/packaging/runtime/${script} @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                     WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flashkit)
set(CPACK_PACKAGE_VENDOR "The flashkit developers")
set(CPACK_PACKAGE_CONTACT ${FLASHKIT_DEB_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL ${deb_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${FLASHKIT_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Our own libraries, as built here: the programs' dependency on them is the package relation to
# libflashkit4 below, so dpkg-shlibdeps only needs to find them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/libflashkit
  ${PROJECT_BINARY_DIR}/libscreenio ${PROJECT_BINARY_DIR}/libksys ${PROJECT_BINARY_DIR}/libkipc)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${FLASHKIT_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The ldconfig trigger refreshes the linker cache for the shared libraries.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/deb/triggers
  ${PROJECT_BINARY_DIR}/packaging/runtime/postinst ${PROJECT_BINARY_DIR}/packaging/runtime/postrm)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "firmware package and monitor update libraries
libflashkit reads, checks, edits and writes monitor firmware packages and
updates monitors with them over three flash protocols. libscreenio reaches
the monitors through the kernel's hidraw nodes or a monitor simulator;
libksys answers questions about the system and libkipc offers local sockets
and subprocesses. The package also holds the udev rule that gives the user
at the seat access to the monitors.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libflashkit-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION "firmware package and monitor update libraries - development files
The C headers, CMake package configurations and pkg-config files of
libflashkit, libscreenio, libksys and libkipc, for programs that read and
write monitor firmware packages or update monitors with them.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME flashkit)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOL_DEPENDS runtime)
set(CPACK_COMPONENT_TOOL_DESCRIPTION "command-line tool for monitor firmware packages and updates
flashkit shows what a firmware package holds, builds packages from a JSON
manifest and unpacks them, lists the connected monitors with their firmware
versions, tells whether a package fits a monitor and updates a monitor with
it, with progress, a machine-readable JSON mode and one exit status per
failure class.")

set(CPACK_DEBIAN_APP_PACKAGE_NAME panelflasher)
set(CPACK_DEBIAN_APP_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_APP_DEPENDS runtime)
set(CPACK_COMPONENT_APP_DESCRIPTION "desktop updater for monitor firmware
PanelFlasher walks a user through one firmware update of one monitor: it
closes the monitor applications that could interfere, lets the user choose
the monitor, shows the versions before and after, transfers the firmware and
waits for the monitor to come back with its new versions.")

include(CPack)
