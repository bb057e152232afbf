#include "editor/window_state_store.h"

#include <algorithm>
#include <sstream>

namespace swapp {

std::string WindowStateStore::frameString(const WindowFrame& frame) {
  return std::to_string(frame.x) + " " + std::to_string(frame.y) + " " + std::to_string(frame.width) + " " +
         std::to_string(frame.height);
}

std::optional<WindowFrame> WindowStateStore::parseFrame(const std::string& text) {
  std::istringstream in(text);
  WindowFrame frame;
  if (!(in >> frame.x >> frame.y >> frame.width >> frame.height)) return std::nullopt;
  if (frame.width <= 0 || frame.height <= 0 || frame.width > 100000 || frame.height > 100000) return std::nullopt;
  return frame;
}

std::optional<WindowFrame> WindowStateStore::readFrame(const std::string& path) {
  auto value = sw::attributeValue(path, kWindowFrameAttribute);
  if (!value || !value->isString()) return std::nullopt;
  return parseFrame(value->stringValue());
}

std::optional<std::vector<ColumnState>> WindowStateStore::readColumns(const std::string& path) {
  auto value = sw::attributeValue(path, kColumnsStateAttribute);
  if (!value || !value->isArray()) return std::nullopt;
  std::vector<ColumnState> columns;
  for (const sw::SettingValue& item : value->arrayValue()) {
    if (!item.isDictionary()) continue;
    const auto& dict = item.dictionaryValue();
    auto id = dict.find("ID");
    if (id == dict.end() || !id->second.isString()) continue;
    ColumnState column;
    column.id = id->second.stringValue();
    if (auto it = dict.find("title"); it != dict.end()) column.title = it->second.stringValue();
    if (auto it = dict.find("width"); it != dict.end() && it->second.isNumber())
      column.width = int(std::clamp<int64_t>(it->second.integerValue(), 0, 10000));
    if (auto it = dict.find("hidden"); it != dict.end()) column.hidden = it->second.boolValue();
    columns.push_back(std::move(column));
  }
  return columns;
}

sw::Error WindowStateStore::write(const std::string& path, const WindowFrame& frame,
                                           const std::vector<ColumnState>& columns) {
  sw::SettingValue::Array array;
  for (const ColumnState& column : columns) {
    sw::SettingValue::Dictionary dict;
    dict["ID"] = column.id;
    dict["title"] = column.title;
    dict["width"] = column.width;
    dict["hidden"] = column.hidden;
    array.push_back(std::move(dict));
  }
  sw::SettingValue::Dictionary values;
  values[kWindowFrameAttribute] = frameString(frame);
  values[kColumnsStateAttribute] = std::move(array);
  return sw::setAttributeValues(path, values);
}

}  // namespace swapp
