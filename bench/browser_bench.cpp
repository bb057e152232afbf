// The browser on a folder of 10,000 generated songs, in the window as a user sees it (offscreen):
// the time until the rows are listed, the time until every information column is filled, and
// the longest time the event loop was held during the listing (a 5 ms timer notes each gap).
// Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>

#include <filesystem>
#include <fstream>

#include "base/log.h"
#include "browser/browser_filter_proxy.h"
#include "browser/browser_model.h"
#include "browser/browser_window.h"
#include "song_generator.h"
#include "temp_dir.h"

namespace {

constexpr int kSongs = 10000;

struct Folder {
  swtest::TempDir dir;
  QString path;
  Folder() {
    const std::string folder = dir.path() + "/songs";
    std::filesystem::create_directories(folder);
    for (int song = 0; song < kSongs; ++song) {
      // Small songs of 2 to 5 tracks, a few kilobytes each, as a collection holds them.
      const swtest::Bytes bytes = swtest::makeSong(2 + song % 4, 60 + song % 50, uint32_t(song));
      std::ofstream(folder + "/song" + std::to_string(song) + ".mid", std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    path = QString::fromStdString(folder);
  }
};

Folder& folder() {
  static Folder instance;
  return instance;
}

void BM_ListTenThousandSongs(benchmark::State& state) {
  Folder& songs = folder();
  for (auto _ : state) {
    swapp::BrowserWindow window;
    window.show();
    QApplication::processEvents();
    swapp::BrowserModel& model = window.model();

    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QElapsedTimer clock;
    clock.start();
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      longestGap = std::max(longestGap, sinceTick.elapsed());
      sinceTick.restart();
    });

    window.chooseRoots({songs.path});
    const QModelIndex root = model.index(0, 0);
    const qint64 rowsMs = clock.elapsed();
    const int rows = model.rowCount(root);
    sinceTick.start();
    ticker.start();
    while (model.pendingCount() > 0 && clock.elapsed() < 60000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    const qint64 filledMs = clock.elapsed();
    ticker.stop();
    // Every row has its values, shown through the sorting proxy.
    int filled = 0;
    for (int row = 0; row < model.rowCount(root); ++row)
      if (model.index(row, swapp::kTracksColumn, root).data().isValid()) ++filled;
    state.SetIterationTime(double(filledMs) / 1000.0);
    state.counters["rows"] = rows;
    state.counters["filled"] = filled;
    state.counters["rows_ms"] = double(rowsMs);
    state.counters["filled_ms"] = double(filledMs);
    state.counters["longest_block_ms"] = double(longestGap);
  }
}
BENCHMARK(BM_ListTenThousandSongs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The outline alone, without the sorting proxy and the view: the part of the listing that is
// the folder's reading and the rows' making.
void BM_ListRowsModelOnly(benchmark::State& state) {
  Folder& songs = folder();
  for (auto _ : state) {
    swapp::BrowserModel model;
    QElapsedTimer clock;
    clock.start();
    model.setRoots({songs.path});
    model.fetchMore(model.index(0, 0));
    state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    state.counters["rows"] = model.rowCount(model.index(0, 0));
    model.loader().discardAll();
  }
}
BENCHMARK(BM_ListRowsModelOnly)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  sw::setLogSink([](const std::string&) {});
  folder();  // made before any timing
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
