// The event table: one row per visible event of the document's filtered list, one column per
// event field. Virtual: a row is looked up only when the view asks for it, so a file of a
// million events scrolls as fast as a small one. Edits go through the engine's edit
// operations (validation, undo); a change to the event kind or the second field of a selected
// row goes to every selected row (the second only to rows of the same kind).
#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <functional>
#include <vector>

#include "editing/field_value.h"

namespace sw {
class FMidiEventPointer;
}

namespace swapp {

class EditorDocument;

// How a cell is shown and edited.
enum class CellKind { Text, Icon, EventKind, MetaKind, Controller, Program, DrumKit };

struct ColumnInfo {
  sw::FieldKey key;
  const char* id;     // the field key's name, kept in the column layout attribute
  const char* title;
  int width;
  bool hiddenByDefault;
};

class EventTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Data role of the integer a pop-up cell stands for (status, meta type, controller, program).
  static constexpr int TagRole = Qt::UserRole + 1;
  static constexpr int CellKindRole = Qt::UserRole + 2;

  explicit EventTableModel(EditorDocument& document, QObject* parent = nullptr);

  static const std::vector<ColumnInfo>& columns();
  static int columnOf(sw::FieldKey key);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  CellKind cellKind(int row, int column) const;
  // The text of a cell as the table shows it (pop-up cells give their item's title).
  QString cellText(int row, int column) const;

  // Told (done, total) while a change goes to many selected rows; answering false stops it
  // (what was changed so far stays, as one undo step).
  void setProgressHandler(std::function<bool(int, int)> handler) { progress_ = std::move(handler); }

  // After the list changed: resets when the row count changed, else repaints.
  void reload();

  // The names of a pop-up: (tag, title) pairs.
  static std::vector<std::pair<int, QString>> popUpItems(CellKind kind);
  static QString popUpTitle(CellKind kind, int tag);

 signals:
  // A typed or chosen value was refused; the message says why.
  void validationFailed(const QModelIndex& index, const QString& message);

 private:
  int tagOf(const sw::FMidiEventPointer& pointer, CellKind kind) const;
  bool isLiveRow(int row) const;
  bool setOnSelectedRows(int row, sw::FieldKey key, const sw::FieldValue& value, QString* error);

  EditorDocument& document_;
  int rows_ = 0;
  std::function<bool(int, int)> progress_;
};

}  // namespace swapp
