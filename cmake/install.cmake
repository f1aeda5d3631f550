# Installs the library, its header, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

set(CHARTLINK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/chartlink)

install(TARGETS chartlink chartlink_cxx EXPORT chartlink-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT chartlink-targets NAMESPACE chartlink:: DESTINATION ${CHARTLINK_CMAKE_DIR})

configure_package_config_file(cmake/chartlink-config.cmake.in
  ${PROJECT_BINARY_DIR}/chartlink-config.cmake INSTALL_DESTINATION ${CHARTLINK_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/chartlink-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/chartlink-config.cmake
              ${PROJECT_BINARY_DIR}/chartlink-config-version.cmake
  DESTINATION ${CHARTLINK_CMAKE_DIR})

# A static library is C++ inside: C programs that link it need the C++
# runtime too.
if(BUILD_SHARED_LIBS)
  set(CHARTLINK_PC_STATIC_LIBS "")
else()
  set(CHARTLINK_PC_STATIC_LIBS "-lstdc++ -lm -pthread")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(CHARTLINK_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(CHARTLINK_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(CHARTLINK_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(CHARTLINK_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(cmake/chartlink.pc.in ${PROJECT_BINARY_DIR}/chartlink.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/chartlink.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
