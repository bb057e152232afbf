// The encoding pop-up of an editor window: the enabled encodings (kept in step with the
// encoding manager), "Customize Encodings List…", and "Convert to UTF-8".
#pragma once

#include <QComboBox>

#include <memory>

#include "text/encoding_pop_up.h"

namespace swapp {

class EncodingComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit EncodingComboBox(QWidget* parent = nullptr);
  ~EncodingComboBox() override;

  // Selects the encoding without emitting encodingChosen (it is enabled first when missing).
  void setEncoding(sw::StringEncoding encoding);
  sw::StringEncoding encoding() const { return model_->selectedTag(); }
  // The item index of "Convert to UTF-8".
  int convertItemIndex() const { return count() - 1; }
  // As if the user picked the item at this index.
  void choose(int index);

 signals:
  void encodingChosen(sw::StringEncoding encoding);
  void convertToUTF8Requested();

 protected:
  void showPopup() override;

 private:
  void rebuild();
  void selectFromModel();

  std::unique_ptr<sw::EncodingPopUpButton> model_;
  bool rebuilding_ = false;
};

}  // namespace swapp
