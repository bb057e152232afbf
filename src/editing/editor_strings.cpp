#include "editing/editor_strings.h"

#include <map>

namespace sw {

namespace {

const std::map<std::string_view, std::string_view>& table() {
  static const std::map<std::string_view, std::string_view> strings = {
      {"INCORRECT_VALUE", "This value is not valid for this field. The previous value is kept."},
      {"Do you want to add a new track?", "Do you want to add a new track?"},
      {"This document currently contains %d track(s).", "This document currently contains %d track(s)."},
      {"Add", "Add"},
      {"Cancel", "Cancel"},
  };
  return strings;
}

}  // namespace

std::string localizedString(std::string_view key) {
  auto it = table().find(key);
  return std::string(it == table().end() ? key : it->second);
}

}  // namespace sw
