# rapidjson for builds whose system headers are not the build machine's (cross builds): the
# build machine's rapidjson headers, in a directory of their own.
find_path(RTC_HOST_RAPIDJSON_INCLUDE rapidjson/document.h
          PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT RTC_HOST_RAPIDJSON_INCLUDE)
  set(RapidJSON_FOUND FALSE)
  set(RapidJSON_NOT_FOUND_MESSAGE "rapidjson headers not found (Debian: rapidjson-dev)")
  return()
endif()
set(RAPIDJSON_INCLUDE_DIRS ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${RAPIDJSON_INCLUDE_DIRS})
if(NOT EXISTS ${RAPIDJSON_INCLUDE_DIRS}/rapidjson)
  file(CREATE_LINK ${RTC_HOST_RAPIDJSON_INCLUDE}/rapidjson ${RAPIDJSON_INCLUDE_DIRS}/rapidjson
       SYMBOLIC)
endif()
set(RapidJSON_INCLUDE_DIRS ${RAPIDJSON_INCLUDE_DIRS})
