#include "editor/encoding_combo_box.h"

#include <QPointer>

#include "base/notification_center.h"
#include "editor/encoding_selection_window.h"
#include "text/encoding_manager.h"

namespace swapp {

namespace {
constexpr int kKindRole = Qt::UserRole + 1;
enum ItemKind { EncodingItem, CustomizeItem, ConvertItem };
}  // namespace

EncodingComboBox::EncodingComboBox(QWidget* parent) : QComboBox(parent) {
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  setToolTip(tr("The text encoding of the file's lyrics and texts"));
  model_ = std::make_unique<sw::EncodingPopUpButton>([] { return sw::EncodingManager::defaultStringEncoding(); },
                                                     [] { EncodingSelectionWindow::showWindow(); });
  QPointer<EncodingComboBox> self(this);
  model_->observe(sw::EncodingManager::sharedInstance(), sw::NotificationCenter::shared(), [self] {
    // The list may change on any thread: the items are rebuilt on the main one.
    if (self) QMetaObject::invokeMethod(self, &EncodingComboBox::rebuild, Qt::QueuedConnection);
  });
  rebuild();
  connect(this, qOverload<int>(&QComboBox::activated), this, &EncodingComboBox::choose);
}

EncodingComboBox::~EncodingComboBox() = default;

void EncodingComboBox::rebuild() {
  rebuilding_ = true;
  clear();
  for (const sw::EncodingMenuItem& item : model_->items()) {
    switch (item.kind) {
      case sw::EncodingMenuItem::Kind::Encoding:
        addItem(QString::fromStdString(item.title), QVariant::fromValue(uint(item.tag)));
        setItemData(count() - 1, EncodingItem, kKindRole);
        break;
      case sw::EncodingMenuItem::Kind::Separator: insertSeparator(count()); break;
      case sw::EncodingMenuItem::Kind::Customize:
        addItem(tr("Customize Encodings List…"));
        setItemData(count() - 1, CustomizeItem, kKindRole);
        break;
    }
  }
  addItem(tr("Convert to UTF-8"));
  setItemData(count() - 1, ConvertItem, kKindRole);
  selectFromModel();
  rebuilding_ = false;
}

void EncodingComboBox::selectFromModel() {
  const int index = model_->indexOfSelectedItem();
  setCurrentIndex(index);
}

void EncodingComboBox::setEncoding(sw::StringEncoding encoding) {
  if (!model_->selectItemWithTag(encoding)) {
    sw::EncodingManager::sharedInstance().enableEncoding(encoding);
    model_->setupPopUp(sw::EncodingManager::sharedInstance().enabledEncodings());
    model_->selectItemWithTag(encoding);
    rebuild();
    return;
  }
  selectFromModel();
}

void EncodingComboBox::showPopup() {
  model_->willPopUp();
  QComboBox::showPopup();
}

void EncodingComboBox::choose(int index) {
  if (rebuilding_ || index < 0 || index >= count()) return;
  switch (itemData(index, kKindRole).toInt()) {
    case EncodingItem: {
      const sw::StringEncoding before = model_->selectedTag();
      model_->selectItemAtIndex(index);
      selectFromModel();
      if (model_->selectedTag() != before) emit encodingChosen(model_->selectedTag());
      break;
    }
    case CustomizeItem:
      model_->showPanel();
      selectFromModel();
      break;
    case ConvertItem:
      selectFromModel();
      emit convertToUTF8Requested();
      break;
  }
}

}  // namespace swapp
