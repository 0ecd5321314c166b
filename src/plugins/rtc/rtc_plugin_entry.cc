// The module's one exported function.
#include "plugins/rtc/rtc_plugin.h"

#if defined(_WIN32)
#define RTC_PLUGIN_EXPORT __declspec(dllexport)
#else
#define RTC_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

// Undecorated, so hosts find it by its plain name on every platform.
extern "C" RTC_PLUGIN_EXPORT vanta::meta::IPlugin* GetIPlugin() {
  return vanta::meta::GetPluginInstance();
}
