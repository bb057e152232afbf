// The browser's outline: the roots the user chose and, below each folder, its visible regular
// files that read as Standard MIDI Files and its visible folders. Folders are listed when they
// are first expanded and forgotten when they collapse. A listing shows at once: files named
// like MIDI files appear before they are read, other files only once they are found readable,
// and the information columns fill in as the background loader delivers records.
#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QStringList>

#include <memory>
#include <vector>

#include "browser/information_loader.h"

namespace swapp {

// The columns, identified by the keys of the information record.
enum BrowserColumn {
  kNameColumn,
  kBuggyColumn,
  kFormatColumn,
  kTracksColumn,
  kDivisionColumn,
  kTempoColumn,
  kDurationColumn,
  kKarTypeColumn,
  kHasChordsColumn,
  kResetSysExColumn,
  kSequenceNameColumn,
  kTitleColumn,
  kAuthorColumn,
  kCopyrightColumn,
  kFileSizeColumn,
  kTypeColumn,
  kCreatorColumn,
  kColumnCount
};

// Natural order: case-insensitive, with runs of digits compared as numbers ("song2" < "song10").
int naturalCompare(const QString& a, const QString& b);

class BrowserModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  enum Role {
    kSortRole = Qt::UserRole + 1,  // numbers as numbers, the duration in ms, the size in bytes
    kPathRole,                     // the full path
    kFilterTextRole,               // name, title, author, karaoke type and diagnosis, for the filter
    kDefectiveRole,                // the diagnosis is not empty
    kPendingRole,                  // a file whose record is not known yet
    kDirectoryRole,
  };

  static QString columnKey(int column);  // "name", "buggy", "format"...
  static QString columnTitle(int column);
  static int columnForKey(const QString& key);  // -1 for an unknown key
  static bool shownByDefault(int column);
  // Whether a name has one of the MIDI extensions ("mid", "midi", "kar", "smf").
  static bool hasMidiExtension(const QString& name);

  explicit BrowserModel(QObject* parent = nullptr);
  ~BrowserModel() override;

  // ---- Roots
  // Which paths can be roots: visible folders, and visible regular files that begin with an
  // SMF header. `refused` receives the others with the reason.
  static QStringList rootCandidates(const QStringList& paths, QStringList* refused = nullptr);
  // Replaces the roots (the paths are not checked again; unreadable files leave once read).
  void setRoots(const QStringList& paths);
  QStringList rootPaths() const;

  // ---- Items
  QString path(const QModelIndex& index) const;
  bool isDirectory(const QModelIndex& index) const;
  bool isPending(const QModelIndex& index) const;
  // The record of a listed file, or null while it is read (and for a folder).
  const sw::FileInformation* information(const QModelIndex& index) const;
  // Every row showing this path (a file can be below two roots).
  QModelIndexList indexesOfPath(const QString& path) const;
  // The paths of `rows` (in row order); with `removingChildren`, rows with a selected ancestor
  // row are left out, as a batch wants them.
  QStringList selectedPaths(const QModelIndexList& rows, bool removingChildren) const;

  // ---- Changes on disk
  // Frees the entries of a folder that collapsed.
  void collapse(const QModelIndex& index);
  // Reads a file again, or lists a folder again (new and vanished entries, every loaded file
  // read again); a path that is gone leaves the outline. Folders whose entries are not loaded
  // are skipped.
  void refreshPath(const QString& path);
  // Lists every loaded folder and reads every listed file again.
  void refreshAll();
  // The loaded folders (watched for changes by the window).
  QStringList loadedFolders() const;

  // The file rows listed now.
  int listedFileCount() const { return listedFiles_; }
  InformationLoader& loader() { return loader_; }
  // Files listed or waiting whose record has not arrived.
  int pendingCount() const;

  // ---- QAbstractItemModel
  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDropActions() const override;
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  // A drop of files or folders anywhere on the outline replaces the roots, unless none of
  // them can be a root: then the roots stay and the drop is refused.
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

 signals:
  // A batch of records arrived (the window refreshes its info panel and status).
  void informationArrived();
  // A folder was listed or forgotten (the window updates its watcher).
  void foldersChanged();
  void rootsChanged();

 private:
  struct Node;
  Node* node(const QModelIndex& index) const;
  QModelIndex indexOf(Node* node, int column = 0) const;
  std::unique_ptr<Node> makeNode(const QString& name, Node* parent, bool isDirectory);
  void listFolder(Node* folder);
  // Adds the entries found in the folder (name, whether a folder): MIDI files and folders as
  // rows, other files kept aside until they read as MIDI files.
  void addEntries(Node* folder, std::vector<std::pair<QString, bool>> entries);
  void rescanFolder(Node* folder, bool rereadFiles);
  void insertChildren(Node* folder, std::vector<std::unique_ptr<Node>> nodes);
  void removeChildren(Node* folder, std::vector<int> rows);
  void forget(Node* node);
  void renumber(Node* folder, int from);
  void apply(const std::vector<InformationResult>& results);
  std::vector<std::unique_ptr<Node>>& childrenOf(Node* folder);

  std::vector<std::unique_ptr<Node>> roots_;
  QMultiHash<QString, Node*> nodesByPath_;
  // Files without a MIDI extension waiting for their record before they are shown.
  QMultiHash<QString, Node*> hiddenByPath_;
  InformationLoader loader_;
  mutable std::vector<QIcon> icons_;  // folder, file, defect
  int listedFiles_ = 0;
};

}  // namespace swapp
