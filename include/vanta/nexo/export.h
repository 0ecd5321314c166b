// Visibility of the functions the messaging engine library exports. Its interfaces are abstract
// classes reached through their tables of virtual functions and need no export.
#pragma once

#if defined(_WIN32)
#if defined(NEXO_BUILDING)
#define NEXO_EXPORT __declspec(dllexport)
#else
#define NEXO_EXPORT __declspec(dllimport)
#endif
#else
#define NEXO_EXPORT __attribute__((visibility("default")))
#endif
