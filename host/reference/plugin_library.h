// Loads the plug-in's shared library and resolves GetIPlugin: the one place where the host
// side deals with the platform's dynamic loader.
#pragma once

#include <string>

#include "vanta/meta/i_plugin.h"

namespace refhost {

class PluginLibrary {
 public:
  // Loads `path`; check ok() and error() afterwards. The library stays loaded for the life of
  // the process (the plug-in's objects live until process exit).
  explicit PluginLibrary(const std::string& path);
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool ok() const { return get_plugin_ != nullptr; }
  const std::string& error() const { return error_; }
  // The library's GetIPlugin, or null.
  vanta::meta::GetIPluginFunc get_plugin() const { return get_plugin_; }
  vanta::meta::IPlugin* GetIPlugin() const { return get_plugin_ ? get_plugin_() : nullptr; }

 private:
  void* handle_ = nullptr;
  vanta::meta::GetIPluginFunc get_plugin_ = nullptr;
  std::string error_;
};

}  // namespace refhost
