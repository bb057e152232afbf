// The event table model against the engine, and the filter rules.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "editing/editor_strings.h"
#include "editing/f_midi_event_pointer.h"
#include "editing/midi_names.h"
#include "editing/pasteboard.h"
#include "editor/editor_document.h"
#include "editor/event_table_model.h"
#include "editor/filter_state.h"
#include "temp_dir.h"
#include "test_files.h"

using namespace swapp;

namespace {

int column(sw::FieldKey key) { return EventTableModel::columnOf(key); }

// The first row whose status (and second byte, when given) matches.
int rowOf(sw::FEventList& list, int status, int second = -1) {
  for (int row = 0; row < list.filteredCount(); ++row) {
    const sw::FMidiEventPointer p = list.objectAtFilteredIndex(row);
    if (p.status() == status && (second < 0 || p.midiEvent()->second() == second)) return row;
  }
  return -1;
}

}  // namespace

class EventTableModelTest : public QObject {
  Q_OBJECT

  swtest::TempDir dir_;
  sw::MemoryPasteboard pasteboard_;
  std::unique_ptr<EditorDocument> document_;
  std::unique_ptr<EventTableModel> model_;

  QString text(int row, sw::FieldKey key) { return model_->cellText(row, column(key)); }
  QModelIndex cell(int row, sw::FieldKey key) { return model_->index(row, column(key)); }

 private slots:
  void init() {
    document_ = std::make_unique<EditorDocument>(pasteboard_);
    QVERIFY(!document_->open(dir_.write("song.mid", apptest::song())));
    FilterState().applyTo(document_->list(), false);
    model_ = std::make_unique<EventTableModel>(*document_);
    document_->setChangeHandler([this] { model_->reload(); });
  }

  void rowsAndCellTexts() {
    sw::FEventList& list = document_->list();
    QCOMPARE(model_->rowCount(), list.filteredCount());
    QCOMPARE(model_->rowCount(), 12);  // note-offs hidden, End of Track events kept by the writer only
    const int note = rowOf(list, 0x90, 60);
    QCOMPARE(text(note, sw::FieldKey::Status), QStringLiteral("Note On"));
    QCOMPARE(text(note, sw::FieldKey::Second), QStringLiteral("C3"));
    QCOMPARE(text(note, sw::FieldKey::Third), QStringLiteral("100 064 480"));
    QCOMPARE(text(note, sw::FieldKey::Measure), QStringLiteral("001:01:000"));
    QCOMPARE(text(note, sw::FieldKey::TrackPlusOne), QStringLiteral("2"));
    QCOMPARE(text(note, sw::FieldKey::ChannelOrIcon), QStringLiteral("1"));
    QCOMPARE(text(note, sw::FieldKey::DataString), QStringLiteral("90 3C 64"));
    QCOMPARE(text(rowOf(list, 0x90, 62), sw::FieldKey::Measure), QStringLiteral("001:02:000"));

    // Pop-up cells show their item's title: programs 1-based, controllers 0-based.
    const int program = rowOf(list, 0xC0);
    QCOMPARE(model_->cellKind(program, column(sw::FieldKey::Second)), CellKind::Program);
    QCOMPARE(text(program, sw::FieldKey::Second), "01 " + QString::fromStdString(sw::MidiNames::gmNames()[0]));
    const int volume = rowOf(list, 0xB0, 7);
    QCOMPARE(model_->cellKind(volume, column(sw::FieldKey::Second)), CellKind::Controller);
    QCOMPARE(text(volume, sw::FieldKey::Second), "07 " + QString::fromStdString(sw::MidiNames::controllers()[7]));
    QCOMPARE(model_->data(cell(volume, sw::FieldKey::Second), EventTableModel::TagRole).toInt(), 7);

    // Meta events: a marker instead of a channel, the kind by name, an unnamed kind as unknown.
    const int name = rowOf(list, 0xFF, 0x03);
    QCOMPARE(model_->cellKind(name, column(sw::FieldKey::ChannelOrIcon)), CellKind::Icon);
    QVERIFY(!model_->data(cell(name, sw::FieldKey::ChannelOrIcon), Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(text(name, sw::FieldKey::Second), QStringLiteral("Track Name"));
    QCOMPARE(text(name, sw::FieldKey::Third), QStringLiteral("Conductor"));
    QCOMPARE(text(rowOf(list, 0xFF, 0x60), sw::FieldKey::Second), QStringLiteral("unknown (60)"));
    QCOMPARE(text(rowOf(list, 0xFF, 0x51), sw::FieldKey::Third), QStringLiteral("120"));
  }

  void editableCells() {
    sw::FEventList& list = document_->list();
    const int end = rowOf(list, 0xFF, 0x60);  // a meta type the editor cannot change
    QVERIFY(end >= 0);
    for (int c = 0; c < model_->columnCount(); ++c)
      QVERIFY(!(model_->flags(model_->index(end, c)) & Qt::ItemIsEditable));
    const int program = rowOf(list, 0xC0);
    QVERIFY(model_->flags(cell(program, sw::FieldKey::Second)) & Qt::ItemIsEditable);
    QVERIFY(!(model_->flags(cell(program, sw::FieldKey::Third)) & Qt::ItemIsEditable));
    QVERIFY(!(model_->flags(cell(program, sw::FieldKey::DataString)) & Qt::ItemIsEditable));
    // With note-offs shown, their rows stay read-only.
    FilterState().applyTo(list, true);
    model_->reload();
    const int off = rowOf(list, 0x80);
    QVERIFY(off >= 0);
    QVERIFY(!(model_->flags(cell(off, sw::FieldKey::Measure)) & Qt::ItemIsEditable));
    QVERIFY(!model_->setData(cell(off, sw::FieldKey::Measure), QStringLiteral("002:01:000")));
  }

  void editWithUndoAndRedo() {
    sw::FEventList& list = document_->list();
    const int note = rowOf(list, 0x90, 60);
    QVERIFY(model_->setData(cell(note, sw::FieldKey::Third), QStringLiteral("90 64 240")));
    QCOMPARE(text(note, sw::FieldKey::Third), QStringLiteral("090 064 240"));
    QVERIFY(document_->isModified());
    QCOMPARE(QString::fromStdString(document_->undoManager().undoActionName()), QStringLiteral("Change"));
    document_->undoManager().undo();
    QCOMPARE(text(rowOf(list, 0x90, 60), sw::FieldKey::Third), QStringLiteral("100 064 480"));
    QVERIFY(!document_->isModified());
    document_->undoManager().redo();
    QCOMPARE(text(rowOf(list, 0x90, 60), sw::FieldKey::Third), QStringLiteral("090 064 240"));

    // A pop-up choice: the tag of the chosen item.
    const int program = rowOf(list, 0xC0);
    QVERIFY(model_->setData(cell(program, sw::FieldKey::Second), 73));
    QCOMPARE(text(program, sw::FieldKey::Second), "74 " + QString::fromStdString(sw::MidiNames::gmNames()[73]));
  }

  void movingAnEventKeepsTheRowsRight() {
    sw::FEventList& list = document_->list();
    const int count = list.count();
    const int second = rowOf(list, 0x90, 62);
    QVERIFY(model_->setData(cell(second, sw::FieldKey::Measure), QStringLiteral("003:01:000")));
    const int moved = rowOf(list, 0x90, 62);
    QCOMPARE(text(moved, sw::FieldKey::Measure), QStringLiteral("003:01:000"));
    QCOMPARE(list.count(), count);  // the note-off moved along, none was lost
    document_->undoManager().undo();
    QCOMPARE(text(rowOf(list, 0x90, 62), sw::FieldKey::Measure), QStringLiteral("001:02:000"));
    QCOMPARE(model_->rowCount(), 12);
  }

  void refusedValuesSayWhy() {
    sw::FEventList& list = document_->list();
    QSignalSpy refused(model_.get(), &EventTableModel::validationFailed);
    const int volume = rowOf(list, 0xB0, 7);
    QVERIFY(!model_->setData(cell(volume, sw::FieldKey::ChannelOrIcon), QStringLiteral("17")));
    QVERIFY(!model_->setData(cell(rowOf(list, 0x90, 60), sw::FieldKey::Second), QStringLiteral("B8")));
    QVERIFY(!model_->setData(cell(volume, sw::FieldKey::Measure), QStringLiteral("001:09:000")));
    QCOMPARE(refused.count(), 3);
    QCOMPARE(refused.first().at(1).toString(), QString::fromStdString(sw::localizedString("INCORRECT_VALUE")));
    QCOMPARE(text(volume, sw::FieldKey::ChannelOrIcon), QStringLiteral("1"));
    QVERIFY(!document_->undoManager().canUndo());
    // The same value again changes nothing and registers nothing.
    QVERIFY(model_->setData(cell(volume, sw::FieldKey::ChannelOrIcon), QStringLiteral("1")));
    QVERIFY(!document_->undoManager().canUndo());
  }

  void kindChangeGoesToEverySelectedRow() {
    sw::FEventList& list = document_->list();
    const int volume = rowOf(list, 0xB0, 7), pan = rowOf(list, 0xB0, 10), note = rowOf(list, 0x90, 60);
    const int count = list.count();
    document_->operations().setSelection({volume, pan, note});
    QVERIFY(model_->setData(cell(volume, sw::FieldKey::Status), 0xD0));
    QCOMPARE(document_->undoManager().undoCount(), size_t(1));
    QCOMPARE(rowOf(list, 0xB0), -1);
    QCOMPARE(rowOf(list, 0x90, 60), -1);
    QCOMPARE(list.count(), count - 1);  // the note's note-off went with it
    document_->undoManager().undo();
    QCOMPARE(list.count(), count);
    QVERIFY(rowOf(list, 0xB0, 7) >= 0 && rowOf(list, 0xB0, 10) >= 0 && rowOf(list, 0x90, 60) >= 0);
    QCOMPARE(rowOf(list, 0xD0), -1);
  }

  void stoppingAManyRowChangeKeepsWhatWasDone() {
    sw::FEventList& list = document_->list();
    const int volume = rowOf(list, 0xB0, 7), pan = rowOf(list, 0xB0, 10), note = rowOf(list, 0x90, 60);
    document_->operations().setSelection({volume, pan, note});
    std::vector<std::pair<int, int>> calls;
    model_->setProgressHandler([&calls](int done, int total) {
      calls.emplace_back(done, total);
      return done < 1;  // stop before the second row
    });
    QVERIFY(model_->setData(cell(volume, sw::FieldKey::Status), 0xD0));
    QCOMPARE(calls.front(), std::make_pair(0, 3));
    QCOMPARE(calls.back(), std::make_pair(3, 3));  // the end is always told
    QVERIFY(rowOf(list, 0xD0) >= 0);
    QVERIFY(rowOf(list, 0xB0, 10) >= 0);
    QVERIFY(rowOf(list, 0x90, 60) >= 0);
    document_->undoManager().undo();
    QCOMPARE(rowOf(list, 0xD0), -1);
  }

  void secondChangeGoesToSelectedRowsOfTheSameKind() {
    sw::FEventList& list = document_->list();
    const int volume = rowOf(list, 0xB0, 7), pan = rowOf(list, 0xB0, 10), note = rowOf(list, 0x90, 60);
    document_->operations().setSelection({volume, pan, note});
    QVERIFY(model_->setData(cell(volume, sw::FieldKey::Second), 11));
    QCOMPARE(rowOf(list, 0xB0, 7), -1);
    QCOMPARE(rowOf(list, 0xB0, 10), -1);
    QVERIFY(rowOf(list, 0xB0, 11) >= 0);
    QVERIFY(rowOf(list, 0x90, 60) >= 0);  // another kind: unchanged
    // An unselected row changes alone.
    document_->operations().setSelection({});
    const int expression = rowOf(list, 0xB0, 11);
    QVERIFY(model_->setData(cell(expression, sw::FieldKey::Second), 1));
    QVERIFY(rowOf(list, 0xB0, 11) >= 0);
  }

  void filtersAndMasks() {
    FilterState state;
    state.click(FilterGroup::Channels, 9, true, false);  // Alt: only channel 10
    QCOMPARE(state.channelMask(), uint16_t(1u << 9));
    state.click(FilterGroup::Channels, 9, false, true);  // Ctrl: all but channel 10
    QCOMPARE(state.channelMask(), uint16_t(0xFFFF & ~(1u << 9)));
    state.click(FilterGroup::Channels, 3, true, true);  // both: all
    QCOMPARE(state.channelMask(), uint16_t(0xFFFF));
    state.click(FilterGroup::Channels, 3, false, false);  // plain click toggles
    QCOMPARE(state.channelMask(), uint16_t(0xFFFF & ~(1u << 3)));
    state.setAll(FilterGroup::Channels, false);
    QCOMPARE(state.channelMask(), uint16_t(0));

    // Note-offs stay hidden unless showNotesOff, whatever their button says.
    QCOMPARE(state.midiMask(false), uint16_t(0xFEFF));
    QCOMPARE(state.midiMask(true), uint16_t(0xFFFF));
    state.click(FilterGroup::Kinds, 3, false, false);  // control changes off
    QCOMPARE(state.midiMask(true), uint16_t(0xFFFF & ~(1u << 0xB)));

    // The last meta button stands for every type without a button of its own.
    FilterState meta;
    const auto& buttons = meta.buttons(FilterGroup::MetaKinds);
    meta.setSelected(FilterGroup::MetaKinds, int(buttons.size()) - 1, false);
    QCOMPARE(int(meta.metaMask()[0x60]), 0);
    QCOMPARE(int(meta.metaMask()[0x03]), 1);

    // Tracks: Alt shows only the clicked one among the file's tracks.
    meta.clickTrack(1, 2, true, false);
    QCOMPARE(int(meta.trackMask()[0]), 0);
    QCOMPARE(int(meta.trackMask()[1]), 1);
    meta.clickTrack(7, 2, true, false);  // outside the file: ignored
    QCOMPARE(int(meta.trackMask()[1]), 1);
  }

  void filtersOnTheList() {
    sw::FEventList& list = document_->list();
    FilterState state;
    state.setAll(FilterGroup::MetaKinds, false);
    state.setAll(FilterGroup::Kinds, false);
    state.applyTo(list, false);
    QCOMPARE(list.filteredCount(), 0);
    state.setAll(FilterGroup::Kinds, true);
    state.applyTo(list, false);
    QCOMPARE(list.filteredCount(), 5);  // program, two controls, two notes
    state.setAll(FilterGroup::MetaKinds, true);
    state.setSearch("C3");
    state.setSearchEventMask(sw::FEventList::kSearchSecond);
    state.applyTo(list, false);
    QCOMPARE(list.filteredCount(), 1);
    state.setSearch("");
    state.clickTrack(0, 2, true, false);
    state.applyTo(list, false);
    QCOMPARE(list.filteredCount(), 4);  // the conductor track's four meta events
    model_->reload();
    QCOMPARE(model_->rowCount(), 4);
  }

  void presetsRoundTrip() {
    sw::SettingsStore store(dir_.file("settings.plist"));
    FilterState saved;
    saved.click(FilterGroup::Channels, 9, true, false);
    saved.click(FilterGroup::Kinds, 1, false, true);
    saved.savePresets(store);
    FilterState loaded;
    loaded.loadPresets(store);
    QCOMPARE(loaded.channelMask(), saved.channelMask());
    QCOMPARE(loaded.midiMask(true), saved.midiMask(true));
    QCOMPARE(loaded.metaMask(), saved.metaMask());
  }

  void aMillionEventsAreVirtual() {
    // Building the rows must not cost anything per event: only visible rows are asked for.
    swtest::MidiFileBuilder file(0, 480);
    auto& track = file.track();
    for (int i = 0; i < 200000; ++i) track.control(1, 0, 7, uint8_t(i % 128));
    track.endOfTrack();
    EditorDocument big(pasteboard_);
    QVERIFY(!big.open(dir_.write("big.mid", file.bytes())));
    EventTableModel model(big);
    QCOMPARE(model.rowCount(), 200000);
    QElapsedTimer timer;
    timer.start();
    for (int row = 199000; row < 199050; ++row)
      for (int c = 0; c < model.columnCount(); ++c) model.data(model.index(row, c));
    qInfo("50 rows near the end of 200000 events: %lld ms", qint64(timer.elapsed()));
    QVERIFY(timer.elapsed() < 1000);
  }
};

int runEventTableModelTests(int argc, char** argv) {
  EventTableModelTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "event_table_model_test.moc"
