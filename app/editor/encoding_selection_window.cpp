#include "editor/encoding_selection_window.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/encoding_manager.h"

namespace swapp {

EncodingSelectionWindow* EncodingSelectionWindow::showWindow() {
  static QPointer<EncodingSelectionWindow> window;
  if (!window) window = new EncodingSelectionWindow;
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

EncodingSelectionWindow::EncodingSelectionWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Text Encodings"));
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* all = buttons->addButton(tr("Select All"), QDialogButtonBox::ActionRole);
  QPushButton* none = buttons->addButton(tr("Clear All"), QDialogButtonBox::ActionRole);
  QPushButton* defaults = buttons->addButton(tr("Revert to Default"), QDialogButtonBox::ResetRole);
  buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  sw::EncodingManager& manager = sw::EncodingManager::sharedInstance();
  connect(all, &QPushButton::clicked, this, [&manager] { manager.selectAll(); });
  connect(none, &QPushButton::clicked, this, [&manager] { manager.clearAll(); });
  connect(defaults, &QPushButton::clicked, this, [&manager] { manager.revertToDefault(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
  connect(list_, &QListWidget::itemChanged, this, [this, &manager](QListWidgetItem* item) {
    if (refreshing_) return;
    manager.setEncodingChecked(sw::StringEncoding(item->data(Qt::UserRole).toUInt()), item->checkState() == Qt::Checked);
  });
  QPointer<EncodingSelectionWindow> self(this);
  observer_ = sw::NotificationCenter::shared().addObserver(
      sw::EncodingManager::kEncodingsListChangedNotification, [self](const std::string&, const sw::NotificationCenter::UserInfo&) {
        if (self) QMetaObject::invokeMethod(self, &EncodingSelectionWindow::refresh, Qt::QueuedConnection);
      });
  refresh();
  resize(360, 480);
}

EncodingSelectionWindow::~EncodingSelectionWindow() { sw::NotificationCenter::shared().removeObserver(observer_); }

void EncodingSelectionWindow::refresh() {
  refreshing_ = true;
  const std::vector<sw::EncodingManager::CheckBox> boxes = sw::EncodingManager::sharedInstance().encodingMatrix();
  if (list_->count() != int(boxes.size())) {
    list_->clear();
    for (const auto& box : boxes) {
      auto* item = new QListWidgetItem(QString::fromStdString(box.title), list_);
      item->setData(Qt::UserRole, uint(box.encoding));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    }
  }
  for (int row = 0; row < list_->count(); ++row)
    list_->item(row)->setCheckState(boxes[size_t(row)].checked ? Qt::Checked : Qt::Unchecked);
  refreshing_ = false;
}

}  // namespace swapp
