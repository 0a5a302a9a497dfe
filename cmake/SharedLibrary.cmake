# SPDX-License-Identifier: Apache-2.0
include(CMakePackageConfigHelpers)

# Makes `target` one of the project's shared libraries: versioned, exporting only the symbols
# its linker version script `map` lets out, with `header` as its public header.
function(flashkit_shared_library target map header)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    PUBLIC_HEADER ${header}
    LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${map})
  # Only the documented functions leave the library, whatever the compiler emits as weak symbols.
  target_link_options(${target} PRIVATE -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/${map})
endfunction()

# Installs it the way users find a library: the header under include/`target`/, a CMake package
# configuration from cmake/`target`Config.cmake.in, and a pkg-config file from the folder's
# `target`.pc.in, relative to its own location so the installed tree can move.
function(flashkit_install_library target)
  set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${target})
  # Components are the Debian packages: the shared object in `runtime`, what a program needs to
  # build against it (header, unversioned link, CMake and pkg-config files) in `dev`.
  install(TARGETS ${target} EXPORT ${target}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${target} COMPONENT dev)
  install(EXPORT ${target}Targets NAMESPACE ${target}:: DESTINATION ${config_dir} COMPONENT dev)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/${target}Config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake INSTALL_DESTINATION ${config_dir})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake DESTINATION ${config_dir}
    COMPONENT dev)
  file(RELATIVE_PATH PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  configure_file(${target}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT dev)
endfunction()
