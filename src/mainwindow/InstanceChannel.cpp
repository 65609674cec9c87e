#include "mainwindow/InstanceChannel.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace velkor {

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      socket->disconnectFromServer();
      socket->deleteLater();
      if (raise_) raise_();
    }
  });
}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::NameFor(const std::string& dataDir) {
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(dataDir), QCryptographicHash::Sha256)
          .toHex()
          .left(16);
  return QStringLiteral("velkor-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool InstanceChannel::Listen(const std::string& dataDir, std::function<void()> raise) {
  raise_ = std::move(raise);
  const QString name = NameFor(dataDir);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (server_->listen(name)) return true;
  QLocalServer::removeServer(name);
  return server_->listen(name);
}

bool InstanceChannel::AskToRaise(const std::string& dataDir, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(NameFor(dataDir));
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.disconnectFromServer();
  return true;
}

}  // namespace velkor
