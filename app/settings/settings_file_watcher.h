// Keeps the shared settings store in step with its file: when another program (the command
// line) changes the file, the store reads it again and `reloaded` is sent, so the open
// settings windows show the change.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>

namespace swapp {

class SettingsFileWatcher : public QObject {
  Q_OBJECT
 public:
  static SettingsFileWatcher& shared();

 signals:
  void reloaded();

 private:
  SettingsFileWatcher();
  void rewatch();
  void fileMayHaveChanged();

  QFileSystemWatcher watcher_;
  QByteArray lastContents_;
};

}  // namespace swapp
