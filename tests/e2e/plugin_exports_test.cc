// The plug-in's dynamic symbol table holds GetIPlugin, the exported framework classes and the
// type identity of the interfaces hosts receive: nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {

std::vector<std::string> DefinedDynamicSymbols() {
  const std::string command = std::string(RTC_NM) + " -D -C --defined-only '" RTC_PLUGIN_PATH "'";
  std::vector<std::string> symbols;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return symbols;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // "<address> <type> <name>"
    const auto first = text.find(' ');
    const auto second = first == std::string::npos ? first : text.find(' ', first + 1);
    if (second != std::string::npos) symbols.push_back(text.substr(second + 1));
  }
  pclose(pipe);
  return symbols;
}

TEST(PluginExports, OnlyTheEntryPointFrameworkClassesAndInterfaceTypes) {
  const std::regex allowed(
      "GetIPlugin"
      "|tessel::base::ErrorResult::.*"
      "|tessel::service::(BaseMessage|RpcMessage|RpcRequest|RpcResponse|BaseContext|"
      "RpcContext)::.*"
      "|(typeinfo|typeinfo name|vtable) for tessel::base::ErrorResult"
      "|(typeinfo|typeinfo name|vtable) for tessel::service::(BaseMessage|RpcMessage|RpcRequest|"
      "RpcResponse|BaseContext|RpcContext)"
      "|(typeinfo|typeinfo name) for vanta::meta::(IPlugin|IPluginService|IRtcService|"
      "RtcMediaEventListener)");
  const auto symbols = DefinedDynamicSymbols();
  ASSERT_FALSE(symbols.empty()) << "could not list the symbols of " RTC_PLUGIN_PATH;
  bool entry_point = false;
  for (const auto& symbol : symbols) {
    EXPECT_TRUE(std::regex_match(symbol, allowed)) << "unexpected export: " << symbol;
    entry_point = entry_point || symbol == "GetIPlugin";
  }
  EXPECT_TRUE(entry_point) << "GetIPlugin is not exported under its plain name";
}

TEST(PluginExports, GetIPluginIsTheOnlyExportedFreeFunction) {
  for (const auto& symbol : DefinedDynamicSymbols()) {
    if (symbol.find("::") != std::string::npos || symbol.rfind("typeinfo", 0) == 0 ||
        symbol.rfind("vtable", 0) == 0) {
      continue;
    }
    EXPECT_EQ(symbol, "GetIPlugin");
  }
}

}  // namespace
