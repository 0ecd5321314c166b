# GoogleTest and GoogleMock for the test suite.
#
# Debian's libgtest-dev and libgmock-dev are built for the machine's own architecture only. A
# build for another word size or system compiles them from the sources that Debian's googletest
# package ships in /usr/src/googletest: set RTC_GTEST_SOURCE_DIR to that directory.
set(RTC_GTEST_SOURCE_DIR "" CACHE PATH
    "Compile GoogleTest from these sources instead of using the installed libraries")

if(NOT RTC_GTEST_SOURCE_DIR)
  find_package(GTest REQUIRED)
  return()
endif()

if(NOT EXISTS ${RTC_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "RTC_GTEST_SOURCE_DIR=${RTC_GTEST_SOURCE_DIR} holds no GoogleTest sources "
                      "(Debian: apt-get install googletest)")
endif()
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${RTC_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
