# Install rules: the header, the library with its SONAME links, the
# command-line tool, a CMake package (find_package(quendril-imgresize CONFIG)
# gives the target quendril::imgresize) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(IMGRESIZE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quendril-imgresize)

install(TARGETS quendril-imgresize
        EXPORT quendril-imgresize-targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
                NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

if(TARGET imgresize)
  install(TARGETS imgresize RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

install(EXPORT quendril-imgresize-targets
        NAMESPACE quendril::
        FILE quendril-imgresize-targets.cmake
        DESTINATION ${IMGRESIZE_CMAKE_DIR}
        COMPONENT development)

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/quendril-imgresize-config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/quendril-imgresize-config.cmake
  INSTALL_DESTINATION ${IMGRESIZE_CMAKE_DIR})
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/quendril-imgresize-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quendril-imgresize-config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/quendril-imgresize-config-version.cmake
        DESTINATION ${IMGRESIZE_CMAKE_DIR}
        COMPONENT development)

# The .pc file finds its prefix from its own location (${pcfiledir}), so an
# install tree can be moved, or installed with --prefix, and still work.
set(IMGRESIZE_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(IMGRESIZE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(IMGRESIZE_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(IMGRESIZE_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH pc_to_prefix "/prefix/${IMGRESIZE_PC_DIR}" "/prefix")
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(IMGRESIZE_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
  set(IMGRESIZE_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(IMGRESIZE_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quendril-imgresize.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/quendril-imgresize.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quendril-imgresize.pc
        DESTINATION ${IMGRESIZE_PC_DIR}
        COMPONENT development)
