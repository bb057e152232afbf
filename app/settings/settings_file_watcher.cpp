#include "settings/settings_file_watcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/settings_store.h"

namespace swapp {

namespace {

QString settingsPath() { return QString::fromStdString(sw::SettingsStore::shared().path()); }

QByteArray readSettingsFile() {
  QFile file(settingsPath());
  // The store reads at most 64 MiB; a larger file is left to it to refuse.
  if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024 * 1024) return {};
  return file.readAll();
}

}  // namespace

SettingsFileWatcher& SettingsFileWatcher::shared() {
  static SettingsFileWatcher* watcher = new SettingsFileWatcher;
  return *watcher;
}

SettingsFileWatcher::SettingsFileWatcher() {
  lastContents_ = readSettingsFile();
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &SettingsFileWatcher::fileMayHaveChanged);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &SettingsFileWatcher::fileMayHaveChanged);
  rewatch();
}

void SettingsFileWatcher::rewatch() {
  // The file is replaced by a rename on every write: the folder is watched to see it come back.
  const QFileInfo info(settingsPath());
  QDir().mkpath(info.absolutePath());
  if (!watcher_.directories().contains(info.absolutePath())) watcher_.addPath(info.absolutePath());
  if (info.exists() && !watcher_.files().contains(info.absoluteFilePath())) watcher_.addPath(info.absoluteFilePath());
}

void SettingsFileWatcher::fileMayHaveChanged() {
  rewatch();
  const QByteArray contents = readSettingsFile();
  if (contents == lastContents_) return;  // another file of the folder, or our own write seen again
  lastContents_ = contents;
  sw::SettingsStore::shared().reload();
  emit reloaded();
}

}  // namespace swapp
