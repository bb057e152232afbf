#include "editor/event_table_model.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPixmap>

#include "editing/f_midi_event_pointer.h"
#include "editing/midi_names.h"
#include "editor/editor_document.h"

namespace swapp {

namespace {

const std::vector<ColumnInfo> kColumns = {
    {sw::FieldKey::Measure, "measure", "Measure", 90, false},
    {sw::FieldKey::Ticks, "ticks", "Ticks", 70, true},
    {sw::FieldKey::Beats, "beats", "Beats", 70, true},
    {sw::FieldKey::Frame, "frame", "Frame", 90, true},
    {sw::FieldKey::TrackPlusOne, "trackPlusOne", "Track", 50, false},
    {sw::FieldKey::ChannelOrIcon, "channelOrIcon", "Ch", 40, false},
    {sw::FieldKey::Status, "status", "Event", 130, false},
    {sw::FieldKey::Second, "second", "Second", 170, false},
    {sw::FieldKey::Third, "third", "Third", 220, false},
    {sw::FieldKey::NoteOnDuration, "noteOnDuration", "Duration", 70, true},
    {sw::FieldKey::DataString, "dataString", "Data", 220, false},
};

QIcon markerIcon(const QString& letter, const QColor& color) {
  QPixmap pixmap(14, 14);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(color);
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(0, 0, 14, 14), 3, 3);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(10);
  painter.setFont(font);
  painter.drawText(QRect(0, 0, 14, 14), Qt::AlignCenter, letter);
  return QIcon(pixmap);
}


QString numbered(int number, const std::string& name) {
  return QStringLiteral("%1 %2").arg(number, 2, 10, QLatin1Char('0')).arg(QString::fromStdString(name));
}

const int kDrumKitTags[] = {0, 8, 16, 24, 25, 32, 40, 48, 56, 127};

}  // namespace

EventTableModel::EventTableModel(EditorDocument& document, QObject* parent)
    : QAbstractTableModel(parent), document_(document), rows_(document.list().filteredCount()) {}

const std::vector<ColumnInfo>& EventTableModel::columns() { return kColumns; }

int EventTableModel::columnOf(sw::FieldKey key) {
  for (size_t c = 0; c < kColumns.size(); ++c)
    if (kColumns[c].key == key) return int(c);
  return -1;
}

bool EventTableModel::isLiveRow(int row) const {
  // Between a change of the list and the reload that follows it the view may still ask for
  // rows it knew: those past the list's end are empty.
  return row >= 0 && row < rows_ && row < document_.list().filteredCount();
}

int EventTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int EventTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(kColumns.size()); }

void EventTableModel::reload() {
  const int rows = document_.list().filteredCount();
  if (rows != rows_) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
  } else if (rows > 0) {
    emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1));
  }
}

CellKind EventTableModel::cellKind(int row, int column) const {
  if (!isLiveRow(row) || column < 0 || column >= columnCount()) return CellKind::Text;
  const sw::FMidiEventPointer pointer = document_.list().objectAtFilteredIndex(row);
  const int status = pointer.status();
  switch (kColumns[size_t(column)].key) {
    case sw::FieldKey::ChannelOrIcon: return status >= 0xF0 ? CellKind::Icon : CellKind::Text;
    case sw::FieldKey::Status: return CellKind::EventKind;
    case sw::FieldKey::Second:
      if (status == 0xFF) return CellKind::MetaKind;
      if (status == 0xB0) return CellKind::Controller;
      if (status == 0xC0) return pointer.isDrumPatch() ? CellKind::DrumKit : CellKind::Program;
      return CellKind::Text;
    default: return CellKind::Text;
  }
}

std::vector<std::pair<int, QString>> EventTableModel::popUpItems(CellKind kind) {
  std::vector<std::pair<int, QString>> items;
  switch (kind) {
    case CellKind::EventKind: {
      const auto& keys = sw::MidiNames::eventKeys();
      const auto& names = sw::MidiNames::eventNames();
      for (size_t i = 0; i < keys.size(); ++i) items.emplace_back(keys[i], QString::fromStdString(names[i]));
      break;
    }
    case CellKind::MetaKind: {
      const auto& keys = sw::MidiNames::metaEventKeys();
      const auto& names = sw::MidiNames::metaEventNames();
      for (size_t i = 0; i < keys.size(); ++i) items.emplace_back(keys[i], QString::fromStdString(names[i]));
      break;
    }
    case CellKind::Controller: {
      const auto& names = sw::MidiNames::controllers();
      for (size_t i = 0; i < names.size(); ++i) items.emplace_back(int(i), numbered(int(i), names[i]));
      break;
    }
    case CellKind::Program: {
      const auto& names = sw::MidiNames::gmNames();
      for (size_t i = 0; i < names.size(); ++i) items.emplace_back(int(i), numbered(int(i) + 1, names[i]));
      break;
    }
    case CellKind::DrumKit:
      for (int tag : kDrumKitTags)
        if (const char* name = sw::MidiNames::gmDrumName(tag)) items.emplace_back(tag, QString::fromUtf8(name));
      break;
    default: break;
  }
  return items;
}

QString EventTableModel::popUpTitle(CellKind kind, int tag) {
  for (const auto& [itemTag, title] : popUpItems(kind))
    if (itemTag == tag) return title;
  return QStringLiteral("unknown (%1)").arg(QString::number(tag, 16).toUpper());
}

int EventTableModel::tagOf(const sw::FMidiEventPointer& pointer, CellKind kind) const {
  if (kind == CellKind::EventKind) return pointer.status();
  return int(pointer.midiEvent()->second());
}

QString EventTableModel::cellText(int row, int column) const {
  if (!isLiveRow(row) || column < 0 || column >= columnCount()) return {};
  const CellKind kind = cellKind(row, column);
  const sw::FMidiEventPointer pointer = document_.list().objectAtFilteredIndex(row);
  switch (kind) {
    case CellKind::Icon: return {};
    case CellKind::Text:
      return QString::fromStdString(sw::fieldText(pointer.valueForKey(kColumns[size_t(column)].key)));
    default: return popUpTitle(kind, tagOf(pointer, kind));
  }
}

QVariant EventTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !isLiveRow(index.row())) return {};
  try {
    switch (role) {
      case Qt::DisplayRole: return cellText(index.row(), index.column());
      case Qt::EditRole: {
        const CellKind kind = cellKind(index.row(), index.column());
        if (kind == CellKind::Text) return cellText(index.row(), index.column());
        return tagOf(document_.list().objectAtFilteredIndex(index.row()), kind);
      }
      case TagRole: {
        const CellKind kind = cellKind(index.row(), index.column());
        return tagOf(document_.list().objectAtFilteredIndex(index.row()), kind);
      }
      case CellKindRole: return int(cellKind(index.row(), index.column()));
      case Qt::DecorationRole: {
        if (cellKind(index.row(), index.column()) != CellKind::Icon) return {};
        static const QIcon meta = markerIcon(QStringLiteral("M"), QColor(0x3a, 0x6e, 0xa5));
        static const QIcon sysex = markerIcon(QStringLiteral("S"), QColor(0xa5, 0x5a, 0x3a));
        return document_.list().objectAtFilteredIndex(index.row()).status() == 0xFF ? meta : sysex;
      }
      case Qt::ToolTipRole:
        if (cellKind(index.row(), index.column()) == CellKind::Icon)
          return document_.list().objectAtFilteredIndex(index.row()).status() == 0xFF ? tr("Meta event")
                                                                                       : tr("System exclusive");
        return {};
      case Qt::TextAlignmentRole: {
        const sw::FieldKey key = kColumns[size_t(index.column())].key;
        if (key == sw::FieldKey::TrackPlusOne || key == sw::FieldKey::ChannelOrIcon || key == sw::FieldKey::Ticks ||
            key == sw::FieldKey::Beats || key == sw::FieldKey::NoteOnDuration)
          return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
      }
      default: return {};
    }
  } catch (const std::exception&) {
    return role == Qt::DisplayRole ? QVariant(QStringLiteral("##%1##").arg(kColumns[size_t(index.column())].id)) : QVariant();
  }
}

QVariant EventTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
    return tr(kColumns[size_t(section)].title);
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags EventTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (!index.isValid() || !isLiveRow(index.row())) return flags;
  const sw::FMidiEventPointer pointer = document_.list().objectAtFilteredIndex(index.row());
  if (pointer.status() != 0x80 && pointer.isEditableKey(kColumns[size_t(index.column())].key))
    flags |= Qt::ItemIsEditable;
  return flags;
}

bool EventTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || !isLiveRow(index.row()) || role != Qt::EditRole) return false;
  if (document_.undoManager().isUndoing() || document_.undoManager().isRedoing()) return false;
  const int row = index.row();
  const sw::FieldKey key = kColumns[size_t(index.column())].key;
  const CellKind kind = cellKind(row, index.column());
  sw::FMidiEventPointer pointer = document_.list().objectAtFilteredIndex(row);
  if (pointer.status() == 0x80) return false;

  sw::FieldValue newValue;
  if (kind == CellKind::Text) {
    const QString text = value.toString();
    if (text == cellText(row, index.column())) return true;  // nothing changed
    newValue = text.toStdString();
  } else {
    bool ok = false;
    const int tag = value.toInt(&ok);
    if (!ok) return false;
    if (tag == tagOf(pointer, kind)) return true;
    newValue = int64_t(tag);
  }

  QString message;
  bool done = false;
  if ((key == sw::FieldKey::Status || key == sw::FieldKey::Second) && document_.operations().selection().count(row) &&
      document_.operations().selection().size() > 1) {
    done = setOnSelectedRows(row, key, newValue, &message);
  } else {
    std::string error;
    done = document_.operations().setValue(document_.list().wholeIndexAtIndex(row), key, newValue, &error);
    message = QString::fromStdString(error);
  }
  if (!done) emit validationFailed(index, message);
  return done;
}

bool EventTableModel::setOnSelectedRows(int row, sw::FieldKey key, const sw::FieldValue& value, QString* error) {
  sw::FEventList& list = document_.list();
  sw::EditOperations& operations = document_.operations();
  const int editedStatus = list.objectAtFilteredIndex(row).status();
  // Events are found again by ID: a change may re-create an event or add a note-off, which
  // moves the whole indexes of later events.
  struct Target {
    uint32_t eventID, ticks;
  };
  std::vector<Target> targets;
  for (int selected : operations.selection()) {
    if (selected < 0 || selected >= list.filteredCount()) continue;
    const sw::MidiEvent* event = list.eventAtIndex(list.wholeIndexAtIndex(selected));
    if (key == sw::FieldKey::Second && event->status() != editedStatus) continue;
    targets.push_back({event->eventID(), event->ticks()});
  }
  const sw::IndexSet keptSelection = operations.selection();
  sw::UndoManager& undo = document_.undoManager();
  undo.beginUndoGrouping();
  bool any = false;
  std::string firstError;
  int done = 0;
  for (const Target& target : targets) {
    if (progress_ && !progress_(done++, int(targets.size()))) break;
    const sw::IndexRange range = list.indexRangeAtTicks(target.ticks);
    int whole = -1;
    for (int i = range.location; i < range.location + range.length; ++i)
      if (list.eventAtIndex(i)->eventID() == target.eventID) whole = i;
    if (whole < 0) continue;
    std::string message;
    if (operations.setValue(whole, key, value, &message)) any = true;
    else if (firstError.empty()) firstError = message;
  }
  if (progress_) progress_(int(targets.size()), int(targets.size()));
  undo.setActionName("Change");
  undo.endUndoGrouping();
  operations.setSelection(keptSelection);
  if (!any) *error = QString::fromStdString(firstError);
  return any;
}

}  // namespace swapp
