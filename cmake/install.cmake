# Export list and install rules: the public headers, the shared library (with its SONAME and
# version), the static archive, a CMake package (find_package(vxqdps CONFIG)
# gives vxqdps::vxqdps and vxqdps::vxqdps_static) and a pkg-config file.
include(GNUInstallDirs)

# The shared library exports the public C API only (see vxqdps.map).
target_link_options(vxqdps PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/vxqdps.map)
set_property(TARGET vxqdps APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/vxqdps.map)
include(CMakePackageConfigHelpers)

target_include_directories(vxqdps_static INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(vxqdps PROPERTIES EXPORT_NAME vxqdps)
set_target_properties(vxqdps_static PROPERTIES EXPORT_NAME vxqdps_static)

install(TARGETS vxqdps vxqdps_static EXPORT vxqdpsTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "vxq_*.h")

set(VXQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vxqdps)
install(EXPORT vxqdpsTargets NAMESPACE vxqdps:: DESTINATION ${VXQ_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vxqdpsConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vxqdpsConfig.cmake INSTALL_DESTINATION ${VXQ_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vxqdpsConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vxqdpsConfig.cmake ${PROJECT_BINARY_DIR}/vxqdpsConfigVersion.cmake
  DESTINATION ${VXQ_CMAKE_DIR})

# The pkg-config file finds its prefix from where it lies, so that a staged or
# moved installation still works.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VXQ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  set(VXQ_PC_PREFIX "\${pcfiledir}/..")
  string(REPLACE "/" ";" libdir_parts "${CMAKE_INSTALL_LIBDIR}")
  foreach(part ${libdir_parts})
    string(APPEND VXQ_PC_PREFIX "/..")
  endforeach()
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vxqdps.pc.in ${PROJECT_BINARY_DIR}/vxqdps.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vxqdps.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
