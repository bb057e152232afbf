#include "text/encoding_pop_up.h"

#include "text/encoding_manager.h"

namespace sw {

EncodingPopUpButton::EncodingPopUpButton(std::function<StringEncoding()> defaultEncoding,
                                         std::function<void()> showSelectionWindow)
    : defaultEncoding_(std::move(defaultEncoding)), showSelectionWindow_(std::move(showSelectionWindow)) {}

EncodingPopUpButton::~EncodingPopUpButton() {
  if (center_) center_->removeObserver(token_);
}

void EncodingPopUpButton::observe(EncodingManager& manager, NotificationCenter& center,
                                  std::function<void()> onRebuilt) {
  if (center_) center_->removeObserver(token_);
  center_ = &center;
  token_ = center.addObserver(EncodingManager::kEncodingsListChangedNotification,
                              [this, &manager, onRebuilt](const std::string&, const NotificationCenter::UserInfo&) {
                                setupPopUp(manager.enabledEncodings());
                                if (onRebuilt) onRebuilt();
                              });
  setupPopUp(manager.enabledEncodings());
}

void EncodingPopUpButton::setupPopUp(const std::vector<StringEncoding>& encodings) {
  StringEncoding remembered = selectedTag();
  items_.clear();
  selected_ = -1;
  for (StringEncoding encoding : encodings) {
    if (encoding == kNoEncoding) continue;
    items_.push_back({EncodingMenuItem::Kind::Encoding, nameOfEncoding(encoding), encoding});
  }
  if (!items_.empty()) items_.push_back({EncodingMenuItem::Kind::Separator, "", kNoEncoding});
  items_.push_back({EncodingMenuItem::Kind::Customize, kCustomizeTitleKey, kNoEncoding});

  if (remembered != kNoEncoding && selectItemWithTag(remembered)) return;
  if (defaultEncoding_) selectItemWithTag(defaultEncoding_());
}

StringEncoding EncodingPopUpButton::selectedTag() const {
  return selected_ >= 0 && size_t(selected_) < items_.size() ? items_[selected_].tag : kNoEncoding;
}

void EncodingPopUpButton::selectItemAtIndex(int index) {
  if (index < 0 || size_t(index) >= items_.size()) return;
  if (items_[index].kind != EncodingMenuItem::Kind::Encoding) return;
  selected_ = index;
}

bool EncodingPopUpButton::selectItemWithTag(StringEncoding tag) {
  if (tag == kNoEncoding) return false;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].kind == EncodingMenuItem::Kind::Encoding && items_[i].tag == tag) {
      selected_ = int(i);
      return true;
    }
  }
  return false;
}

void EncodingPopUpButton::willPopUp() { selectedWhenOpened_ = selected_; }

void EncodingPopUpButton::showPanel() {
  if (showSelectionWindow_) showSelectionWindow_();
  selectItemAtIndex(selectedWhenOpened_);
}

}  // namespace sw
