#include "editor/cell_delegate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include "editing/midi_names.h"
#include "editor/event_table_model.h"

namespace swapp {

namespace {

constexpr const char* kTagProperty = "scorewellTag";

// The program menu: one sub-menu of eight programs per General MIDI group.
QToolButton* programPicker(QWidget* parent, const QStyledItemDelegate* delegate) {
  auto* button = new QToolButton(parent);
  button->setPopupMode(QToolButton::InstantPopup);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* menu = new QMenu(button);
  const auto& groups = sw::MidiNames::gmGroups();
  const auto programs = EventTableModel::popUpItems(CellKind::Program);
  for (size_t g = 0; g < groups.size(); ++g) {
    QMenu* sub = menu->addMenu(QString::fromStdString(groups[g]));
    for (size_t p = g * 8; p < g * 8 + 8 && p < programs.size(); ++p) {
      QAction* action = sub->addAction(programs[p].second);
      const int tag = programs[p].first;
      QObject::connect(action, &QAction::triggered, button, [button, tag, delegate] {
        button->setProperty(kTagProperty, tag);
        emit const_cast<QStyledItemDelegate*>(delegate)->commitData(button);
        emit const_cast<QStyledItemDelegate*>(delegate)->closeEditor(button);
      });
    }
  }
  button->setMenu(menu);
  // Opened without a nested event loop, so a commit never happens inside one.
  QTimer::singleShot(0, button, [button, menu] { menu->popup(button->mapToGlobal(QPoint(0, button->height()))); });
  return button;
}

}  // namespace

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const auto kind = CellKind(index.data(EventTableModel::CellKindRole).toInt());
  switch (kind) {
    case CellKind::Text:
    case CellKind::Icon: return QStyledItemDelegate::createEditor(parent, option, index);
    case CellKind::Program: return programPicker(parent, this);
    default: break;
  }
  auto* combo = new QComboBox(parent);
  const int current = index.data(EventTableModel::TagRole).toInt();
  bool found = false;
  for (const auto& [tag, title] : EventTableModel::popUpItems(kind)) found |= tag == current;
  // A value without a name gets an item of its own, first.
  if (!found) combo->addItem(EventTableModel::popUpTitle(kind, current), current);
  for (const auto& [tag, title] : EventTableModel::popUpItems(kind)) combo->addItem(title, tag);
  connect(combo, &QComboBox::activated, this, [this, combo] {
    emit const_cast<CellDelegate*>(this)->commitData(combo);
    emit const_cast<CellDelegate*>(this)->closeEditor(combo);
  });
  QTimer::singleShot(0, combo, [combo] { combo->showPopup(); });
  return combo;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  const int tag = index.data(EventTableModel::TagRole).toInt();
  if (auto* combo = qobject_cast<QComboBox*>(editor)) {
    combo->setCurrentIndex(std::max(0, combo->findData(tag)));
  } else if (auto* button = qobject_cast<QToolButton*>(editor)) {
    button->setProperty(kTagProperty, tag);
    button->setText(index.data(Qt::DisplayRole).toString());
  } else {
    QStyledItemDelegate::setEditorData(editor, index);
  }
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  if (auto* combo = qobject_cast<QComboBox*>(editor)) {
    model->setData(index, combo->currentData(), Qt::EditRole);
  } else if (auto* button = qobject_cast<QToolButton*>(editor)) {
    model->setData(index, button->property(kTagProperty), Qt::EditRole);
  } else {
    QStyledItemDelegate::setModelData(editor, model, index);
  }
}

}  // namespace swapp
