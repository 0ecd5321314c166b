# 32-bit Windows (i686) with the MinGW-w64 cross compilers of Debian, posix threads variant
# (std::thread and std::mutex need it):
#
#   apt-get install g++-mingw-w64-i686-posix
#   cmake --preset mingw32
#
# The C++ runtime stays in its DLLs (libstdc++-6.dll, libgcc_s_dw2-1.dll, libwinpthread-1.dll),
# shared by the host and every module: std::shared_ptr and std::function cross the plug-in
# boundary, and exceptions thrown by the plug-in (a failed process-wide creation, a bad weak
# pointer) are caught by the host. With the 32-bit DWARF unwinder that only works when all
# modules share one libgcc. scripts/build-windows.sh puts the runtime DLLs beside the build's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(RTC_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${RTC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RTC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RTC_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RTC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# DLL names as Windows hosts expect them (rtc_service.dll, not librtc_service.dll): the
# platform defaults are replaced after CMake has loaded them.
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-rules.cmake)

# rapidjson and msgpack-cxx (tests only) are header-only and the same for every target; the
# host's copies are used through configurations that expose only their own directories (the
# host's /usr/include must never reach a Windows compile).
set(RapidJSON_DIR ${CMAKE_CURRENT_LIST_DIR}/../cross/RapidJSON CACHE PATH "")
set(msgpack_DIR ${CMAKE_CURRENT_LIST_DIR}/../cross/msgpack CACHE PATH "")
