// Editors of the event table's cells: a line edit for typed fields, a pop-up of names for the
// event kind, meta kind, controller and drum kit, and a menu of General MIDI programs by group
// with a sub-menu per group. A chosen item is committed at once.
#pragma once

#include <QStyledItemDelegate>

namespace swapp {

class CellDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

}  // namespace swapp
