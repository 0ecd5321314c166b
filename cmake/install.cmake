# What `cmake --install` lays out, and the package a host finds with
# find_package(rtc_service 0.1 CONFIG).
#
# Install components:
#   runtime   the plug-in: librtc_service.so.<version> and its SONAME link; on Windows
#             rtc_service.dll and the MinGW C++ runtime DLLs it shares with the host
#   dev       the headers a host compiles against, the CMake package (rtc_service::headers,
#             rtc_service::plugin), the pkg-config files and the plug-in's unversioned link
#   standins  the stand-in foundation library, monitoring and engine and the adaptor simulator,
#             with their headers (rtc_service::standins, rtc_service::simulator)
#   debug     the debug information of every installed binary, one <file>.debug beside it
#
# Installed binaries are stripped, carry a debuglink to their .debug file, and find their
# neighbours through $ORIGIN run paths, so an installed tree can be moved as a whole.
#
# Included from the top level after every installed target exists and before tests/, which
# compiles each header listed here on its own (tests/headers).

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# ---- Public headers: the one list of what is installed ----------------------------------------
#
# The headers a host needs to drive the plug-in: its interfaces, the host objects it calls, the
# records both exchange, the error record, and the framework classes the plug-in exports.
# The module's internals (the codec and models, the request framework, its RPC clients) are not
# installed.
set(RTC_HOST_HEADERS
    tessel/base/error_result.h
    tessel/base/export.h
    tessel/service/base_context.h
    tessel/service/rpc_context.h
    tessel/service/rpc_message.h
    vanta/live/live_records.h
    vanta/meta/export.h
    vanta/meta/i_plugin.h
    vanta/meta/i_rtc_service.h
    vanta/meta/live_manager.h
    vanta/meta/media_engine.h
    vanta/meta/nexo_error_fwd.h
    vanta/meta/room.h
    vanta/meta/room_manager.h
    vanta/meta/rtc_event_listener.h
    vanta/meta/rtc_media_event_listener.h
    vanta/meta/rtc_result_callback.h
    vanta/meta/rtc_stats.h
    vanta/meta/service_context.h
    vanta/nexo/nexo_error.h
    vanta/record_macros.h
    vanta/room/room_records.h
    vanta/rtc/rtc_records.h
    vanta/sceneclass/class_scene_records.h)

# The interfaces of the outside components, installed with their stand-ins: a host that runs
# the real engine and monitoring compiles against their own headers instead. The engine's
# request channel speaks the framework's mlink records, so those come with it.
set(RTC_METRIX_HEADERS vanta/metrix/export.h vanta/metrix/metrix_module.h)
set(RTC_NEXO_HEADERS
    tessel/base/trace_context.h
    tessel/mlink/log_registry.h
    tessel/mlink/message.h
    tessel/mlink/request.h
    tessel/mlink/request_context.h
    vanta/nexo/export.h
    vanta/nexo/mlink_request_channel.h
    vanta/nexo/nexo_engine.h
    vanta/nexo/nexo_manager_ex.h
    vanta/nexo/nexo_mlink_service.h
    vanta/nexo/nexo_module_event_handler.h
    vanta/nexo/nexo_module_info.h
    vanta/nexo/nexo_result_listener.h
    vanta/nexo/nexo_user_id.h)

# rtc_public_headers(<target> <component> BASE <dir> FILES <path relative to dir>...)
# Makes the files part of <target>'s public header set (installed with it, and put on the
# include path of the installed target) and records them for tests/headers in the global
# properties RTC_HEADERS_<component> (absolute paths) and RTC_HEADER_NAMES_<component> (include
# names).
function(rtc_public_headers target component)
  cmake_parse_arguments(H "" "BASE" "FILES" ${ARGN})
  list(TRANSFORM H_FILES PREPEND ${H_BASE}/ OUTPUT_VARIABLE paths)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  else()
    set(scope PUBLIC)
  endif()
  target_sources(${target} ${scope} FILE_SET HEADERS BASE_DIRS ${H_BASE} FILES ${paths})
  set_property(GLOBAL APPEND PROPERTY RTC_HEADERS_${component} ${paths})
  set_property(GLOBAL APPEND PROPERTY RTC_HEADER_NAMES_${component} ${H_FILES})
endfunction()

# A stand-in's own include folder is public as a whole.
function(rtc_public_header_folder target component dir)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS RELATIVE ${dir} ${dir}/*.h)
  list(SORT files)
  rtc_public_headers(${target} ${component} BASE ${dir} FILES ${files})
endfunction()

add_library(rtc_service_headers INTERFACE)
set_target_properties(rtc_service_headers PROPERTIES EXPORT_NAME headers)
target_compile_features(rtc_service_headers INTERFACE cxx_std_17)
rtc_public_headers(rtc_service_headers host BASE ${PROJECT_SOURCE_DIR}/include
                   FILES ${RTC_HOST_HEADERS})

rtc_public_header_folder(basefx standins ${PROJECT_SOURCE_DIR}/standins/basefx/include)
rtc_public_header_folder(metrix standins ${PROJECT_SOURCE_DIR}/standins/metrix/include)
rtc_public_headers(metrix standins BASE ${PROJECT_SOURCE_DIR}/include FILES ${RTC_METRIX_HEADERS})
rtc_public_header_folder(nexo standins ${PROJECT_SOURCE_DIR}/standins/nexo/include)
rtc_public_headers(nexo standins BASE ${PROJECT_SOURCE_DIR}/include FILES ${RTC_NEXO_HEADERS})
rtc_public_header_folder(rtc_simulator standins ${PROJECT_SOURCE_DIR}/simulator/include)

# Everything the stand-ins give a host at once.
add_library(rtc_service_standins INTERFACE)
set_target_properties(rtc_service_standins PROPERTIES EXPORT_NAME standins)
target_link_libraries(rtc_service_standins INTERFACE rtc_service_headers basefx metrix nexo)
set_target_properties(rtc_simulator PROPERTIES EXPORT_NAME simulator)

# The stand-ins name their include folders for the build only; the installed targets get the
# installed include folder from their header sets.
foreach(target basefx metrix nexo rtc_simulator)
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  list(TRANSFORM dirs REPLACE "^([^$].*)$" "$<BUILD_INTERFACE:\\1>")
  set_property(TARGET ${target} PROPERTY INTERFACE_INCLUDE_DIRECTORIES ${dirs})
endforeach()

# ---- Binaries --------------------------------------------------------------------------------

if(WIN32)
  set(RTC_BINARY_DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  set(RTC_BINARY_DESTINATION ${CMAKE_INSTALL_LIBDIR})
  # Each installed library finds the others in its own folder, wherever the tree was put.
  set_target_properties(rtc_service metrix nexo rtc_simulator PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

# Debug information: the build keeps its binaries whole and extracts each one's debug
# information into debuginfo/<file>.debug; the install strips the installed copy and points
# its debuglink at that file, which the debug component installs beside it (gdb looks there).
set(RTC_DEBUGINFO_DIR ${PROJECT_BINARY_DIR}/debuginfo)
if(CMAKE_OBJCOPY)
  add_custom_target(rtc_debuginfo ALL)
endif()

# rtc_split_debug(<id> <file> <file name> <dependency> <component>): <file> (which may be a
# generator expression) is installed by <component> under <file name>; this strips the installed
# copy and installs its debug information in the debug component.
function(rtc_split_debug id file name dependency component)
  if(NOT CMAKE_OBJCOPY)
    message(WARNING "objcopy not found: ${name} is installed with its debug information")
    return()
  endif()
  # The output of a custom command cannot name a target's file: a stamp stands for it.
  set(debug "${RTC_DEBUGINFO_DIR}/${name}.debug")
  set(stamp "${RTC_DEBUGINFO_DIR}/${id}.stamp")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RTC_DEBUGINFO_DIR}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${debug}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${dependency}
    COMMENT "Extracting the debug information of ${id}"
    VERBATIM)
  add_custom_target(${id}_debuginfo DEPENDS ${stamp})
  add_dependencies(rtc_debuginfo ${id}_debuginfo)

  # The link carries the .debug file's checksum; an earlier link is replaced, so installing
  # over an existing tree works.
  set(strip [=[
    set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@RTC_BINARY_DESTINATION@/@name@")
    execute_process(COMMAND "@CMAKE_OBJCOPY@" --strip-unneeded --remove-section=.gnu_debuglink
                            "--add-gnu-debuglink=@debug@" "${file}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "stripping ${file} failed")
    endif()
  ]=])
  string(CONFIGURE "${strip}" strip @ONLY)
  install(CODE "${strip}" COMPONENT ${component})
  install(FILES ${debug} DESTINATION ${RTC_BINARY_DESTINATION} COMPONENT debug)
endfunction()

function(rtc_install_split_debug target component)
  rtc_split_debug(${target} $<TARGET_FILE:${target}> $<TARGET_FILE_NAME:${target}> ${target}
                  ${component})
endfunction()

install(TARGETS rtc_service
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
rtc_install_split_debug(rtc_service runtime)

install(TARGETS rtc_service_headers EXPORT rtc_service
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

install(TARGETS basefx metrix nexo rtc_simulator rtc_service_standins EXPORT rtc_service_standins
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT standins
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT standins
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT standins
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT standins)
foreach(target basefx metrix nexo rtc_simulator)
  rtc_install_split_debug(${target} standins)
endforeach()

# The MinGW C++ runtime the plug-in shares with its host (see the toolchain file): the DLLs go
# beside rtc_service.dll.
if(MINGW)
  foreach(runtime libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${runtime}")
    endif()
    install(FILES ${path} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
    # Debian's runtime DLLs carry their debug information (libstdc++-6.dll: 20 MB of it).
    string(MAKE_C_IDENTIFIER ${runtime} id)
    rtc_split_debug(${id} ${path} ${runtime} ${path} runtime)
  endforeach()
endif()

# ---- The CMake package and the pkg-config files ---------------------------------------------

set(RTC_CMAKE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/rtc_service)
set(RTC_PLUGIN_FILE ${RTC_BINARY_DESTINATION}/$<TARGET_FILE_NAME:rtc_service>)
if(WIN32)
  set(RTC_PLUGIN_SONAME "")
else()
  set(RTC_PLUGIN_SONAME $<TARGET_SONAME_FILE_NAME:rtc_service>)
endif()

install(EXPORT rtc_service NAMESPACE rtc_service:: FILE rtc_serviceTargets.cmake
        DESTINATION ${RTC_CMAKE_DESTINATION} COMPONENT dev)
install(EXPORT rtc_service_standins NAMESPACE rtc_service:: FILE rtc_serviceStandinsTargets.cmake
        DESTINATION ${RTC_CMAKE_DESTINATION} COMPONENT standins)

set(RTC_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package)
# The file names of the plug-in are known at generation time only.
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/rtc_serviceConfig.cmake.in
  ${RTC_PACKAGE_DIR}/rtc_serviceConfig.cmake.in
  INSTALL_DESTINATION ${RTC_CMAKE_DESTINATION}
  PATH_VARS RTC_PLUGIN_FILE)
file(GENERATE OUTPUT ${RTC_PACKAGE_DIR}/rtc_serviceConfig.cmake
     INPUT ${RTC_PACKAGE_DIR}/rtc_serviceConfig.cmake.in)
write_basic_package_version_file(${RTC_PACKAGE_DIR}/rtc_serviceConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  # Before 1.0 a minor release may change the interfaces (the SONAME follows major.minor too).
  COMPATIBILITY SameMinorVersion)
install(FILES ${RTC_PACKAGE_DIR}/rtc_serviceConfig.cmake
              ${RTC_PACKAGE_DIR}/rtc_serviceConfigVersion.cmake
        DESTINATION ${RTC_CMAKE_DESTINATION} COMPONENT dev)

# pkg-config: the files locate the prefix from their own folder, like the CMake package.
set(RTC_PKGCONFIG_DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH RTC_PKGCONFIG_PREFIX /${RTC_PKGCONFIG_DESTINATION} /)
string(REGEX REPLACE "/$" "" RTC_PKGCONFIG_PREFIX "${RTC_PKGCONFIG_PREFIX}")
foreach(pc rtc_service rtc_service_standins)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${RTC_PACKAGE_DIR}/${pc}.pc.in @ONLY)
  file(GENERATE OUTPUT ${RTC_PACKAGE_DIR}/${pc}.pc INPUT ${RTC_PACKAGE_DIR}/${pc}.pc.in)
endforeach()
install(FILES ${RTC_PACKAGE_DIR}/rtc_service.pc DESTINATION ${RTC_PKGCONFIG_DESTINATION}
        COMPONENT dev)
install(FILES ${RTC_PACKAGE_DIR}/rtc_service_standins.pc DESTINATION ${RTC_PKGCONFIG_DESTINATION}
        COMPONENT standins)
