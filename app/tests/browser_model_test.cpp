// The browser's outline against real folders made here: lazy listing that keeps only readable
// MIDI files, the columns, sorting and filtering, the selection as a batch takes it, drops, and
// changes on disk (a rewritten file, a vanished file or folder).
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "browser/browser_filter_proxy.h"
#include "browser/browser_model.h"
#include "midi_builder.h"
#include "temp_dir.h"
#include "test_files.h"

using namespace swapp;

namespace {

// A karaoke-like file with a title and a GM reset: no defect when named .kar or .mid.
swtest::Bytes songWith(int tracks, const std::string& title) {
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, 0x03, title).tempo(0, 500000).timeSignature(0, 4, 2).sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).endOfTrack();
  for (int track = 1; track < tracks; ++track) file.track().noteOn(0, 0, 60, 100).noteOff(960, 0, 60).endOfTrack();
  return file.bytes();
}

const swtest::Bytes kNotMidi = {'h', 'e', 'l', 'l', 'o', '\n'};

QString q(const std::string& text) { return QString::fromStdString(text); }

QStringList names(const QAbstractItemModel& model, const QModelIndex& parent) {
  QStringList list;
  for (int row = 0; row < model.rowCount(parent); ++row) list << model.index(row, kNameColumn, parent).data().toString();
  return list;
}

QModelIndex child(const QAbstractItemModel& model, const QModelIndex& parent, const QString& name) {
  for (int row = 0; row < model.rowCount(parent); ++row)
    if (model.index(row, kNameColumn, parent).data().toString() == name) return model.index(row, kNameColumn, parent);
  return {};
}

}  // namespace

class BrowserModelTest : public QObject {
  Q_OBJECT

  std::unique_ptr<swtest::TempDir> dir_;
  std::string root_;

  void settle(BrowserModel& model) { model.loader().waitForAll(); }

 private slots:
  void init() {
    dir_ = std::make_unique<swtest::TempDir>();
    root_ = dir_->path() + "/songs";
    std::filesystem::create_directories(root_ + "/sub/deeper");
    dir_->write("songs/a.mid", songWith(2, "Alpha"));
    dir_->write("songs/b.kar", songWith(3, "Beta"));
    dir_->write("songs/noextension", songWith(1, "Gamma"));  // readable without a MIDI name
    dir_->write("songs/notes.txt", kNotMidi);
    dir_->write("songs/bad.mid", kNotMidi);  // a MIDI name, not a MIDI file
    dir_->write("songs/.hidden.mid", songWith(2, "Hidden"));
    dir_->write("songs/sub/c.mid", songWith(2, "Gamma"));
    ::symlink((root_ + "/a.mid").c_str(), (root_ + "/link.mid").c_str());
    ::mkfifo((root_ + "/pipe.mid").c_str(), 0600);  // never read: it would block
  }
  void cleanup() { dir_.reset(); }

  void foldersListAtOnceAndKeepOnlyReadableMidiFiles() {
    BrowserModel model;
    model.setRoots({q(root_)});
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex root = model.index(0, 0);
    QVERIFY(model.hasChildren(root));
    QCOMPARE(model.rowCount(root), 0);  // nothing read before it is expanded
    QVERIFY(model.canFetchMore(root));
    model.fetchMore(root);
    // At once: folders and files named like MIDI files, before any file is read.
    QCOMPARE(names(model, root), (QStringList{"a.mid", "b.kar", "bad.mid", "sub"}));
    QVERIFY(model.isPending(child(model, root, "a.mid")));
    QVERIFY(!model.canFetchMore(root));
    settle(model);
    // Once read: the unreadable one leaves, the readable one without extension comes.
    QCOMPARE(names(model, root), (QStringList{"a.mid", "b.kar", "sub", "noextension"}));
    QCOMPARE(model.pendingCount(), 0);
    QCOMPARE(model.listedFileCount(), 3);
    const QModelIndex sub = child(model, root, "sub");
    QVERIFY(model.canFetchMore(sub));  // not listed until expanded
    QCOMPARE(model.loadedFolders(), QStringList{q(root_)});
  }

  void columnsShowTheRecordAndTheDiagnosis() {
    BrowserModel model;
    model.setRoots({q(root_)});
    model.fetchMore(model.index(0, 0));
    settle(model);
    const QModelIndex root = model.index(0, 0);
    const QModelIndex a = child(model, root, "a.mid");
    const QModelIndex none = child(model, root, "noextension");
    QCOMPARE(a.siblingAtColumn(kFormatColumn).data().toInt(), 1);
    QCOMPARE(a.siblingAtColumn(kTracksColumn).data().toInt(), 2);
    QCOMPARE(a.siblingAtColumn(kSequenceNameColumn).data().toString(), QStringLiteral("Alpha"));
    QCOMPARE(a.siblingAtColumn(kResetSysExColumn).data().toString(), QStringLiteral("GM"));
    QCOMPARE(a.siblingAtColumn(kDurationColumn).data().toString(), QStringLiteral("0:01"));
    QCOMPARE(a.siblingAtColumn(kDurationColumn).data(BrowserModel::kSortRole).toLongLong(), 1000);
    QCOMPARE(a.siblingAtColumn(kFileSizeColumn).data(BrowserModel::kSortRole).toLongLong(),
             qlonglong(std::filesystem::file_size(root_ + "/a.mid")));
    // A sound file has no defect icon; a file without a MIDI extension is flagged, with the
    // diagnosis as the icon's tool tip.
    QVERIFY(!a.siblingAtColumn(kBuggyColumn).data(Qt::DecorationRole).isValid());
    QVERIFY(!a.data(BrowserModel::kDefectiveRole).toBool());
    QVERIFY(none.data(BrowserModel::kDefectiveRole).toBool());
    QVERIFY(none.siblingAtColumn(kBuggyColumn).data(Qt::DecorationRole).isValid());
    QCOMPARE(none.siblingAtColumn(kBuggyColumn).data(Qt::ToolTipRole).toString(),
             q(model.information(none)->bugExplanation));
    QVERIFY(!model.information(none)->bugExplanation.empty());
    // A folder shows nothing but its name.
    const QModelIndex sub = child(model, root, "sub");
    QVERIFY(!sub.siblingAtColumn(kTracksColumn).data().isValid());
    QVERIFY(!(model.flags(a) & Qt::ItemIsEditable));
  }

  void sortingAndFilteringGoThroughTheProxy() {
    for (int number : {2, 10, 1}) dir_->write("songs/sub/song" + std::to_string(number) + ".mid", songWith(number + 1, "S"));
    BrowserModel model;
    BrowserFilterProxy proxy;
    proxy.setSourceModel(&model);
    model.setRoots({q(root_ + "/sub")});
    proxy.fetchMore(proxy.index(0, 0));
    settle(model);
    const QModelIndex root = proxy.index(0, 0);
    proxy.sort(kNameColumn, Qt::AscendingOrder);
    QCOMPARE(names(proxy, root), (QStringList{"c.mid", "deeper", "song1.mid", "song2.mid", "song10.mid"}));
    proxy.sort(kTracksColumn, Qt::DescendingOrder);
    QCOMPARE(names(proxy, root).mid(0, 3), (QStringList{"song10.mid", "song2.mid", "song1.mid"}));

    proxy.sort(kNameColumn, Qt::AscendingOrder);
    proxy.setFilterText(QStringLiteral("gamma"));  // c.mid's sequence name; folders stay
    QCOMPARE(names(proxy, root), (QStringList{"c.mid", "deeper"}));
    proxy.setFilterText(QString());
    proxy.setShowsOnlyDefective(true);
    QCOMPARE(names(proxy, root), QStringList{"deeper"});
    dir_->write("songs/sub/plain.mid", apptest::song());  // no reset message: a defect
    model.refreshPath(q(root_ + "/sub"));
    settle(model);
    QCOMPARE(names(proxy, root), (QStringList{"deeper", "plain.mid"}));
  }

  void namesSortInNaturalOrder() {
    QVERIFY(naturalCompare("song2", "song10") < 0);
    QVERIFY(naturalCompare("song010", "song9") > 0);
    QVERIFY(naturalCompare("song007", "song7") != 0);  // a fixed order, never equal
    QVERIFY(naturalCompare("Apple", "banana") < 0);
    QVERIFY(naturalCompare("track 2b", "track 2a") > 0);
    QVERIFY(naturalCompare("a", "a1") < 0);
    QCOMPARE(naturalCompare("same", "same"), 0);
  }

  void aBatchGetsTheSelectionWithoutRowsBelowASelectedFolder() {
    BrowserModel model;
    model.setRoots({q(root_)});
    const QModelIndex root = model.index(0, 0);
    model.fetchMore(root);
    const QModelIndex sub = child(model, root, "sub");
    model.fetchMore(sub);
    settle(model);
    const QModelIndex c = child(model, sub, "c.mid");
    const QModelIndex a = child(model, root, "a.mid");
    const QModelIndexList rows = {a, sub, c};
    QCOMPARE(model.selectedPaths(rows, false), (QStringList{q(root_ + "/a.mid"), q(root_ + "/sub"), q(root_ + "/sub/c.mid")}));
    QCOMPARE(model.selectedPaths(rows, true), (QStringList{q(root_ + "/a.mid"), q(root_ + "/sub")}));
    // A grandparent counts as well.
    QCOMPARE(model.selectedPaths({root, c}, true), QStringList{q(root_)});
  }

  void collapsingForgetsAFolderUntilItOpensAgain() {
    BrowserModel model;
    model.setRoots({q(root_)});
    const QModelIndex root = model.index(0, 0);
    model.fetchMore(root);
    const QModelIndex sub = child(model, root, "sub");
    model.fetchMore(sub);
    QCOMPARE(model.loadedFolders().size(), 2);
    model.collapse(root);
    QCOMPARE(model.rowCount(root), 0);
    QVERIFY(model.canFetchMore(root));
    QCOMPARE(model.loadedFolders(), QStringList{});
    QCOMPARE(model.listedFileCount(), 0);
    settle(model);  // records of forgotten files go nowhere
    model.fetchMore(root);
    settle(model);
    QCOMPARE(model.rowCount(root), 4);
  }

  void changesOnDiskShowAfterARefresh() {
    BrowserModel model;
    model.setRoots({q(root_)});
    const QModelIndex root = model.index(0, 0);
    model.fetchMore(root);
    QPersistentModelIndex sub = child(model, root, "sub");
    model.fetchMore(sub);
    settle(model);
    // Another program rewrites a file and adds one.
    dir_->write("songs/a.mid", songWith(5, "Alpha 2"));
    dir_->write("songs/new.mid", songWith(2, "New"));
    model.refreshAll();
    settle(model);
    const QModelIndex a = child(model, root, "a.mid");
    QCOMPARE(a.siblingAtColumn(kTracksColumn).data().toInt(), 5);
    QCOMPARE(a.siblingAtColumn(kSequenceNameColumn).data().toString(), QStringLiteral("Alpha 2"));
    QVERIFY(child(model, root, "new.mid").isValid());
    // A file that became unreadable leaves; a deleted one too.
    dir_->write("songs/b.kar", kNotMidi);
    std::filesystem::remove(root_ + "/new.mid");
    model.refreshPath(q(root_ + "/b.kar"));
    model.refreshPath(q(root_));
    settle(model);
    QCOMPARE(names(model, root), (QStringList{"a.mid", "sub", "noextension"}));
    // A folder that disappears while expanded goes, without an error.
    std::filesystem::remove_all(root_ + "/sub");
    model.refreshPath(q(root_ + "/sub"));
    QVERIFY(!sub.isValid());
    QCOMPARE(names(model, root), (QStringList{"a.mid", "noextension"}));
    // The root itself vanishing: the outline empties.
    std::filesystem::remove_all(root_);
    model.refreshAll();
    settle(model);
    QCOMPARE(model.rowCount(), 0);
  }

  void dropsReplaceTheRootsUnlessNothingCanBeARoot() {
    BrowserModel model;
    model.setRoots({q(root_ + "/a.mid")});
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(q(root_ + "/notes.txt")), QUrl::fromLocalFile(q(root_ + "/bad.mid")),
                  QUrl::fromLocalFile(q(root_ + "/link.mid")), QUrl::fromLocalFile(q(root_ + "/.hidden.mid"))});
    QVERIFY(model.canDropMimeData(&text, Qt::CopyAction, -1, -1, {}));
    QVERIFY(!model.dropMimeData(&text, Qt::CopyAction, -1, -1, {}));
    QCOMPARE(model.rootPaths(), QStringList{q(root_ + "/a.mid")});

    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile(q(root_ + "/notes.txt")), QUrl::fromLocalFile(q(root_ + "/sub")),
                   QUrl::fromLocalFile(q(root_ + "/b.kar"))});
    QVERIFY(model.dropMimeData(&mixed, Qt::CopyAction, -1, -1, model.index(0, 0)));
    QCOMPARE(model.rootPaths(), (QStringList{q(root_ + "/sub"), q(root_ + "/b.kar")}));
    settle(model);
    QCOMPARE(model.index(1, kTracksColumn).data().toInt(), 3);

    QStringList refused;
    BrowserModel::rootCandidates({q(root_ + "/missing.mid"), q(root_ + "/pipe.mid")}, &refused);
    QCOMPARE(refused.size(), 2);
  }

  void recordsChangeOnlyTheirOwnRows() {
    // A change signal over unchanged rows makes the sorting proxy and the view visit them all.
    BrowserModel model;
    model.setRoots({q(root_)});
    const QModelIndex root = model.index(0, 0);
    model.fetchMore(root);
    settle(model);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.refreshPath(q(root_ + "/a.mid"));
    model.refreshPath(q(root_ + "/noextension"));
    settle(model);
    QCOMPARE(changed.size(), 2);
    for (const QList<QVariant>& signal : changed)
      QCOMPARE(signal[0].value<QModelIndex>().row(), signal[1].value<QModelIndex>().row());
  }

  void thousandsOfFilesListBeforeTheyAreRead() {
    const std::string many = dir_->path() + "/many";
    std::filesystem::create_directories(many);
    const swtest::Bytes bytes = songWith(2, "Many");
    for (int number = 0; number < 2000; ++number) dir_->write("many/s" + std::to_string(number) + ".mid", bytes);
    BrowserModel model;
    model.loader().setDeliveryInterval(5);
    model.setRoots({q(many)});
    model.fetchMore(model.index(0, 0));
    QCOMPARE(model.rowCount(model.index(0, 0)), 2000);
    // Records arrive in batches, not one by one.
    int batches = 0;
    connect(&model, &BrowserModel::informationArrived, this, [&batches] { ++batches; });
    QTRY_COMPARE_WITH_TIMEOUT(model.pendingCount(), 0, 20000);
    QTRY_VERIFY(model.index(1999, kTracksColumn, model.index(0, 0)).data().isValid());
    QVERIFY(batches < 200);
    // A drop of every one of them: thousands of roots, listed at once.
    QMimeData drop;
    QList<QUrl> urls;
    for (int number = 0; number < 2000; ++number) urls << QUrl::fromLocalFile(q(many + "/s" + std::to_string(number) + ".mid"));
    urls << urls.first();  // twice: one root
    drop.setUrls(urls);
    QVERIFY(model.dropMimeData(&drop, Qt::CopyAction, -1, -1, {}));
    QCOMPARE(model.rowCount(), 2000);
    // Replacing the roots while records are on their way forgets them.
    model.setRoots({q(many)});
    model.fetchMore(model.index(0, 0));
    model.setRoots({});
    settle(model);
    QCOMPARE(model.rowCount(), 0);
  }
};

int runBrowserModelTests(int argc, char** argv) {
  BrowserModelTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "browser_model_test.moc"
