#include "shell/instance_channel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>

#include "base/settings_store.h"

namespace swapp {

namespace {

constexpr qint64 kMaxMessage = 16 * 1024 * 1024;

}  // namespace

QString InstanceChannel::defaultName() {
  const QByteArray folder = QByteArray::fromStdString(sw::SettingsStore::configDirectory());
  return QStringLiteral("scorewell-") + QString::fromLatin1(qgetenv("USER")) + QLatin1Char('-') +
         QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(12));
}

InstanceChannel::InstanceChannel(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::handOver(const QStringList& paths, int timeoutMs) const {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  QStringList absolute;
  // One path a line, percent-encoded, so a name with a line feed stays one path.
  for (const QString& path : paths) absolute << QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/"));
  socket.write(absolute.join(QLatin1Char('\n')).toLatin1());
  socket.write("\n\n");  // the end of the list
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // The instance answers once it has the list.
  const bool answered = socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("OK");
  socket.disconnectFromServer();
  return answered;
}

bool InstanceChannel::listen() {
  if (server_ && server_->isListening()) return true;
  delete server_;
  server_ = nullptr;
  // Listening would take the name over from a running instance: ask first whether one answers.
  {
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(500)) return false;
  }
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    QLocalServer::removeServer(name_);  // left by an instance that crashed
    if (!server_->listen(name_)) return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::readConnection);
  return true;
}

bool InstanceChannel::isListening() const { return server_ && server_->isListening(); }

void InstanceChannel::readConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    auto* buffer = new QByteArray;
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [buffer] { delete buffer; });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
      buffer->append(socket->readAll());
      if (buffer->size() > kMaxMessage) {  // not a list of paths
        socket->abort();
        return;
      }
      if (!buffer->endsWith("\n\n")) return;
      QStringList paths;
      for (const QByteArray& line : buffer->split('\n'))
        if (!line.isEmpty()) paths << QUrl::fromPercentEncoding(line);
      buffer->clear();
      socket->write("OK\n");
      socket->flush();
      if (!paths.isEmpty()) emit filesReceived(paths);
    });
  }
}

}  // namespace swapp
