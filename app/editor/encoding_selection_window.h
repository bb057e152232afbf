// The window that edits the short list of encodings every encoding pop-up shows: one check box
// per available encoding, Select All, Clear All and Revert to Default.
#pragma once

#include <QDialog>

#include "base/notification_center.h"

class QListWidget;

namespace swapp {

class EncodingSelectionWindow : public QDialog {
  Q_OBJECT
 public:
  // The one window, created on first use, brought to the front.
  static EncodingSelectionWindow* showWindow();
  explicit EncodingSelectionWindow(QWidget* parent = nullptr);
  ~EncodingSelectionWindow() override;

  QListWidget* list() { return list_; }

 private:
  void refresh();

  QListWidget* list_ = nullptr;
  bool refreshing_ = false;
  sw::NotificationCenter::Token observer_ = 0;
};

}  // namespace swapp
