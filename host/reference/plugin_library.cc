#include "reference/plugin_library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace refhost {

PluginLibrary::PluginLibrary(const std::string& path) {
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error_ = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  handle_ = module;
  FARPROC symbol = GetProcAddress(module, vanta::meta::kGetIPluginSymbol);
  if (symbol == nullptr) {
    error_ = std::string("no ") + vanta::meta::kGetIPluginSymbol + " in " + path;
    return;
  }
  get_plugin_ = reinterpret_cast<vanta::meta::GetIPluginFunc>(reinterpret_cast<void*>(symbol));
#else
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    error_ = why != nullptr ? why : "cannot load " + path;
    return;
  }
  void* symbol = dlsym(handle_, vanta::meta::kGetIPluginSymbol);
  if (symbol == nullptr) {
    error_ = std::string("no ") + vanta::meta::kGetIPluginSymbol + " in " + path;
    return;
  }
  get_plugin_ = reinterpret_cast<vanta::meta::GetIPluginFunc>(symbol);
#endif
}

}  // namespace refhost
