// Visibility of the framework classes that the module exports to its host.
//
// The framework is a static library. The plug-in compiles the exported classes into itself with
// TESSEL_BUILDING defined, so on Windows rtc_service.dll exports them. Everything else that links
// the static framework (the engine, the tests) gets TESSEL_STATIC from the framework's CMake
// target and keeps its copy private; a host that only includes the headers imports the classes
// from the plug-in.
#pragma once

#if defined(_WIN32)
#if defined(TESSEL_BUILDING)
#define TESSEL_EXPORT __declspec(dllexport)
#elif defined(TESSEL_STATIC)
#define TESSEL_EXPORT
#else
#define TESSEL_EXPORT __declspec(dllimport)
#endif
#else
#define TESSEL_EXPORT __attribute__((visibility("default")))
#endif
