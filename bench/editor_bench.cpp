// The editor window's speed on a generated file of about a million events (16 tracks, 29,411
// tempo changes): opening it into the document and the table model, changing the channel
// filter, and one cell edit with its undo. Runs offscreen; the table view itself is not shown,
// the model answers its row count as the view asks.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "base/log.h"
#include "editing/f_midi_event_pointer.h"
#include "editing/pasteboard.h"
#include "editor/editor_document.h"
#include "editor/event_table_model.h"
#include "editor/filter_state.h"
#include "song_generator.h"

namespace {

struct SongFile {
  std::string path = "/tmp/scorewell-editor-bench-" + std::to_string(::getpid()) + ".mid";
  SongFile() {
    sw::setLogSink([](const std::string&) {});
    const swtest::Bytes bytes = swtest::makeSongWithTempoChanges(16, 29000, 29411, 7);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  ~SongFile() { std::remove(path.c_str()); }
};

const SongFile& song() {
  static SongFile instance;
  return instance;
}

// A document with its table model, as the window holds them.
struct OpenDocument {
  sw::MemoryPasteboard pasteboard;
  swapp::EditorDocument document{pasteboard};
  std::unique_ptr<swapp::EventTableModel> model;
  bool open() {
    if (document.open(song().path)) return false;
    model = std::make_unique<swapp::EventTableModel>(document);
    document.setChangeHandler([this] { model->reload(); });
    return model->rowCount() > 0;
  }
};

void BM_OpenIntoDocumentAndModel(benchmark::State& state) {
  song();
  int rows = 0, events = 0;
  for (auto _ : state) {
    auto open = std::make_unique<OpenDocument>();
    if (!open->open()) {
      state.SkipWithError("the file did not open");
      return;
    }
    rows = open->model->rowCount();
    events = open->document.list().count();
    state.PauseTiming();  // closing is not part of opening
    open.reset();
    state.ResumeTiming();
  }
  state.counters["rows"] = rows;
  state.counters["events"] = events;
}

// Channel 1 hidden, then shown again: each is one filter change.
void BM_ChangeChannelFilter(benchmark::State& state) {
  OpenDocument open;
  if (!open.open()) {
    state.SkipWithError("the file did not open");
    return;
  }
  swapp::FilterState filters;
  bool shown = true;
  for (auto _ : state) {
    shown = !shown;
    filters.setSelected(swapp::FilterGroup::Channels, 0, shown);
    filters.applyTo(open.document.list(), false);
    open.model->reload();
  }
  state.counters["rows"] = open.model->rowCount();
  state.counters["events"] = open.document.list().count();
}

// The velocity of a note in the middle of the file typed into its cell, then undone.
void BM_CellEditAndUndo(benchmark::State& state) {
  OpenDocument open;
  if (!open.open()) {
    state.SkipWithError("the file did not open");
    return;
  }
  sw::FEventList& list = open.document.list();
  int row = list.filteredCount() / 2;
  while (row < list.filteredCount() && !list.objectAtFilteredIndex(row).midiEvent()->isNoteOn()) ++row;
  const QModelIndex cell = open.model->index(row, swapp::EventTableModel::columnOf(sw::FieldKey::Third));
  const QString before = open.model->data(cell, Qt::EditRole).toString();
  const int space = before.indexOf(' ');
  const QString after = (before.startsWith("90") ? "91" : "90") + before.mid(space);  // another velocity
  if (space < 0) {
    state.SkipWithError("no note found");
    return;
  }
  for (auto _ : state) {
    if (!open.model->setData(cell, after, Qt::EditRole) || !open.document.undoManager().canUndo()) {
      state.SkipWithError("the edit was refused");
      return;
    }
    open.document.undoManager().undo();
  }
  state.counters["events"] = list.count();
}

BENCHMARK(BM_OpenIntoDocumentAndModel)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ChangeChannelFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CellEditAndUndo)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
