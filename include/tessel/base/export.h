// Visibility of the framework classes that the module exports to its host.
//
// The framework is a static library. Whoever links it builds the classes into its own binary
// and defines TESSEL_BUILDING (the framework's CMake target passes it on), so on Windows the
// classes are exported from that binary; a consumer that only includes the headers imports them.
#pragma once

#if defined(_WIN32)
#if defined(TESSEL_BUILDING)
#define TESSEL_EXPORT __declspec(dllexport)
#else
#define TESSEL_EXPORT __declspec(dllimport)
#endif
#else
#define TESSEL_EXPORT __attribute__((visibility("default")))
#endif
