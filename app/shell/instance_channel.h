// Files handed to a running Scorewell: a second `scorewell FILE...` passes its files over a
// local socket to the instance already running, which opens them, and ends.
#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

namespace swapp {

class InstanceChannel : public QObject {
  Q_OBJECT
 public:
  // The channel of this user and configuration folder (two settings folders, two instances).
  static QString defaultName();

  explicit InstanceChannel(QString name = defaultName(), QObject* parent = nullptr);
  ~InstanceChannel() override;

  // Hands the paths (made absolute) to a running instance; false when none answers.
  bool handOver(const QStringList& paths, int timeoutMs = 2000) const;
  // Starts answering second instances; false when the channel cannot be opened.
  bool listen();
  bool isListening() const;

 signals:
  void filesReceived(const QStringList& paths);

 private:
  void readConnection();

  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace swapp
