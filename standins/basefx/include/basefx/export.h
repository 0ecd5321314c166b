// Visibility of what the foundation library exports.
#pragma once

#if defined(_WIN32)
#if defined(BASEFX_BUILDING)
#define BASEFX_EXPORT __declspec(dllexport)
#else
#define BASEFX_EXPORT __declspec(dllimport)
#endif
#else
#define BASEFX_EXPORT __attribute__((visibility("default")))
#endif
