# Export table of the plug-in DLL.
#
# On Windows nothing like the ELF version script narrows what the plug-in exports: whatever its
# objects mark __declspec(dllexport) ends up in the table. After every link of the plug-in this
# reads the table back and fails the build unless it holds GetIPlugin under its plain name (no
# leading underscore, no @0) and otherwise only members, type information and virtual tables of
# the framework classes hosts may use.
#
# Included from a CMakeLists.txt it defines rtc_check_dll_exports(<target>); run with
# `cmake -DDLL=... -DOBJDUMP=... -DCXXFILT=... -P dll_exports.cmake` it checks one DLL.

set(RTC_DLL_EXPORTS_ALLOWED
    "GetIPlugin"
    "tessel::base::ErrorResult::.*"
    "tessel::service::(BaseMessage|RpcMessage|RpcRequest|RpcResponse|BaseContext|RpcContext)::.*"
    "(typeinfo|typeinfo name|vtable) for tessel::base::ErrorResult"
    "(typeinfo|typeinfo name|vtable) for tessel::service::(BaseMessage|RpcMessage|RpcRequest|RpcResponse|BaseContext|RpcContext)"
    "(typeinfo|typeinfo name) for vanta::meta::(IPlugin|IPluginService|IRtcService|RtcMediaEventListener)")

if(NOT CMAKE_SCRIPT_MODE_FILE)
  set(RTC_DLL_EXPORTS_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

  function(rtc_check_dll_exports target)
    get_filename_component(dir "${CMAKE_OBJDUMP}" DIRECTORY)
    get_filename_component(name "${CMAKE_OBJDUMP}" NAME)
    string(REPLACE "objdump" "c++filt" filt_name "${name}")
    find_program(RTC_CXXFILT NAMES ${filt_name} c++filt HINTS ${dir})
    if(NOT CMAKE_OBJDUMP OR NOT RTC_CXXFILT)
      message(WARNING "objdump or c++filt not found: the export table of ${target} is not checked")
      return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:${target}> -DOBJDUMP=${CMAKE_OBJDUMP}
              -DCXXFILT=${RTC_CXXFILT} -P ${RTC_DLL_EXPORTS_SCRIPT}
      COMMENT "Checking the export table of ${target}"
      VERBATIM)
  endfunction()
  return()
endif()

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed (${rc})")
endif()

# "[Ordinal/Name Pointer] Table" lists one "\t[   n] name" line per exported name.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[ *[0-9]+\\] [^\n]*\n)*" table "${dump}")
string(FIND "${table}" "\n" header_end)
math(EXPR header_end "${header_end} + 1")
string(SUBSTRING "${table}" ${header_end} -1 table)
string(REGEX REPLACE "\t\\[ *[0-9]+\\] " "" mangled "${table}")
if(mangled STREQUAL "")
  message(FATAL_ERROR "${DLL} exports nothing: GetIPlugin is missing")
endif()

# The export table holds the names without the target's leading underscore: -n keeps c++filt
# from stripping one more character.
get_filename_component(scratch "${DLL}.exports" ABSOLUTE)
file(WRITE ${scratch} "${mangled}")
execute_process(COMMAND ${CXXFILT} -n INPUT_FILE ${scratch} OUTPUT_VARIABLE demangled
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${CXXFILT} failed (${rc})")
endif()
file(WRITE ${scratch} "${demangled}")

list(JOIN RTC_DLL_EXPORTS_ALLOWED "|" allowed)
string(REPLACE "\n" ";" symbols "${demangled}")
set(unexpected "")
set(entry_point FALSE)
foreach(symbol IN LISTS symbols)
  if(symbol STREQUAL "")
    continue()
  endif()
  if(symbol STREQUAL "GetIPlugin")
    set(entry_point TRUE)
  endif()
  if(NOT symbol MATCHES "^(${allowed})$")
    string(APPEND unexpected "\n  ${symbol}")
  endif()
endforeach()

if(NOT entry_point)
  message(FATAL_ERROR "${DLL} does not export GetIPlugin under its plain name "
                      "(exports listed in ${scratch})")
endif()
if(NOT unexpected STREQUAL "")
  message(FATAL_ERROR "${DLL} exports what is not part of its interface:${unexpected}")
endif()
