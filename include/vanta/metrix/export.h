// Visibility of what the monitoring library exports.
#pragma once

#if defined(_WIN32)
#if defined(METRIX_BUILDING)
#define METRIX_EXPORT __declspec(dllexport)
#else
#define METRIX_EXPORT __declspec(dllimport)
#endif
#else
#define METRIX_EXPORT __attribute__((visibility("default")))
#endif

// Interfaces that classes exported from the library implement share one type identity.
#if defined(_WIN32)
#define METRIX_INTERFACE
#else
#define METRIX_INTERFACE __attribute__((visibility("default")))
#endif
