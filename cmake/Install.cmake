# Installs the program, the library, the simulator and the public headers (under include/qel),
# with a CMake package and a pkg-config file for programs of a user's.
include(CMakePackageConfigHelpers)

install(TARGETS QelProtocol EXPORT QelProtocolTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${QEL_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qel)
foreach(program Orvane qel-sim qel-service)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(EXPORT QelProtocolTargets
  NAMESPACE QelProtocol::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QelProtocol)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QelProtocolConfig.cmake.in
  ${CMAKE_BINARY_DIR}/QelProtocolConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QelProtocol)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QelProtocolConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/QelProtocolConfig.cmake
              ${CMAKE_BINARY_DIR}/QelProtocolConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QelProtocol)

# The pkg-config file finds its prefix from where it lies, so that any install prefix works.
file(RELATIVE_PATH QEL_PC_UP /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" QEL_PC_UP "${QEL_PC_UP}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/qelprotocol.pc.in ${CMAKE_BINARY_DIR}/qelprotocol.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/qelprotocol.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
