// The lyrics tab, the encoding pop-up and Convert to UTF-8 with its undo.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

#include "editor/editor_document.h"
#include "editor/editor_window.h"
#include "editor/encoding_combo_box.h"
#include "editor/encoding_selection_window.h"
#include "editor/lyrics_tab.h"
#include "smf/midi_event.h"
#include "temp_dir.h"
#include "test_files.h"
#include "text/encoding_manager.h"
#include "text/lyrics_extractor.h"

using namespace swapp;

namespace {

std::string metaText(sw::FEventList& list, uint8_t type, int nth = 0) {
  for (int i = 0; i < list.count(); ++i) {
    const sw::MidiEvent* event = list.eventAtIndex(i);
    if (event->isMeta(type) && nth-- == 0)
      return std::string(reinterpret_cast<const char*>(event->metaData()), event->metaDataSize());
  }
  return {};
}

int itemOf(EncodingComboBox& popUp, sw::StringEncoding encoding) {
  for (int i = 0; i < popUp.count(); ++i)
    if (popUp.itemData(i).isValid() && popUp.itemData(i).toUInt() == encoding) return i;
  return -1;
}

// Lets the window's deferred updates run.
void settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace

class LyricsEncodingTest : public QObject {
  Q_OBJECT

  swtest::TempDir dir_;

  std::unique_ptr<EditorWindow> openLatin(sw::StringEncoding encoding) {
    const std::string path = dir_.write("latin.kar", apptest::latinSong());
    auto document = std::make_unique<EditorDocument>(EditorWindow::pasteboard());
    if (document->open(path)) return {};
    document->setEncoding(encoding);
    document->undoManager().removeAllActions();
    document->undoManager().markClean();
    auto window = std::make_unique<EditorWindow>(std::move(document));
    window->tabs()->setCurrentWidget(window->lyricsTab());
    settle();
    return window;
  }

 private slots:
  void lyricsTabShowsTextOrMessage() {
    auto window = openLatin(sw::kISOLatin1StringEncoding);
    QVERIFY(window);
    window->tabs()->setCurrentWidget(window->lyricsTab());
    QCOMPARE(window->lyricsTab()->text(), QStringLiteral("Café au lait\nBonne nuit"));
    QVERIFY(!window->lyricsTab()->showsMessage());

    // Latin 1 bytes are no UTF-8: the message stands in for the text.
    window->document().setEncoding(sw::kUTF8StringEncoding);
    settle();
    QVERIFY(window->lyricsTab()->showsMessage());
    QCOMPARE(window->lyricsTab()->text(), QString::fromUtf8(EditorDocument::kLyricsUnreadable));

    // Changed while another tab is shown, the lyrics are read again when their tab comes back.
    window->tabs()->setCurrentIndex(0);
    window->document().undoManager().undo();
    settle();
    window->tabs()->setCurrentWidget(window->lyricsTab());
    QVERIFY(!window->lyricsTab()->showsMessage());
    QCOMPARE(window->lyricsTab()->text(), QStringLiteral("Café au lait\nBonne nuit"));

    // A file without lyrics shows nothing, and no message.
    EditorWindow empty;
    empty.tabs()->setCurrentWidget(empty.lyricsTab());
    settle();
    QCOMPARE(empty.lyricsTab()->text(), QString());
    QVERIFY(!empty.lyricsTab()->showsMessage());
  }

  void lyricsPrintToPdf() {
    auto window = openLatin(sw::kISOLatin1StringEncoding);
    QVERIFY(window);
    window->lyricsTab()->loadLyrics();
    const std::string pdf = dir_.path() + "/lyrics.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    window->lyricsTab()->print(printer);
    QVERIFY(std::filesystem::exists(pdf));
    QVERIFY(std::filesystem::file_size(pdf) > 500);
  }

  void popUpChangesTheDecodedTextsWithUndo() {
    auto window = openLatin(sw::kISOLatin1StringEncoding);
    QVERIFY(window);
    EncodingComboBox& popUp = *window->encodingPopUp();
    QCOMPARE(popUp.encoding(), sw::kISOLatin1StringEncoding);
    QCOMPARE(popUp.itemText(popUp.convertItemIndex()), QStringLiteral("Convert to UTF-8"));
    // The pop-up says what it is for: a label beside it, which gives it the focus.
    const QLabel* label = nullptr;
    for (const QLabel* candidate : window->findChildren<QLabel*>())
      if (candidate->buddy() == &popUp) label = candidate;
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Encoding:"));
    QVERIFY(label->isVisibleTo(window.get()));

    const int utf8 = itemOf(popUp, sw::kUTF8StringEncoding);
    QVERIFY(utf8 >= 0);
    popUp.choose(utf8);
    settle();
    QCOMPARE(window->document().encoding(), sw::kUTF8StringEncoding);
    QVERIFY(window->lyricsTab()->showsMessage());
    QVERIFY(window->document().isModified());

    window->document().undoManager().undo();
    settle();
    QCOMPARE(window->document().encoding(), sw::kISOLatin1StringEncoding);
    QCOMPARE(popUp.encoding(), sw::kISOLatin1StringEncoding);
    QVERIFY(!window->lyricsTab()->showsMessage());

    // The customise item opens the selection window and leaves the encoding selected.
    const int customize = popUp.convertItemIndex() - 1;
    popUp.choose(customize);
    settle();
    QCOMPARE(popUp.currentIndex(), itemOf(popUp, sw::kISOLatin1StringEncoding));
    QCOMPARE(window->document().encoding(), sw::kISOLatin1StringEncoding);
    EncodingSelectionWindow* selection = EncodingSelectionWindow::showWindow();
    QVERIFY(selection->isVisible());
    selection->hide();
  }

  void convertToUTF8RewritesTextsInOneUndo() {
    auto window = openLatin(sw::kISOLatin1StringEncoding);
    QVERIFY(window);
    sw::FEventList& list = window->document().list();
    window->encodingPopUp()->choose(window->encodingPopUp()->convertItemIndex());
    settle();
    QCOMPARE(metaText(list, 0x03), std::string("Chanson d'\xC3\xA9t\xC3\xA9"));
    QCOMPARE(metaText(list, 0x05), std::string("Caf\xC3\xA9 "));
    QCOMPARE(metaText(list, 0x05, 1), std::string("au "));  // already UTF-8: left alone
    QCOMPARE(window->document().encoding(), sw::kUTF8StringEncoding);
    QCOMPARE(window->encodingPopUp()->encoding(), sw::kUTF8StringEncoding);
    QCOMPARE(window->lyricsTab()->text(), QStringLiteral("Café au lait\nBonne nuit"));

    window->document().undoManager().undo();
    settle();
    QVERIFY(!window->document().undoManager().canUndo());
    QCOMPARE(metaText(list, 0x03), std::string("Chanson d'\xE9t\xE9"));
    QCOMPARE(metaText(list, 0x05), std::string("Caf\xE9 "));
    QCOMPARE(window->document().encoding(), sw::kISOLatin1StringEncoding);
    QCOMPARE(window->lyricsTab()->text(), QStringLiteral("Café au lait\nBonne nuit"));

    window->document().undoManager().redo();
    settle();
    QCOMPARE(metaText(list, 0x05), std::string("Caf\xC3\xA9 "));
    QCOMPARE(window->document().encoding(), sw::kUTF8StringEncoding);

    // Already UTF-8: nothing changes but the encoding.
    const size_t undoCount = window->document().undoManager().undoCount();
    QVERIFY(!window->document().convertToUTF8());
    QCOMPARE(metaText(list, 0x05), std::string("Caf\xC3\xA9 "));
    QCOMPARE(window->document().undoManager().undoCount(), undoCount);
  }

  void convertStopsAtATextThatDoesNotDecode() {
    // 0x81 is no character in Shift JIS alone: the text cannot be decoded.
    swtest::MidiFileBuilder file(1, 480);
    file.track().text(0, 0x01, "ok \xE9").text(0, 0x05, "\x81").noteOn(0, 0, 60, 90).noteOff(480, 0, 60).endOfTrack();
    const std::string path = dir_.write("bad.mid", file.bytes());
    EditorDocument document(EditorWindow::pasteboard());
    QVERIFY(!document.open(path));
    const sw::StringEncoding shiftJIS = sw::encodingFromName("shift_jis");
    QVERIFY(shiftJIS != sw::kNoEncoding);
    document.setEncoding(shiftJIS);
    const size_t undoCount = document.undoManager().undoCount();
    sw::Error failed = document.convertToUTF8();
    QVERIFY(failed);
    QVERIFY(QString::fromStdString(failed.message).startsWith(EditorDocument::kConvertFailed));
    QCOMPARE(metaText(document.list(), 0x01), std::string("ok \xE9"));
    QCOMPARE(document.encoding(), shiftJIS);
    QCOMPARE(document.undoManager().undoCount(), undoCount);
  }

  void selectionWindowEditsEveryPopUpsList() {
    sw::EncodingManager& manager = sw::EncodingManager::sharedInstance();
    manager.revertToDefault();
    auto window = openLatin(sw::kISOLatin1StringEncoding);
    QVERIFY(window);
    EncodingComboBox& popUp = *window->encodingPopUp();
    const sw::StringEncoding shiftJIS = sw::encodingFromName("shift_jis");
    QCOMPARE(itemOf(popUp, shiftJIS), -1);

    EncodingSelectionWindow* selection = EncodingSelectionWindow::showWindow();
    settle();
    QListWidget* boxes = selection->list();
    QListWidgetItem* box = nullptr;
    for (int row = 0; row < boxes->count(); ++row)
      if (boxes->item(row)->data(Qt::UserRole).toUInt() == shiftJIS) box = boxes->item(row);
    QVERIFY(box);
    box->setCheckState(Qt::Checked);
    settle();
    QVERIFY(itemOf(popUp, shiftJIS) >= 0);
    QCOMPARE(popUp.encoding(), sw::kISOLatin1StringEncoding);  // the selection stays

    manager.revertToDefault();
    settle();
    QCOMPARE(itemOf(popUp, shiftJIS), -1);
    QCOMPARE(box->checkState(), Qt::Unchecked);
    selection->hide();
  }
};

int runLyricsEncodingTests(int argc, char** argv) {
  LyricsEncodingTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "lyrics_encoding_test.moc"
