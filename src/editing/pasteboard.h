// Where copied events go: a store of byte strings by type. The desktop application backs it
// with the system clipboard; MemoryPasteboard keeps the data in memory (tests, command line).
//
// An event collection travels as kEventCollectionType: a binary property-list dictionary with
// "eventList" (data: FlattenedEventList bytes), "division" (integer) and "src_uuid" (string),
// next to the rows' tab-separated text as kStringType and kTabularTextType.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editing/f_event_list.h"

namespace sw {

class Pasteboard {
 public:
  static constexpr const char* kEventCollectionType = "SWMidiEventCollectionType";
  static constexpr const char* kStringType = "text/plain;charset=utf-8";
  static constexpr const char* kTabularTextType = "text/tab-separated-values";

  virtual ~Pasteboard() = default;
  // Empties the pasteboard before a new set of types is written.
  virtual void clearContents() = 0;
  virtual void setData(const std::string& type, const std::vector<uint8_t>& data) = 0;
  virtual std::optional<std::vector<uint8_t>> data(const std::string& type) const = 0;
  bool hasType(const std::string& type) const { return data(type).has_value(); }
};

class MemoryPasteboard : public Pasteboard {
 public:
  void clearContents() override { items_.clear(); }
  void setData(const std::string& type, const std::vector<uint8_t>& data) override { items_[type] = data; }
  std::optional<std::vector<uint8_t>> data(const std::string& type) const override {
    auto it = items_.find(type);
    if (it == items_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::map<std::string, std::vector<uint8_t>> items_;
};

// The collection dictionary in its binary form, and back. Nothing when the bytes are not such
// a dictionary, a key is missing or has the wrong type, or the division is not 1..32767.
std::vector<uint8_t> archiveEventCollection(const FEventList::PasteboardData& data);
std::optional<FEventList::PasteboardData> unarchiveEventCollection(const std::vector<uint8_t>& bytes);

}  // namespace sw
