#include "editing/pasteboard.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include <plist/plist.h>

namespace sw {

namespace {
struct PlistHolder {
  plist_t node = nullptr;
  ~PlistHolder() {
    if (node) plist_free(node);
  }
};
}  // namespace

std::vector<uint8_t> archiveEventCollection(const FEventList::PasteboardData& data) {
  PlistHolder dict{plist_new_dict()};
  plist_dict_set_item(dict.node, "eventList",
                      plist_new_data(reinterpret_cast<const char*>(data.eventList.data()), data.eventList.size()));
  plist_dict_set_item(dict.node, "division", plist_new_uint(uint64_t(std::max(data.division, 0))));
  plist_dict_set_item(dict.node, "src_uuid", plist_new_string(data.srcUUID.c_str()));
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(dict.node, &bytes, &length);
  std::vector<uint8_t> out;
  if (bytes) {
    out.assign(bytes, bytes + length);
    plist_to_bin_free(bytes);
  }
  return out;
}

std::optional<FEventList::PasteboardData> unarchiveEventCollection(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 8 || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  PlistHolder root;
  plist_from_bin(reinterpret_cast<const char*>(bytes.data()), uint32_t(bytes.size()), &root.node);
  if (!root.node || plist_get_node_type(root.node) != PLIST_DICT) return std::nullopt;
  plist_t list = plist_dict_get_item(root.node, "eventList");
  plist_t division = plist_dict_get_item(root.node, "division");
  plist_t uuid = plist_dict_get_item(root.node, "src_uuid");
  if (!list || plist_get_node_type(list) != PLIST_DATA || !division || plist_get_node_type(division) != PLIST_UINT ||
      !uuid || plist_get_node_type(uuid) != PLIST_STRING)
    return std::nullopt;
  FEventList::PasteboardData data;
  uint64_t divisionValue = 0;
  plist_get_uint_val(division, &divisionValue);
  if (divisionValue == 0 || divisionValue > 32767) return std::nullopt;
  data.division = int(divisionValue);
  char* listBytes = nullptr;
  uint64_t listLength = 0;
  plist_get_data_val(list, &listBytes, &listLength);
  if (listBytes) {
    data.eventList.assign(listBytes, listBytes + listLength);
    std::free(listBytes);
  }
  char* text = nullptr;
  plist_get_string_val(uuid, &text);
  if (text) {
    data.srcUUID = text;
    std::free(text);
  }
  return data;
}

}  // namespace sw
