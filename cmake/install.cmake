# Install rules: headers, libraries, plug-ins, programs, data, man pages, a
# CMake package (find_package(TermKit) -> TermKit::devapi) and termkit.pc.
include(CMakePackageConfigHelpers)

set(TERMKIT_CMAKE_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/TermKit")

install(TARGETS devapi devwire EXPORT TermKitTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES devapi/include/devapi.h devwire/include/devwire.h devwire/include/devoru.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/termkit)

# Transport plug-ins: the engine finds them in its own "termkit/" directory.
foreach(plugin comms tcplink usblink lineport)
  if(TARGET ${plugin})
    install(TARGETS ${plugin} LIBRARY DESTINATION ${TERMKIT_PLUGIN_INSTALL_DIR})
  endif()
endforeach()

install(TARGETS termctl termsim lineagent RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY termsim/profiles termsim/data DESTINATION ${CMAKE_INSTALL_DATADIR}/termkit)
foreach(page termctl termsim)
  configure_file(man/${page}.1.in ${CMAKE_BINARY_DIR}/generated/man/${page}.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/generated/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(EXPORT TermKitTargets NAMESPACE TermKit:: DESTINATION ${TERMKIT_CMAKE_INSTALL_DIR})
configure_package_config_file(cmake/TermKitConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/generated/TermKitConfig.cmake
                              INSTALL_DESTINATION ${TERMKIT_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/generated/TermKitConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/generated/TermKitConfig.cmake
              ${CMAKE_BINARY_DIR}/generated/TermKitConfigVersion.cmake
        DESTINATION ${TERMKIT_CMAKE_INSTALL_DIR})

file(RELATIVE_PATH TERMKIT_PC_TO_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig"
     "${CMAKE_INSTALL_PREFIX}")
configure_file(cmake/termkit.pc.in ${CMAKE_BINARY_DIR}/generated/termkit.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/generated/termkit.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
