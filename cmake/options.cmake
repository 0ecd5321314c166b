# Warning and sanitizer flags shared by every target of the project.
add_library(rtc_warnings INTERFACE)
if(MSVC)
  target_compile_options(rtc_warnings INTERFACE /W4 $<$<BOOL:${RTC_WERROR}>:/WX>)
else()
  target_compile_options(rtc_warnings INTERFACE -Wall -Wextra $<$<BOOL:${RTC_WERROR}>:-Werror>)
endif()

if(RTC_SANITIZE)
  add_compile_options(-fsanitize=${RTC_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${RTC_SANITIZE})
endif()

# Shared objects we build hide everything that comes from static archives; what a shared
# library exports is decided by the visibility attributes of its own sources.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(RTC_SHARED_LINK_FLAGS "-Wl,--exclude-libs,ALL" "-Wl,--no-undefined")
else()
  set(RTC_SHARED_LINK_FLAGS "")
endif()

function(rtc_shared_library_flags target)
  target_link_options(${target} PRIVATE ${RTC_SHARED_LINK_FLAGS})
endfunction()
