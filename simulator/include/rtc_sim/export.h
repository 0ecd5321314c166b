// Visibility of what the adaptor simulator library exports: its public API and nothing else
// (its private copy of the model framework stays hidden).
#pragma once

#if defined(_WIN32)
#if defined(RTC_SIM_BUILDING)
#define RTC_SIM_EXPORT __declspec(dllexport)
#else
#define RTC_SIM_EXPORT __declspec(dllimport)
#endif
#else
#define RTC_SIM_EXPORT __attribute__((visibility("default")))
#endif
