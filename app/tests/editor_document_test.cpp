// The document's file operations and attributes, the clipboard and the window's column layout.
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>
#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMimeData>
#include <QTableView>
#include <QRandomGenerator>
#include <QTest>

#include <filesystem>

#include "adapters/engine_adapters.h"
#include "dialogs/edit_dialogs.h"
#include "base/plist_attribute.h"
#include "base/xattr.h"
#include "editing/f_midi_event_pointer.h"
#include "editor/editor_document.h"
#include "editor/editor_window.h"
#include "editor/event_table_model.h"
#include "library/file_information.h"
#include "base/settings_store.h"
#include "text/encoding_guess.h"
#include "text/encoding_manager.h"
#include "text/text_conversion.h"
#include "temp_dir.h"
#include "test_files.h"

using namespace swapp;

namespace {

int rowOf(sw::FEventList& list, int status, int second) {
  for (int row = 0; row < list.filteredCount(); ++row) {
    const sw::FMidiEventPointer p = list.objectAtFilteredIndex(row);
    if (p.status() == status && p.midiEvent()->second() == second) return row;
  }
  return -1;
}

// Changes the velocity of note C3 through the engine, as the table does.
bool editVelocity(EditorDocument& document, const std::string& third) {
  const int row = rowOf(document.list(), 0x90, 60);
  return document.operations().setValue(document.list().wholeIndexAtIndex(row), sw::FieldKey::Third, third);
}

bool attributesSupported(const std::string& path) {
  return sw::xattr::set(path, "scorewell.test", {1}) == sw::noErr;
}

}  // namespace

class EditorDocumentTest : public QObject {
  Q_OBJECT

  swtest::TempDir dir_;
  sw::MemoryPasteboard pasteboard_;

 private slots:
  void openEditSaveReopen() {
    const std::string path = dir_.write("save.mid", apptest::song());
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(path));
    QVERIFY(editVelocity(document, "90 64 480"));
    QVERIFY(document.isModified());
    QVERIFY(!document.save());
    QVERIFY(!document.isModified());
    QVERIFY(!document.undoManager().canUndo());
    QCOMPARE(sw::readNumberAttribute(path, kEncodingAttribute).value_or(-1), int64_t(document.list().encoding()));

    // The bytes are those of the same song written with velocity 90.
    swtest::Bytes expected = apptest::song();
    const swtest::Bytes original = expected;
    for (size_t i = 0; i + 2 < expected.size(); ++i)
      if (expected[i] == 0x90 && expected[i + 1] == 60 && expected[i + 2] == 100) expected[i + 2] = 90;
    QVERIFY(expected != original);
    EditorDocument reference(pasteboard_);
    QVERIFY(!reference.open(dir_.write("expected.mid", expected)));
    QCOMPARE(swtest::TempDir::read(path), reference.list().dataRepresentation());

    EditorDocument reopened(pasteboard_);
    QVERIFY(!reopened.open(path));
    const int row = rowOf(reopened.list(), 0x90, 60);
    QCOMPARE(reopened.list().objectAtFilteredIndex(row).midiEvent()->third(), uint8_t(90));
  }

  // A few kana syllables: too little text for the detector, still Shift JIS to the guess
  // that info and the batch commands make. The editor takes the same encoding.
  void openResolvesTheEncodingAsTheOtherFrontEnds() {
    auto sjis = [](const std::string& utf8) {
      std::string bytes;
      sw::convertFromUTF8(utf8, sw::kShiftJISStringEncoding, bytes, sw::ConversionMode::Strict);
      return bytes;
    };
    swtest::MidiFileBuilder file(1, 480);
    auto& t = file.track();
    t.text(0, 0x01, "@KMIDI KARAOKE FILE").text(0, 0x01, "@T" + sjis("さくら"));
    for (const char* syllable : {"はる", "の", "お", "がわ", "は"}) t.text(120, 0x01, sjis(syllable));
    t.noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack();
    const std::string path = dir_.write("sakura.kar", file.bytes());
    QCOMPARE(sw::fileInformation(path).encoding.encoding, sw::kShiftJISStringEncoding);
    sw::SettingsStore& store = sw::SettingsStore::shared();
    const auto kept = store.userValueForKey("tryToDetectTextEncoding");
    QCOMPARE(store.setBool("tryToDetectTextEncoding", true), sw::noErr);
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(path));
    QCOMPARE(document.list().encoding(), uint32_t(sw::kShiftJISStringEncoding));

    // Without detection the default answers.
    QCOMPARE(store.setBool("tryToDetectTextEncoding", false), sw::noErr);
    EditorDocument plain(pasteboard_);
    QVERIFY(!plain.open(path));
    QCOMPARE(plain.list().encoding(),
             uint32_t(sw::encodingForGuess(sw::kNoEncoding, sw::EncodingManager::defaultStringEncoding())));
    if (kept) store.setObject("tryToDetectTextEncoding", *kept);
    else store.removeObjectForKey("tryToDetectTextEncoding");
  }

  void aFileThatDoesNotReadOpensNothing() {
    EditorDocument document(pasteboard_);
    const sw::Error missing = document.open(dir_.file("missing.mid"));
    QCOMPARE(missing.status, sw::fnfErr);
    QCOMPARE(missing.path, dir_.file("missing.mid"));
    QVERIFY(!missing.message.empty());
    const std::string junk = dir_.write("junk.mid", {'h', 'e', 'l', 'l', 'o'});
    const sw::Error notMidi = document.open(junk);
    QVERIFY(notMidi.status != sw::noErr);
    QCOMPARE(notMidi.path, junk);
    QVERIFY(document.isUntitled());  // still the empty document
  }

  void saveLeavesAVanishedFileAlone() {
    const std::string path = dir_.write("vanish.mid", apptest::song());
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(path));
    QVERIFY(editVelocity(document, "90 64 480"));
    std::filesystem::remove(path);
    const sw::Error error = document.save();
    QCOMPARE(error.status, sw::fnfErr);
    QVERIFY(!std::filesystem::exists(path));  // not re-created
    QVERIFY(document.isModified());
  }

  void saveLeavesAReadOnlyFileAlone() {
    const std::string path = dir_.write("locked.mid", apptest::song());
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(path));
    QVERIFY(editVelocity(document, "90 64 480"));
    ::chmod(path.c_str(), 0444);
    const sw::Error error = document.save();
    ::chmod(path.c_str(), 0644);
    QVERIFY(error.status != sw::noErr);
    QCOMPARE(swtest::TempDir::read(path), apptest::song());
    QVERIFY(document.isModified());
    // Save As over another read-only file leaves it alone too.
    const std::string other = dir_.write("locked-other.mid", {'M', 'T', 'h', 'd'});
    ::chmod(other.c_str(), 0444);
    QVERIFY(document.saveAs(other, DocumentType::MidiFile).status != sw::noErr);
    QVERIFY(document.saveAs(other, DocumentType::TextFile).status != sw::noErr);
    ::chmod(other.c_str(), 0644);
    QCOMPARE(swtest::TempDir::read(other), swtest::Bytes({'M', 'T', 'h', 'd'}));
    QCOMPARE(document.path(), path);
  }

  void saveAsTextWritesTheLyrics() {
    const std::string path = dir_.write("lyrics.mid", apptest::song());
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(path));
    const std::string text = dir_.file("lyrics.txt");
    QVERIFY(!document.saveAs(text, DocumentType::TextFile));
    const swtest::Bytes bytes = swtest::TempDir::read(text);
    const std::string lyrics(bytes.begin(), bytes.end());
    QVERIFY(lyrics.find("Hel") != std::string::npos);
    QVERIFY(lyrics.find("lo") != std::string::npos);
    QCOMPARE(document.path(), path);  // the document stays on its MIDI file
  }

  void revertForgetsTheChanges() {
    const std::string path = dir_.write("revert.mid", apptest::song());
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(path));
    const int rows = document.list().filteredCount();
    QVERIFY(editVelocity(document, "1 64 480"));
    QVERIFY(!document.revert());
    QVERIFY(!document.isModified());
    QCOMPARE(document.list().filteredCount(), rows);
    QCOMPARE(document.list().objectAtFilteredIndex(rowOf(document.list(), 0x90, 60)).midiEvent()->third(), uint8_t(100));
  }

  void removeEmptyTracksIsUndoable() {
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(dir_.write("tracks.mid", apptest::song())));
    document.list().setNumTracks(5);
    QVERIFY(document.removeEmptyTracks());
    QCOMPARE(int(document.list().numTracks()), 2);
    QCOMPARE(QString::fromStdString(document.undoManager().undoActionName()), QStringLiteral("Remove Empty Tracks"));
    document.undoManager().undo();
    QCOMPARE(int(document.list().numTracks()), 5);
    QVERIFY(!document.removeEmptyTracks() || document.list().numTracks() == 2);
  }

  void windowStateAttributes() {
    const std::string path = dir_.write("state.mid", apptest::song());
    if (!attributesSupported(path)) QSKIP("no extended attributes here");
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(path));
    QVERIFY(!document.savedFrame());
    const WindowFrame frame{10, 20, 800, 500};
    const std::vector<ColumnState> columns = {{"measure", "Measure", 95, false},
                                              {"ticks", "Ticks", 60, false},
                                              {"dataString", "Data", 220, true}};
    QVERIFY(!document.saveWindowState(frame, columns));
    auto frameValue = sw::attributeValue(path, kWindowFrameAttribute);
    QVERIFY(frameValue && frameValue->isString());
    QCOMPARE(QString::fromStdString(frameValue->stringValue()), QStringLiteral("10 20 800 500"));
    EditorDocument reopened(pasteboard_);
    QVERIFY(!reopened.open(path));
    QCOMPARE(*reopened.savedFrame(), frame);
    QCOMPARE(*reopened.savedColumns(), columns);
    // Damaged values read as nothing.
    QVERIFY(!sw::setAttributeData(path, kWindowFrameAttribute, {'x'}));
    QVERIFY(!WindowStateStore::readFrame(path));
  }

  void windowKeepsTheColumnLayout() {
    const std::string path = dir_.write("window.mid", apptest::song());
    if (!attributesSupported(path)) QSKIP("no extended attributes here");
    auto document = std::make_unique<EditorDocument>(EditorWindow::pasteboard());
    QVERIFY(!document->open(path));
    {
      EditorWindow window(std::move(document));
      window.setColumnsState({{"ticks", "Ticks", 77, false},
                              {"measure", "Measure", 90, false},
                              {"nonsense", "?", 10, false},
                              {"third", "Third", 100, true}});
      const std::vector<ColumnState> state = window.columnsState();
      QCOMPARE(state.front().id, std::string("ticks"));
      QCOMPARE(state.front().width, 77);
      QCOMPARE(state[1].id, std::string("measure"));
      QVERIFY(window.table()->horizontalHeader()->isSectionHidden(EventTableModel::columnOf(sw::FieldKey::Third)));
      QCOMPARE(state.back().hidden, true);
      QVERIFY(window.close());  // unmodified: no question, the layout is written
    }
    const auto columns = WindowStateStore::readColumns(path);
    QVERIFY(columns && !columns->empty());
    QCOMPARE(columns->front().id, std::string("ticks"));
    QVERIFY(WindowStateStore::readFrame(path).has_value());
  }

  // Every dialog builds and draws; with SCOREWELL_SCREENSHOT_DIR set, each is saved as a PNG
  // there (scripts/screenshots.sh).
  void dialogsRender() {
    EditorDocument document(pasteboard_);
    QVERIFY(!document.open(dir_.write("dialogs.mid", apptest::song())));
    sw::EditOperations& operations = document.operations();
    const PositionParser parser = [&operations](const std::string& text, std::string* error) {
      return operations.ticksForNewTime(text, error);
    };
    const int note = rowOf(document.list(), 0x90, 60);
    operations.setSelection({note});
    operations.copy();
    const auto plan = operations.pastePlan();
    QVERIFY(plan);
    PasteOptionsDialog paste(*plan, document.list().numTracks(), operations.measureText(plan->position), parser);
    ShiftDialog shift(operations.measureText(480), parser);
    MultipleSelectionDialog edit(document.list().objectAtFilteredIndex(note), 3, true);
    const QString folder = qEnvironmentVariable("SCOREWELL_SCREENSHOT_DIR");
    const std::pair<QDialog*, const char*> dialogs[] = {{&paste, "paste-options"}, {&shift, "shift"}, {&edit, "change-selected"}};
    for (const auto& [dialog, name] : dialogs) {
      dialog->show();
      QVERIFY(QTest::qWaitForWindowExposed(dialog));
      const QPixmap pixmap = dialog->grab();
      QVERIFY(!pixmap.isNull());
      if (!folder.isEmpty()) pixmap.save(folder + "/" + name + ".png", "PNG");
    }
    // A position that is none keeps the dialog open.
    shift.findChild<QLineEdit*>()->setText(QStringLiteral("nonsense"));
    shift.accept();
    QVERIFY(shift.isVisible());
    QCOMPARE(shift.result(), int(QDialog::Rejected));
    // A refused field keeps the editor open and nothing is applied.
    edit.findChildren<QCheckBox*>().at(1)->setChecked(true);
    edit.findChildren<QLineEdit*>().at(1)->setText(QStringLiteral("17"));
    edit.accept();
    QVERIFY(edit.isVisible());
  }

  void windowSelectionFollowsEdits() {
    auto document = std::make_unique<EditorDocument>(pasteboard_);
    QVERIFY(!document->open(dir_.write("selection.mid", apptest::song())));
    EditorWindow window(std::move(document));
    EditorDocument& doc = window.document();
    QCOMPARE(window.model().rowCount(), doc.list().filteredCount());
    const int note = rowOf(doc.list(), 0x90, 60);
    window.table()->selectRow(note);
    QCOMPARE(doc.operations().selection(), sw::IndexSet({note}));
    const int rows = window.model().rowCount();
    doc.operations().duplicate();
    QCoreApplication::processEvents();  // the window reloads after the edit
    QCOMPARE(window.model().rowCount(), rows + 1);
    const QModelIndexList selected = window.table()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(sw::IndexSet({selected.first().row()}), doc.operations().selection());
    QAction* undo = nullptr;
    for (QAction* action : window.findChildren<QAction*>())
      if (action->text().startsWith(QStringLiteral("&Undo"))) undo = action;
    QVERIFY(undo && undo->isEnabled());
    QVERIFY(undo->text().size() > QStringLiteral("&Undo ").size());  // with the action's name
    undo->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(window.model().rowCount(), rows);
    // Filters hide rows at once; a kind's button hides its events.
    window.filterState().setAll(FilterGroup::Kinds, false);
    window.applyFilters();
    QCOMPARE(window.model().rowCount(), 7);  // the seven meta events
    QVERIFY(doc.operations().selection().empty());
    doc.undoManager().markClean();  // closing asks no question
  }

  // Random sequences of the window's commands, cell edits and filter changes never crash, and
  // the table always matches the list afterwards; undoing everything gives the file back.
  void randomCommandSequences() {
    const std::string path = dir_.write("random.mid", apptest::song());
    auto document = std::make_unique<EditorDocument>(EditorWindow::pasteboard());
    QVERIFY(!document->open(path));
    EditorWindow window(std::move(document));
    EditorDocument& doc = window.document();
    const std::vector<uint8_t> original = doc.list().dataRepresentation();
    const QStringList commands = {"Cu&t", "&Copy", "&Paste", "&Delete", "D&uplicate", "&Insert Note", "Select &All"};
    std::vector<QAction*> actions;
    for (QAction* action : window.findChildren<QAction*>())
      if (commands.contains(action->text())) actions.push_back(action);
    QCOMPARE(actions.size(), size_t(commands.size()));
    const QStringList texts = {"",        "0",          "17",     "C3",       "xx",          "001:02:000", "999:01:000",
                               "-5",      "1",          "2",      "F0 41 F7", "100 064 480", "4/4",       "120",
                               "FF 7F 1", "[1]x",       "Cb3",    "B8",       "90 3C"};
    const int seed = qEnvironmentVariableIsSet("SCOREWELL_APP_SEED") ? qEnvironmentVariableIntValue("SCOREWELL_APP_SEED") : 20261207;
    QRandomGenerator random{quint32(seed)};
    for (int step = 0; step < 400; ++step) {
      const int rows = window.model().rowCount();
      switch (random.bounded(5)) {
        case 0: {
          QAction* action = actions[random.bounded(int(actions.size()))];
          if (action->isEnabled()) action->trigger();
          break;
        }
        case 1:
          if (rows > 0) {
            const QModelIndex cell = window.model().index(random.bounded(rows), random.bounded(window.model().columnCount()));
            const auto kind = CellKind(cell.data(EventTableModel::CellKindRole).toInt());
            if (kind == CellKind::Text) window.model().setData(cell, texts[random.bounded(int(texts.size()))]);
            else window.model().setData(cell, int(random.bounded(300)) - 20);
          }
          break;
        case 2:
          if (rows > 0) {
            const int first = random.bounded(rows);
            window.table()->selectionModel()->select(
                QItemSelection(window.model().index(first, 0),
                               window.model().index(std::min(rows - 1, first + random.bounded(4)), 0)),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
          }
          break;
        case 3: {
          const auto group = FilterGroup(random.bounded(3));
          const int count = int(window.filterState().buttons(group).size());
          window.filterState().click(group, random.bounded(count), random.bounded(2), random.bounded(2));
          if (random.bounded(4) == 0) window.filterState().setAll(group, true);
          window.applyFilters();
          break;
        }
        default:
          if (random.bounded(2) && doc.undoManager().canUndo()) doc.undoManager().undo();
          else if (doc.undoManager().canRedo()) doc.undoManager().redo();
          break;
      }
      QCoreApplication::processEvents();
      QCOMPARE(window.model().rowCount(), doc.list().filteredCount());
    }
    while (doc.undoManager().canUndo()) doc.undoManager().undo();
    QCoreApplication::processEvents();
    QCOMPARE(doc.list().dataRepresentation(), original);
    doc.undoManager().markClean();
  }

  // The pop-up editors of the table: programs by group with a sub-menu of eight each, names
  // for controllers. Events are not processed here: the editors open their pop-up at once.
  void popUpEditors() {
    auto document = std::make_unique<EditorDocument>(pasteboard_);
    QVERIFY(!document->open(dir_.write("popups.mid", apptest::song())));
    EditorWindow window(std::move(document));
    EditorDocument& doc = window.document();
    const int secondColumn = EventTableModel::columnOf(sw::FieldKey::Second);

    const QModelIndex program = window.model().index(rowOf(doc.list(), 0xC0, 0), secondColumn);
    window.table()->edit(program);
    auto* picker = qobject_cast<QToolButton*>(window.table()->indexWidget(program));
    QVERIFY(picker && picker->menu());
    const QList<QAction*> groups = picker->menu()->actions();
    QCOMPARE(groups.size(), 16);
    QVERIFY(groups[1]->menu());
    QCOMPARE(groups[1]->menu()->actions().size(), 8);
    groups[1]->menu()->actions()[3]->trigger();  // the fourth program of the second group
    QVERIFY(rowOf(doc.list(), 0xC0, 11) >= 0);

    const QModelIndex volume = window.model().index(rowOf(doc.list(), 0xB0, 7), secondColumn);
    window.table()->edit(volume);
    auto* names = qobject_cast<QComboBox*>(window.table()->indexWidget(volume));
    QVERIFY(names);
    QCOMPARE(names->count(), 128);
    QCOMPARE(names->currentData().toInt(), 7);
    names->setCurrentIndex(names->findData(11));
    emit names->activated(names->currentIndex());
    QVERIFY(rowOf(doc.list(), 0xB0, 11) >= 0);
    doc.undoManager().markClean();
  }

  void clipboardRoundTrip() {
    ClipboardPasteboard clipboard;
    EditorDocument source(clipboard), target(clipboard);
    QVERIFY(!source.open(dir_.write("from.mid", apptest::song())));
    QVERIFY(!target.open(dir_.write("to.mid", apptest::song())));
    const int first = rowOf(source.list(), 0x90, 60), second = rowOf(source.list(), 0x90, 62);
    source.operations().setSelection({first, second});
    source.operations().copy();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QVERIFY(mime);
    QVERIFY(mime->hasFormat(kEventCollectionMimeType));
    QVERIFY(mime->hasFormat(QStringLiteral("text/tab-separated-values")));
    const QString text = mime->text();
    QCOMPARE(text.count('\n'), 1);  // two rows
    QVERIFY(text.contains('\t'));
    QVERIFY(text.contains(QStringLiteral("C3")));

    const int before = target.list().count();
    target.operations().setSelection({});
    QVERIFY(target.operations().paste());
    QCOMPARE(target.list().count(), before + 4);  // two notes and their note-offs
    QVERIFY(target.undoManager().canUndo());
    target.undoManager().undo();
    QCOMPARE(target.list().count(), before);

    // Bytes on the clipboard that are no collection paste nothing.
    auto* junk = new QMimeData;
    junk->setData(kEventCollectionMimeType, QByteArray("not a plist"));
    QGuiApplication::clipboard()->setMimeData(junk);
    QVERIFY(!target.operations().pastePlan());
  }
};

int runEditorDocumentTests(int argc, char** argv) {
  EditorDocumentTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "editor_document_test.moc"
