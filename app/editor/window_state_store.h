// The editor window's state kept in extended attributes of its MIDI file: the window frame
// ("com.tessary.scorewell.windowFrame", a saved-frame string "x y width height") and the
// table's column layout ("com.tessary.scorewell.table.columnsState", an array of dictionaries
// with "ID", "title", "width" and "hidden"; shown columns first in display order, then the
// hidden ones). Missing or damaged attributes read as nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/plist_attribute.h"

namespace swapp {

inline constexpr const char* kWindowFrameAttribute = "com.tessary.scorewell.windowFrame";
inline constexpr const char* kColumnsStateAttribute = "com.tessary.scorewell.table.columnsState";
inline constexpr const char* kEncodingAttribute = "com.tessary.encoding";

struct WindowFrame {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const WindowFrame&) const = default;
};

struct ColumnState {
  std::string id;
  std::string title;
  int width = 0;
  bool hidden = false;
  bool operator==(const ColumnState&) const = default;
};

class WindowStateStore {
 public:
  static std::string frameString(const WindowFrame& frame);
  // Nothing unless the text holds four integers with a positive width and height.
  static std::optional<WindowFrame> parseFrame(const std::string& text);

  static std::optional<WindowFrame> readFrame(const std::string& path);
  static std::optional<std::vector<ColumnState>> readColumns(const std::string& path);
  // Both attributes at once; failures (a vanished file, a file system without attributes)
  // come back and change nothing else.
  static sw::Error write(const std::string& path, const WindowFrame& frame,
                                  const std::vector<ColumnState>& columns);
};

}  // namespace swapp
