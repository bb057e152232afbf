// The transport of the editor window (through a recording output), the karaoke view's
// highlighted syllable, and click sequences during playback.
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTest>

#include "editing/f_midi_event_pointer.h"
#include "editor/editor_document.h"
#include "editor/editor_window.h"
#include "editor/encoding_combo_box.h"
#include "editor/filter_state.h"
#include "playback/midi_player_controller.h"
#include "recording_output.h"
#include "temp_dir.h"
#include "test_files.h"
#include "transport/karaoke_view.h"
#include "transport/transport_bar.h"

using namespace swapp;

namespace {

int rowOfNote(sw::FEventList& list, int key) {
  for (int row = 0; row < list.filteredCount(); ++row) {
    const sw::FMidiEventPointer p = list.objectAtFilteredIndex(row);
    if (p.status() == 0x90 && p.midiEvent()->second() == key) return row;
  }
  return -1;
}

}  // namespace

class TransportTest : public QObject {
  Q_OBJECT

  swtest::TempDir dir_;

  EditorWindow* open(const swtest::Bytes& bytes, const std::string& name) {
    const std::string path = dir_.write(name, bytes);
    EditorWindow* window = EditorWindow::openFile(QString::fromStdString(path));
    if (window) QCoreApplication::processEvents();
    return window;
  }

 private slots:
  void init() { apptest::recording()->clear(); }

  void karaokeHighlightsTheSyllableAtEachTime() {
    std::unique_ptr<EditorWindow> window(open(apptest::latinSong(), "karaoke.kar"));
    QVERIFY(window);
    window->tabs()->setCurrentWidget(window->karaokeView());
    KaraokeView& view = *window->karaokeView();
    QVERIFY(view.hasLyrics());
    QCOMPARE(view.lines().size(), 2);
    QCOMPARE(view.lines()[0].text, QStringLiteral("Café au lait"));
    QCOMPARE(view.lines()[1].text, QStringLiteral("Bonne nuit"));

    view.setTicks(-1);  // before the song
    QCOMPARE(view.currentLine(), -1);
    QCOMPARE(view.highlightedText(), QString());
    view.setTicks(0);
    QCOMPARE(view.highlightedText(), QStringLiteral("Café "));
    QCOMPARE(view.currentLine(), 0);
    view.setTicks(479);
    QCOMPARE(view.highlightedText(), QStringLiteral("Café "));
    // Two syllables sung at the same time light up together; the line break is not shown.
    view.setTicks(480);
    QCOMPARE(view.highlightedText(), QStringLiteral("au lait"));
    view.setTicks(1000);
    QCOMPARE(view.highlightedText(), QStringLiteral("Bonne"));
    QCOMPARE(view.currentLine(), 1);
    view.setTicks(100000);  // past the end: the last syllable stays
    QCOMPARE(view.highlightedText(), QStringLiteral(" nuit"));

    // Chords stand over the syllable sung at their time.
    swtest::MidiFileBuilder chorded(1, 480);
    chorded.track()
        .text(0, 0x05, "%C")
        .text(0, 0x05, "Sing ")
        .text(240, 0x05, "a\r")
        .text(240, 0x05, "%G7")
        .text(0, 0x05, "song")
        .noteOn(0, 0, 60, 90)
        .noteOff(480, 0, 60)
        .endOfTrack();
    sw::OSStatus status = sw::noErr;
    const sw::MidiSequence sequence(dir_.write("chords.kar", chorded.bytes()), 0, &status);
    QCOMPARE(status, sw::noErr);
    KaraokeView withChords;
    withChords.setSequence(sequence, sw::kUTF8StringEncoding);
    QCOMPARE(withChords.lines().size(), 2);
    QCOMPARE(withChords.lines()[0].text, QStringLiteral("Sing a"));
    QCOMPARE(withChords.lines()[0].chords.size(), 1);
    QCOMPARE(withChords.lines()[0].chords[0].name, QStringLiteral("C"));
    QCOMPARE(withChords.lines()[0].chords[0].column, 0);
    QCOMPARE(withChords.lines()[1].chords.size(), 1);
    QCOMPARE(withChords.lines()[1].chords[0].name, QStringLiteral("G7"));
    QCOMPARE(withChords.lines()[1].chords[0].column, 0);

    // A file without lyrics has nothing to highlight.
    KaraokeView empty;
    empty.setSequence(sw::MidiSequence(), sw::kUTF8StringEncoding);
    empty.setTicks(0);
    QVERIFY(!empty.hasLyrics());
    QCOMPARE(empty.highlightedText(), QString());
  }

  void playsAndStopsThroughTheOutput() {
    std::unique_ptr<EditorWindow> window(open(apptest::latinSong(), "play.kar"));
    QVERIFY(window);
    TransportBar& transport = *window->transport();
    window->tabs()->setCurrentWidget(window->karaokeView());
    QVERIFY(!transport.isPlaying());
    window->togglePlay();
    QVERIFY(transport.isPlaying());
    QCOMPARE(sw::MidiPlayerController::playingCount(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!apptest::recording()->keys(true).empty(), 3000);
    QCOMPARE(apptest::recording()->keys(true).front(), 60);
    // The karaoke view follows the player.
    QTRY_COMPARE_WITH_TIMEOUT(window->karaokeView()->highlightedText(), QStringLiteral("au lait"), 3000);
    window->togglePlay();
    QVERIFY(!transport.isPlaying());
    QCOMPARE(sw::MidiPlayerController::playingCount(), 0);

    // Moved by the slider while stopped, the karaoke view follows.
    transport.seek(1100);
    QCOMPARE(transport.timeText(), QStringLiteral("00:01"));
    QCOMPARE(window->karaokeView()->highlightedText(), QStringLiteral("Bonne"));

    // Stopped with a row selected, play starts at that event.
    apptest::recording()->clear();
    sw::FEventList& list = window->document().list();
    const int row = rowOfNote(list, 64);
    window->table()->selectRow(row);
    window->togglePlay();
    QTRY_VERIFY_WITH_TIMEOUT(!apptest::recording()->keys(true).empty(), 3000);
    QCOMPARE(apptest::recording()->keys(true).front(), 64);
    // The song is 2 s long: it stops by itself at the end.
    QTRY_VERIFY_WITH_TIMEOUT(!transport.isPlaying(), 4000);
    QCOMPARE(sw::MidiPlayerController::playingCount(), 0);
  }

  void playingNeverBlocksTheEventLoop() {
    std::unique_ptr<EditorWindow> window(open(apptest::latinSong(), "speed.kar"));
    QVERIFY(window);
    window->show();
    window->tabs()->setCurrentWidget(window->karaokeView());
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setInterval(5);
    connect(&probe, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
    });
    clock.start();
    probe.start();
    window->togglePlay();
    QTest::qWait(1500);
    probe.stop();
    window->transport()->stop();
    qInfo("longest event-loop pause while playing: %lld ms", longest);
    QVERIFY(longest < 100);
  }

  void soloMutesTheChannelsFilteredOut() {
    swtest::MidiFileBuilder file(1, 480);
    file.track().noteOn(0, 0, 60, 100).noteOn(0, 1, 72, 100).noteOff(240, 0, 60).noteOff(0, 1, 72).endOfTrack();
    std::unique_ptr<EditorWindow> window(open(file.bytes(), "solo.mid"));
    QVERIFY(window);
    window->filterState().setSelected(FilterGroup::Channels, 1, false);  // channel 2 hidden
    window->applyFilters();
    QCOMPARE(window->transport()->controller().filterChannelMask(), 0);  // not solo: all play
    window->filterState().setSolo(true);
    window->applyFilters();
    QCOMPARE(window->transport()->controller().filterChannelMask(), uint16_t(1 << 1));  // only channel 2 muted
    window->togglePlay();
    QTRY_VERIFY_WITH_TIMEOUT(!window->transport()->isPlaying(), 3000);
    QCOMPARE(apptest::recording()->keys(true), std::vector<int>{60});
  }

  void onePlayerAtATime() {
    std::unique_ptr<EditorWindow> first(open(apptest::latinSong(), "first.kar"));
    std::unique_ptr<EditorWindow> second(open(apptest::song(), "second.mid"));
    QVERIFY(first && second);
    first->togglePlay();
    QVERIFY(first->transport()->isPlaying());
    second->togglePlay();
    QVERIFY(second->transport()->isPlaying());
    QVERIFY(!first->transport()->isPlaying());
    QCOMPARE(sw::MidiPlayerController::playingCount(), 1);
    second->transport()->stop();
    QCOMPARE(sw::MidiPlayerController::playingCount(), 0);
  }

  void previewSendsTheSelectedEvent() {
    std::unique_ptr<EditorWindow> window(open(apptest::latinSong(), "preview.kar"));
    QVERIFY(window);
    window->table()->selectRow(rowOfNote(window->document().list(), 62));
    window->previewSelectedEvent();
    QCOMPARE(apptest::recording()->keys(true), std::vector<int>{62});
    QTRY_COMPARE_WITH_TIMEOUT(apptest::recording()->keys(false), std::vector<int>{62}, 1000);

    // A meta event is not sent.
    apptest::recording()->clear();
    window->table()->selectRow(0);
    window->previewSelectedEvent();
    QVERIFY(apptest::recording()->keys(true).empty());
  }

  void editingUndoingAndClosingWhilePlaying() {
    QPointer<EditorWindow> window(open(apptest::latinSong(), "busy.kar"));
    QVERIFY(window);
    window->show();
    sw::FEventList& list = window->document().list();
    window->togglePlay();
    QVERIFY(window->transport()->isPlaying());
    for (int round = 0; round < 5; ++round) {
      const int row = rowOfNote(list, 62);
      QVERIFY(window->document().operations().setValue(list.wholeIndexAtIndex(row), sw::FieldKey::Third, "30 64 480"));
      window->table()->selectAll();
      window->document().operations().setSelection({0, 1, 2, 3});
      window->document().operations().clear();
      QTest::qWait(30);
      window->document().undoManager().undo();
      window->document().undoManager().undo();
      QCoreApplication::processEvents();
      window->encodingPopUp()->choose(window->encodingPopUp()->convertItemIndex());
      window->document().undoManager().undo();
      QTest::qWait(30);
    }
    QVERIFY(!window->document().isModified());
    window->close();  // unmodified: closes and deletes itself, stopping the player
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 2000);
    QCOMPARE(sw::MidiPlayerController::playingCount(), 0);
  }
};

int runTransportTests(int argc, char** argv) {
  TransportTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "transport_test.moc"
