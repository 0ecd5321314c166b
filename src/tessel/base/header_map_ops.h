// Header operations shared by the mlink message and the generic RPC message: both keep their
// headers in a multimap where one key may carry several values, in insertion order.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tessel {
namespace internal {

using HeaderMap = std::multimap<std::string, std::string>;

inline bool HasHeader(const HeaderMap& headers, const std::string& key) {
  return headers.find(key) != headers.end();
}

inline std::string FirstHeader(const HeaderMap& headers, const std::string& key) {
  // multimap::find may return any of several equal keys; lower_bound is the first inserted.
  auto it = headers.lower_bound(key);
  if (it == headers.end() || it->first != key) return std::string();
  return it->second;
}

inline void AddHeader(HeaderMap* headers, const std::string& key, const std::string& value) {
  if (value.empty()) return;
  headers->emplace(key, value);
}

inline std::set<std::string> HeaderKeys(const HeaderMap& headers) {
  std::set<std::string> keys;
  for (const auto& entry : headers) keys.insert(keys.end(), entry.first);
  return keys;
}

inline std::vector<std::string> AllHeaders(const HeaderMap& headers, const std::string& key) {
  std::vector<std::string> values;
  auto range = headers.equal_range(key);
  for (auto it = range.first; it != range.second; ++it) values.push_back(it->second);
  return values;
}

}  // namespace internal
}  // namespace tessel
