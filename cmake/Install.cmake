# `cmake --install build --prefix P`: the program, the libraries, the public
# header, the man page, pkg-config's pluvar.pc and the CMake package
# (find_package(Pluvar) gives Pluvar::pluvar, the shared library, and
# Pluvar::pluvar_static).
include(CMakePackageConfigHelpers)

set(PLUVAR_INSTALL_TARGETS pluvar_core)
if(TARGET pluvar_shared)
  list(APPEND PLUVAR_INSTALL_TARGETS pluvar_shared)
endif()

install(TARGETS pluvar pluvar_serve RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${PLUVAR_INSTALL_TARGETS} EXPORT PluvarTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/include/pluvar/pluvar.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pluvar)
if(EXISTS ${CMAKE_SOURCE_DIR}/man/pluvar.1)
  install(FILES ${CMAKE_SOURCE_DIR}/man/pluvar.1 ${CMAKE_SOURCE_DIR}/man/pluvar-serve.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/python/pluvar.py
  DESTINATION ${CMAKE_INSTALL_DATADIR}/pluvar/python)

set(PLUVAR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Pluvar)
install(EXPORT PluvarTargets NAMESPACE Pluvar:: DESTINATION ${PLUVAR_CMAKE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/PluvarConfig.cmake.in
  ${CMAKE_BINARY_DIR}/PluvarConfig.cmake INSTALL_DESTINATION ${PLUVAR_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/PluvarConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/PluvarConfig.cmake ${CMAKE_BINARY_DIR}/PluvarConfigVersion.cmake
  DESTINATION ${PLUVAR_CMAKE_DIR})

# pluvar.pc: paths relative to the file itself, so that the installed tree
# works under whatever prefix `cmake --install --prefix` chose.
file(RELATIVE_PATH PLUVAR_PC_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
configure_file(${CMAKE_SOURCE_DIR}/cmake/pluvar.pc.in ${CMAKE_BINARY_DIR}/pluvar.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/pluvar.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
