# Packages made with CPack from the install components (cmake/install.cmake), run in a build
# tree with `cpack` (scripts/package.sh on Linux, scripts/build-windows.sh for Windows):
#
#   Linux (DEB)                    contents
#     rtc-service                  the plug-in
#     rtc-service-dev              headers, CMake package, pkg-config file (depends on the above)
#     rtc-service-standins         stand-in libraries and simulator with their headers: for
#                                  trying a host without the real engine (they would take the
#                                  real libraries' names, so never install it beside them)
#     rtc-service-dbg              the .debug files of all of the above
#   Windows (ZIP, mingw32 preset)
#     rtc_service-<v>-win32.zip        DLLs (with the MinGW runtime), headers, CMake package
#     rtc_service-<v>-win32-debug.zip  the .debug files, to unpack over the first

set(CPACK_PACKAGE_NAME rtc_service)
set(CPACK_PACKAGE_VENDOR "rtc_service maintainers")
set(CPACK_PACKAGE_CONTACT "rtc_service maintainers <rtc-service@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Conference-control plug-in for room-based RTC hosts")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_COMPONENTS_ALL runtime dev standins debug)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# The build's RelWithDebInfo binaries stay whole; the install strips its copies.
set(CPACK_STRIP_FILES OFF)

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "The rtc_service plug-in")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Headers, CMake package and pkg-config file for building hosts of the rtc_service plug-in")
set(CPACK_COMPONENT_STANDINS_DESCRIPTION
    "Stand-ins of the foundation library, monitoring and messaging engine, and the adaptor simulator")
set(CPACK_COMPONENT_DEBUG_DESCRIPTION "Debug information of the rtc_service binaries")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_STANDINS_DEPENDS dev)
set(CPACK_COMPONENT_DEBUG_DEPENDS runtime)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
  foreach(component runtime dev standins)
    string(TOUPPER ${component} upper)
    set(CPACK_COMPONENT_${upper}_GROUP main)
  endforeach()
  set(CPACK_COMPONENT_DEBUG_GROUP debug)
  set(CPACK_ARCHIVE_MAIN_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win32)
  set(CPACK_ARCHIVE_DEBUG_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win32-debug)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME rtc-service)
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME rtc-service-dev)
  set(CPACK_DEBIAN_STANDINS_PACKAGE_NAME rtc-service-standins)
  set(CPACK_DEBIAN_DEBUG_PACKAGE_NAME rtc-service-dbg)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_STANDINS_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEBUG_PACKAGE_SECTION debug)
  # The C and C++ runtimes as dpkg-shlibdeps finds them; the engine, foundation and monitoring
  # libraries the plug-in loads come with the host (or with rtc-service-standins).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The component dependencies above, as Depends between the packages.
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS rtc-service-standins)
endif()

include(CPack)
