# The release archive: each Windows build installs into a folder named after
# its architecture, and CPack packs the builds listed in SBREP_PACKAGE_BUILDS
# (scripts/package names the win32 and the win64 one) into one zip.

if(NOT WIN32)
  return()
endif()

install(TARGETS sbrep RUNTIME DESTINATION ${SBREP_ARCH} ARCHIVE DESTINATION ${SBREP_ARCH})
if(MINGW)
  install(FILES ${CMAKE_BINARY_DIR}/bin/sbrep.dll.debug ${CMAKE_BINARY_DIR}/sbrep.lib
          DESTINATION ${SBREP_ARCH})
  install(FILES ${CMAKE_BINARY_DIR}/sbrep-import.def DESTINATION ${SBREP_ARCH} RENAME sbrep.def)
else()
  install(FILES ${CMAKE_BINARY_DIR}/sbrep.def DESTINATION ${SBREP_ARCH})
endif()
if(TARGET sbrep_tool)
  install(TARGETS sbrep_tool RUNTIME DESTINATION ${SBREP_ARCH})
  sbrep_link_map(sbrep_tool sbrep.exe)
  sbrep_install_split_debug(${SBREP_ARCH} sbrep.exe)
endif()
install(FILES include/sbrep.h DESTINATION include)
install(FILES LICENSE CHANGES.md DESTINATION .)
install(FILES docs/release-readme.md DESTINATION . RENAME README.md)
install(FILES docs/integrating.md DESTINATION docs)
install(FILES examples/hosts/sbrep.c examples/hosts/sbrep.cs examples/hosts/sbrep.pas
              examples/hosts/sbrep.bas DESTINATION hosts)
# The notices are made from the link maps once both builds are linked
# (scripts/package, scripts/notices); the packing build installs them.
install(FILES ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt DESTINATION . OPTIONAL)
# The CMake package: one for both architectures, which it picks by the
# consumer's pointer size.
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sbrep-config-version.cmake
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES cmake/sbrep-config.cmake ${CMAKE_BINARY_DIR}/sbrep-config-version.cmake
        DESTINATION lib/cmake/sbrep)

set(SBREP_PACKAGE_BUILDS ${CMAKE_BINARY_DIR} CACHE STRING
    "The build folders whose install rules fill the package, one per architecture")
set(CPACK_INSTALL_CMAKE_PROJECTS)
foreach(build ${SBREP_PACKAGE_BUILDS})
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build} ${PROJECT_NAME} ALL /)
endforeach()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_checksums.cmake)
include(CPack)
