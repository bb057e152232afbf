// The items of an encoding pop-up: one per encoding, a separator, and a last item that opens
// the selection window. The window layer draws the items and forwards clicks; this class keeps
// the selection rules.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/notification_center.h"
#include "text/string_encoding.h"

namespace sw {

class EncodingManager;

struct EncodingMenuItem {
  enum class Kind { Encoding, Separator, Customize };
  Kind kind;
  std::string title;  // the encoding's name; the string-table key for the customise item
  StringEncoding tag;  // kNoEncoding for the separator and the customise item
};

class EncodingPopUpButton {
 public:
  static constexpr const char* kCustomizeTitleKey = "CUSTOMIZE_ENCODING_LIST";

  // `defaultEncoding` answers the stored default encoding; `showSelectionWindow` opens the
  // selection window (either may be empty).
  EncodingPopUpButton(std::function<StringEncoding()> defaultEncoding, std::function<void()> showSelectionWindow);
  ~EncodingPopUpButton();
  EncodingPopUpButton(const EncodingPopUpButton&) = delete;
  EncodingPopUpButton& operator=(const EncodingPopUpButton&) = delete;

  // Fills itself from the manager's enabled list now and whenever it changes; `onRebuilt` is
  // then called (on the posting thread) so that the window layer can redraw.
  void observe(EncodingManager& manager, NotificationCenter& center, std::function<void()> onRebuilt = {});

  // Rebuilds the items, keeping the selected encoding, or else selecting the default one.
  void setupPopUp(const std::vector<StringEncoding>& encodings);
  const std::vector<EncodingMenuItem>& items() const { return items_; }
  // -1 when nothing is selected.
  int indexOfSelectedItem() const { return selected_; }
  // The selected encoding, kNoEncoding when none.
  StringEncoding selectedTag() const;

  // Selects an item; the customise item, separators and indexes out of range are ignored.
  void selectItemAtIndex(int index);
  bool selectItemWithTag(StringEncoding tag);
  // The menu is about to open: remembers the selected index.
  void willPopUp();
  // The customise item was chosen: opens the selection window and selects again the index
  // that was selected when the menu opened.
  void showPanel();

 private:
  std::function<StringEncoding()> defaultEncoding_;
  std::function<void()> showSelectionWindow_;
  std::vector<EncodingMenuItem> items_;
  int selected_ = -1;
  int selectedWhenOpened_ = -1;
  NotificationCenter* center_ = nullptr;
  NotificationCenter::Token token_ = 0;
};

}  // namespace sw
