#include "browser/browser_model.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QMimeData>
#include <QPalette>
#include <QSet>
#include <QStyle>
#include <QUrl>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace swapp {

struct BrowserModel::Node {
  QString path;
  QString name;
  Node* parent = nullptr;
  bool isDirectory = false;
  bool childrenLoaded = false;
  int row = 0;
  std::vector<std::unique_ptr<Node>> children;
  std::vector<std::unique_ptr<Node>> hidden;  // files read before they are shown
  std::shared_ptr<const sw::FileInformation> information;
  qint64 size = 0;
};

namespace {

struct ColumnDescription {
  const char* key;
  const char* title;
  bool shown;
};

constexpr ColumnDescription kColumns[kColumnCount] = {
    {"name", "Name", true},
    {"buggy", "!", true},
    {"format", "Format", true},
    {"tracks", "Tracks", true},
    {"division", "Division", true},
    {"tempo", "Tempo", true},
    {"duration", "Duration", true},
    {"karType", "Karaoke", true},
    {"hasChords", "Chords", true},
    {"resetSysEx", "Resets", true},
    {"sequenceName", "Sequence Name", false},
    {"title", "Title", true},
    {"author", "Author", true},
    {"copyright", "Copyright", false},
    {"fileSize", "Size", true},
    {"type", "Type", false},
    {"creator", "Creator", false},
};

// What an entry of a folder is, without following a symbolic link.
enum class EntryKind { Folder, File, Other };

EntryKind entryKind(const QByteArray& path) {
  struct stat info {};
  if (::lstat(path.constData(), &info) != 0) return EntryKind::Other;
  if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
  if (S_ISREG(info.st_mode)) return EntryKind::File;
  return EntryKind::Other;  // links stand for aliases; devices and pipes are never read
}

bool beginsWithHeader(const QByteArray& path) {
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  char header[4] = {};
  const ssize_t got = ::read(fd, header, 4);
  ::close(fd);
  return got == 4 && std::equal(header, header + 4, "MThd");
}

QString joinPath(const QString& folder, const QString& name) {
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString resetsText(const sw::FileInformation& info) {
  QStringList resets;
  for (const std::string& reset : info.resets) resets << QString::fromStdString(reset);
  return resets.join(QLatin1Char(' '));
}

}  // namespace

int naturalCompare(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      qsizetype endA = i, endB = j;
      while (endA < a.size() && a[endA].isDigit()) ++endA;
      while (endB < b.size() && b[endB].isDigit()) ++endB;
      // Without leading zeros, the longer run is the larger number.
      QStringView x = QStringView(a).mid(i, endA - i), y = QStringView(b).mid(j, endB - j);
      while (x.size() > 1 && x.front() == u'0') x = x.mid(1);
      while (y.size() > 1 && y.front() == u'0') y = y.mid(1);
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
      if (const int order = x.compare(y); order != 0) return order < 0 ? -1 : 1;
      i = endA, j = endB;
      continue;
    }
    const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
    if (x != y) return QString::localeAwareCompare(QString(x), QString(y)) < 0 ? -1 : 1;
    ++i, ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return QString::compare(a, b);  // "a" and "A": a fixed order all the same
}

// ---- Columns

QString BrowserModel::columnKey(int column) {
  return column >= 0 && column < kColumnCount ? QString::fromLatin1(kColumns[column].key) : QString();
}

QString BrowserModel::columnTitle(int column) {
  return column >= 0 && column < kColumnCount ? QString::fromLatin1(kColumns[column].title) : QString();
}

int BrowserModel::columnForKey(const QString& key) {
  for (int column = 0; column < kColumnCount; ++column)
    if (key == QLatin1String(kColumns[column].key)) return column;
  return -1;
}

bool BrowserModel::shownByDefault(int column) { return column >= 0 && column < kColumnCount && kColumns[column].shown; }

bool BrowserModel::hasMidiExtension(const QString& name) {
  const QString suffix = QFileInfo(name).suffix().toLower();
  return suffix == QLatin1String("mid") || suffix == QLatin1String("midi") || suffix == QLatin1String("kar") ||
         suffix == QLatin1String("smf");
}

// ---- Roots

BrowserModel::BrowserModel(QObject* parent) : QAbstractItemModel(parent) {
  connect(&loader_, &InformationLoader::delivered, this, &BrowserModel::apply);
}

BrowserModel::~BrowserModel() { loader_.discardAll(); }

QStringList BrowserModel::rootCandidates(const QStringList& paths, QStringList* refused) {
  QStringList candidates;
  QSet<QString> taken;  // a drop may bring thousands of paths
  for (const QString& given : paths) {
    const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    const QByteArray native = QFile::encodeName(path);
    const EntryKind kind = entryKind(native);
    QString reason;
    if (QFileInfo(path).fileName().startsWith(QLatin1Char('.')))
      reason = QStringLiteral("is hidden");
    else if (kind == EntryKind::Other)
      reason = QFileInfo::exists(path) || QFileInfo(path).isSymLink() ? QStringLiteral("is not a file or folder")
                                                                      : QStringLiteral("does not exist");
    else if (kind == EntryKind::File && !beginsWithHeader(native))
      reason = QStringLiteral("is not a Standard MIDI File");
    if (reason.isEmpty()) {
      if (!taken.contains(path)) {
        taken.insert(path);
        candidates << path;
      }
    } else if (refused) {
      *refused << path + QLatin1Char(' ') + reason;
    }
  }
  return candidates;
}

std::unique_ptr<BrowserModel::Node> BrowserModel::makeNode(const QString& name, Node* parent, bool isDirectory) {
  auto node = std::make_unique<Node>();
  node->parent = parent;
  node->name = name;
  node->path = parent ? joinPath(parent->path, name) : name;
  if (!parent) node->name = QFileInfo(name).fileName().isEmpty() ? name : QFileInfo(name).fileName();
  node->isDirectory = isDirectory;
  return node;
}

void BrowserModel::setRoots(const QStringList& paths) {
  beginResetModel();
  loader_.discardAll();
  nodesByPath_.clear();
  hiddenByPath_.clear();
  roots_.clear();
  listedFiles_ = 0;
  for (const QString& path : paths) {
    auto root = makeNode(path, nullptr, entryKind(QFile::encodeName(path)) == EntryKind::Folder);
    root->row = int(roots_.size());
    nodesByPath_.insert(root->path, root.get());
    if (!root->isDirectory) {
      ++listedFiles_;
      loader_.request(root->path);
    }
    roots_.push_back(std::move(root));
  }
  endResetModel();
  emit rootsChanged();
  emit foldersChanged();
}

QStringList BrowserModel::rootPaths() const {
  QStringList paths;
  for (const auto& root : roots_) paths << root->path;
  return paths;
}

// ---- Items

BrowserModel::Node* BrowserModel::node(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex BrowserModel::indexOf(Node* item, int column) const {
  return item ? createIndex(item->row, column, item) : QModelIndex();
}

std::vector<std::unique_ptr<BrowserModel::Node>>& BrowserModel::childrenOf(Node* folder) {
  return folder ? folder->children : roots_;
}

QString BrowserModel::path(const QModelIndex& index) const {
  const Node* item = node(index);
  return item ? item->path : QString();
}

bool BrowserModel::isDirectory(const QModelIndex& index) const {
  const Node* item = node(index);
  return item && item->isDirectory;
}

bool BrowserModel::isPending(const QModelIndex& index) const {
  const Node* item = node(index);
  return item && !item->isDirectory && !item->information;
}

const sw::FileInformation* BrowserModel::information(const QModelIndex& index) const {
  const Node* item = node(index);
  return item ? item->information.get() : nullptr;
}

QModelIndexList BrowserModel::indexesOfPath(const QString& path) const {
  QModelIndexList indexes;
  for (Node* item : nodesByPath_.values(path)) indexes << indexOf(item);
  return indexes;
}

QStringList BrowserModel::selectedPaths(const QModelIndexList& rows, bool removingChildren) const {
  QSet<const Node*> selected;
  for (const QModelIndex& index : rows)
    if (const Node* item = node(index)) selected.insert(item);
  QStringList paths;
  QSet<const Node*> seen;
  for (const QModelIndex& index : rows) {
    const Node* item = node(index);
    if (!item || seen.contains(item)) continue;
    seen.insert(item);
    bool parentSelected = false;
    for (const Node* up = item->parent; removingChildren && up && !parentSelected; up = up->parent)
      parentSelected = selected.contains(up);
    if (!parentSelected) paths << item->path;
  }
  return paths;
}

int BrowserModel::pendingCount() const { return loader_.outstanding(); }

// ---- Folders

void BrowserModel::addEntries(Node* folder, std::vector<std::pair<QString, bool>> entries) {
  // In the outline's usual order, so that records arriving for neighbours change neighbouring rows.
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return naturalCompare(a.first, b.first) < 0; });
  std::vector<std::unique_ptr<Node>> shown;
  for (const auto& [name, isFolder] : entries) {
    auto item = makeNode(name, folder, isFolder);
    if (!item->isDirectory) loader_.request(item->path);
    if (item->isDirectory || hasMidiExtension(name)) {
      shown.push_back(std::move(item));
    } else {
      hiddenByPath_.insert(item->path, item.get());
      folder->hidden.push_back(std::move(item));
    }
  }
  insertChildren(folder, std::move(shown));
}

void BrowserModel::listFolder(Node* folder) {
  // Only names and kinds are read here; the files themselves are read by the loader.
  std::vector<std::pair<QString, bool>> entries;  // name, whether a folder
  const QByteArray native = QFile::encodeName(folder->path);
  if (DIR* dir = ::opendir(native.constData())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;  // ".", ".." and invisible entries
      EntryKind kind = EntryKind::Other;
      if (entry->d_type == DT_DIR)
        kind = EntryKind::Folder;
      else if (entry->d_type == DT_REG)
        kind = EntryKind::File;
      else if (entry->d_type == DT_UNKNOWN)
        kind = entryKind(native + '/' + entry->d_name);
      if (kind != EntryKind::Other) entries.emplace_back(QFile::decodeName(entry->d_name), kind == EntryKind::Folder);
    }
    ::closedir(dir);
  }
  folder->childrenLoaded = true;
  addEntries(folder, std::move(entries));
  emit foldersChanged();
}

void BrowserModel::insertChildren(Node* folder, std::vector<std::unique_ptr<Node>> nodes) {
  if (nodes.empty()) return;
  auto& children = childrenOf(folder);
  const int first = int(children.size());
  beginInsertRows(indexOf(folder), first, first + int(nodes.size()) - 1);
  for (auto& item : nodes) {
    item->row = int(children.size());
    nodesByPath_.insert(item->path, item.get());
    if (!item->isDirectory) ++listedFiles_;
    children.push_back(std::move(item));
  }
  endInsertRows();
}

void BrowserModel::forget(Node* item) {
  nodesByPath_.remove(item->path, item);
  if (!item->isDirectory) --listedFiles_;
  for (auto& child : item->children) forget(child.get());
  for (auto& child : item->hidden) hiddenByPath_.remove(child->path, child.get());
  if (item->isDirectory && item->childrenLoaded) loader_.discardBelow(item->path);
}

void BrowserModel::renumber(Node* folder, int from) {
  auto& children = childrenOf(folder);
  for (int row = from; row < int(children.size()); ++row) children[row]->row = row;
}

void BrowserModel::removeChildren(Node* folder, std::vector<int> rows) {
  if (rows.empty()) return;
  auto& children = childrenOf(folder);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  // Contiguous runs, from the last, so the earlier rows keep their numbers.
  size_t end = rows.size();
  while (end > 0) {
    size_t begin = end - 1;
    while (begin > 0 && rows[begin - 1] == rows[begin] - 1) --begin;
    const int first = rows[begin], last = rows[end - 1];
    beginRemoveRows(indexOf(folder), first, last);
    for (int row = first; row <= last; ++row) forget(children[row].get());
    children.erase(children.begin() + first, children.begin() + last + 1);
    endRemoveRows();
    end = begin;
  }
  renumber(folder, rows.front());
}

void BrowserModel::collapse(const QModelIndex& index) {
  Node* folder = node(index);
  if (!folder || !folder->isDirectory || !folder->childrenLoaded) return;
  loader_.discardBelow(folder->path);
  if (!folder->children.empty()) {
    beginRemoveRows(index.siblingAtColumn(0), 0, int(folder->children.size()) - 1);
    for (auto& child : folder->children) forget(child.get());
    folder->children.clear();
    endRemoveRows();
  }
  for (auto& child : folder->hidden) hiddenByPath_.remove(child->path, child.get());
  folder->hidden.clear();
  folder->childrenLoaded = false;
  emit foldersChanged();
}

void BrowserModel::rescanFolder(Node* folder, bool rereadFiles) {
  const QByteArray native = QFile::encodeName(folder->path);
  QSet<QString> present;
  std::vector<std::pair<QString, bool>> added;  // name, whether a folder
  QSet<QString> known;
  for (const auto& child : folder->children) known.insert(child->name);
  for (const auto& child : folder->hidden) known.insert(child->name);
  if (DIR* dir = ::opendir(native.constData())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const QString name = QFile::decodeName(entry->d_name);
      const EntryKind kind = entryKind(native + '/' + entry->d_name);
      if (kind == EntryKind::Other) continue;
      present.insert(name);
      if (!known.contains(name)) added.emplace_back(name, kind == EntryKind::Folder);
    }
    ::closedir(dir);
  }
  std::vector<int> gone;
  for (const auto& child : folder->children) {
    const bool isFolderNow = entryKind(QFile::encodeName(child->path)) == EntryKind::Folder;
    if (!present.contains(child->name) || isFolderNow != child->isDirectory)
      gone.push_back(child->row);
    else if (!child->isDirectory && rereadFiles)
      loader_.request(child->path);
  }
  removeChildren(folder, gone);
  std::erase_if(folder->hidden, [&](const std::unique_ptr<Node>& child) {
    if (present.contains(child->name)) return false;
    hiddenByPath_.remove(child->path, child.get());
    return true;
  });
  addEntries(folder, std::move(added));
  if (rereadFiles)
    for (auto& child : folder->children)
      if (child->isDirectory && child->childrenLoaded) rescanFolder(child.get(), true);
}

void BrowserModel::refreshPath(const QString& given) {
  const QString path = QDir::cleanPath(given);
  const QList<Node*> items = nodesByPath_.values(path);
  for (Node* item : items) {
    const EntryKind kind = entryKind(QFile::encodeName(path));
    const bool vanished = kind == EntryKind::Other || (kind == EntryKind::Folder) != item->isDirectory;
    if (vanished) {
      // A vanished folder collapses and leaves with what it held, without an error.
      removeChildren(item->parent, {item->row});
      emit foldersChanged();
    } else if (item->isDirectory) {
      if (item->childrenLoaded) rescanFolder(item, false);
    } else {
      loader_.request(path);
    }
  }
  // A file that is not listed yet (no MIDI extension) may have become readable.
  if (items.isEmpty() && hiddenByPath_.contains(path)) loader_.request(path);
}

void BrowserModel::refreshAll() {
  std::vector<int> gone;
  for (auto& root : roots_) {
    const EntryKind kind = entryKind(QFile::encodeName(root->path));
    if (kind == EntryKind::Other || (kind == EntryKind::Folder) != root->isDirectory)
      gone.push_back(root->row);
    else if (!root->isDirectory)
      loader_.request(root->path);
  }
  removeChildren(nullptr, gone);
  for (auto& root : roots_)
    if (root->isDirectory && root->childrenLoaded) rescanFolder(root.get(), true);
  emit foldersChanged();
}

QStringList BrowserModel::loadedFolders() const {
  QStringList folders;
  std::vector<const Node*> stack;
  for (const auto& root : roots_) stack.push_back(root.get());
  while (!stack.empty()) {
    const Node* item = stack.back();
    stack.pop_back();
    if (!item->isDirectory || !item->childrenLoaded) continue;
    folders << item->path;
    for (const auto& child : item->children) stack.push_back(child.get());
  }
  return folders;
}

// ---- Records arriving

void BrowserModel::apply(const std::vector<InformationResult>& results) {
  struct Changes {
    std::vector<int> changed;
    std::vector<int> removed;
    std::vector<std::unique_ptr<Node>> shown;
  };
  std::map<Node*, Changes> changes;  // by folder (null: the roots)
  for (const InformationResult& result : results) {
    const bool readable = result.information && result.information->readable;
    for (Node* item : nodesByPath_.values(result.path)) {
      if (item->isDirectory) continue;
      Changes& folder = changes[item->parent];
      if (readable) {
        item->information = result.information;
        item->size = result.size;
        folder.changed.push_back(item->row);
      } else {
        folder.removed.push_back(item->row);
      }
    }
    for (Node* item : hiddenByPath_.values(result.path)) {
      hiddenByPath_.remove(result.path, item);
      Node* folder = item->parent;
      auto found = std::find_if(folder->hidden.begin(), folder->hidden.end(),
                                [item](const std::unique_ptr<Node>& child) { return child.get() == item; });
      if (found == folder->hidden.end()) continue;
      std::unique_ptr<Node> owned = std::move(*found);
      folder->hidden.erase(found);
      if (!readable) continue;
      owned->information = result.information;
      owned->size = result.size;
      changes[folder].shown.push_back(std::move(owned));
    }
  }
  for (auto& [folder, change] : changes) {
    // One signal per run of neighbouring rows: a range over unchanged rows would make the
    // sorting proxy and the view go through all of them.
    std::sort(change.changed.begin(), change.changed.end());
    const auto& children = childrenOf(folder);
    for (size_t begin = 0; begin < change.changed.size();) {
      size_t end = begin + 1;
      while (end < change.changed.size() && change.changed[end] <= change.changed[end - 1] + 1) ++end;
      emit dataChanged(indexOf(children[change.changed[begin]].get(), kBuggyColumn),
                       indexOf(children[change.changed[end - 1]].get(), kColumnCount - 1));
      begin = end;
    }
    removeChildren(folder, std::move(change.removed));
    insertChildren(folder, std::move(change.shown));
  }
  emit informationArrived();
}

// ---- QAbstractItemModel

QModelIndex BrowserModel::index(int row, int column, const QModelIndex& parent) const {
  if (column < 0 || column >= kColumnCount || row < 0) return {};
  Node* folder = node(parent);
  const auto& children = folder ? folder->children : roots_;
  if (row >= int(children.size())) return {};
  return createIndex(row, column, children[row].get());
}

QModelIndex BrowserModel::parent(const QModelIndex& child) const {
  const Node* item = node(child);
  return item && item->parent ? indexOf(item->parent) : QModelIndex();
}

int BrowserModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const Node* folder = node(parent);
  return int(folder ? folder->children.size() : roots_.size());
}

int BrowserModel::columnCount(const QModelIndex&) const { return kColumnCount; }

bool BrowserModel::hasChildren(const QModelIndex& parent) const {
  const Node* folder = node(parent);
  if (!folder) return !roots_.empty();
  return folder->isDirectory && (!folder->childrenLoaded || !folder->children.empty());
}

bool BrowserModel::canFetchMore(const QModelIndex& parent) const {
  const Node* folder = node(parent);
  return folder && folder->isDirectory && !folder->childrenLoaded;
}

void BrowserModel::fetchMore(const QModelIndex& parent) {
  if (canFetchMore(parent)) listFolder(node(parent));
}

QVariant BrowserModel::data(const QModelIndex& index, int role) const {
  const Node* item = node(index);
  if (!item) return {};
  const sw::FileInformation* info = item->information.get();
  const int column = index.column();
  switch (role) {
    case kPathRole:
      return item->path;
    case kDirectoryRole:
      return item->isDirectory;
    case kPendingRole:
      return !item->isDirectory && !info;
    case kDefectiveRole:
      return info && !info->bugExplanation.empty();
    case kFilterTextRole: {
      QString text = item->name;
      if (info)
        text += QLatin1Char('\n') + QString::fromStdString(info->title) + QLatin1Char('\n') +
                QString::fromStdString(info->sequenceName) + QLatin1Char('\n') +
                QString::fromStdString(info->author) + QLatin1Char('\n') + QString::fromStdString(info->karaokeType) +
                QLatin1Char('\n') + QString::fromStdString(info->bugExplanation);
      return text;
    }
    case Qt::DecorationRole: {
      // Looked up once: the style's icons are costly to find row by row.
      if (icons_.empty())
        for (QStyle::StandardPixmap icon : {QStyle::SP_DirIcon, QStyle::SP_FileIcon, QStyle::SP_MessageBoxWarning})
          icons_.push_back(QApplication::style()->standardIcon(icon));
      if (column == kNameColumn) return icons_[item->isDirectory ? 0 : 1];
      if (column == kBuggyColumn && info && !info->bugExplanation.empty()) return icons_[2];
      return {};
    }
    case Qt::ToolTipRole:
      if ((column == kBuggyColumn || column == kNameColumn) && info && !info->bugExplanation.empty())
        return QString::fromStdString(info->bugExplanation);
      if (column == kNameColumn) return item->path;
      return {};
    case Qt::ForegroundRole:
      if (!item->isDirectory && !info) return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
      return {};
    case Qt::TextAlignmentRole:
      if (column == kFormatColumn || column == kTracksColumn || column == kDivisionColumn || column == kTempoColumn ||
          column == kDurationColumn || column == kFileSizeColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case Qt::DisplayRole:
    case kSortRole:
      break;
    default:
      return {};
  }
  const bool sorting = role == kSortRole;
  if (column == kNameColumn) return item->name;
  if (item->isDirectory) {
    // A folder has a duration of 0 and no chords, as the record's keys say; nothing else.
    if (column == kDurationColumn && sorting) return 0;
    return {};
  }
  if (!info) return {};
  switch (column) {
    case kBuggyColumn:
      return sorting ? QVariant(QString::fromStdString(info->bugExplanation)) : QVariant();
    case kFormatColumn:
      return info->format;
    case kTracksColumn:
      return info->tracks;
    case kDivisionColumn:
      return info->division;
    case kTempoColumn:
      return info->tempo;
    case kDurationColumn:
      return sorting ? QVariant(qlonglong(info->durationMSecs)) : QVariant(QString::fromStdString(info->duration));
    case kKarTypeColumn:
      return QString::fromStdString(info->karaokeType);
    case kHasChordsColumn:
      return info->hasChords ? QStringLiteral("YES") : QString();
    case kResetSysExColumn:
      return resetsText(*info);
    case kSequenceNameColumn:
      return QString::fromStdString(info->sequenceName);
    case kTitleColumn:
      return QString::fromStdString(info->title);
    case kAuthorColumn:
      return QString::fromStdString(info->author);
    case kCopyrightColumn:
      return QString::fromStdString(info->copyright);
    case kFileSizeColumn:
      return sorting ? QVariant(item->size) : QVariant(QLocale().formattedDataSize(item->size));
    case kTypeColumn:
      return QString::fromStdString(info->type);
    case kCreatorColumn:
      return QString::fromStdString(info->creator);
    default:
      return {};
  }
}

QVariant BrowserModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return columnTitle(section);
  if (role == Qt::ToolTipRole && section == kBuggyColumn) return QStringLiteral("Defects");
  return {};
}

Qt::ItemFlags BrowserModel::flags(const QModelIndex& index) const {
  // No cell is editable in the outline; the info panel edits the texts.
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList BrowserModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* BrowserModel::mimeData(const QModelIndexList& indexes) const {
  QList<QUrl> urls;
  for (const QModelIndex& index : indexes)
    if (index.column() == 0) urls << QUrl::fromLocalFile(path(index));
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

Qt::DropActions BrowserModel::supportedDropActions() const { return Qt::CopyAction | Qt::LinkAction | Qt::MoveAction; }

bool BrowserModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) const {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

bool BrowserModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                const QModelIndex& parent) {
  if (!canDropMimeData(data, action, row, column, parent)) return false;
  QStringList paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  const QStringList roots = rootCandidates(paths);
  if (roots.isEmpty()) return false;
  setRoots(roots);
  return true;
}

}  // namespace swapp
