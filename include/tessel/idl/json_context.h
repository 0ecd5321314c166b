// JSON conversion contexts of model values (rapidjson document object model).
#pragma once

#include <rapidjson/document.h>

namespace tessel {
namespace idl {

// The JSON object being filled and the allocator its members come from.
struct JsonSerializeContext {
  rapidjson::Value* object = nullptr;
  rapidjson::Document::AllocatorType* allocator = nullptr;
};

// The JSON value being read.
struct JsonDeSerializeContext {
  const rapidjson::Value* value = nullptr;
};

}  // namespace idl
}  // namespace tessel
