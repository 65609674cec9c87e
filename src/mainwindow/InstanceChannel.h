#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QLocalServer;

namespace velkor {

// How a second start of the program on the same data directory reaches the running one: instead of
// ending silently it asks that one to bring its window to the front. The running program listens
// on a local socket named after the user and the data directory (readable and writable by the
// user only); a connection to it is the whole request, nothing is read from it.
class InstanceChannel : public QObject {
  Q_OBJECT

 public:
  explicit InstanceChannel(QObject* parent = nullptr);
  ~InstanceChannel() override;

  // The socket name for the data directory `dataDir`.
  static QString NameFor(const std::string& dataDir);

  // In the running program (the holder of the single-instance lock, so a socket left by a crash
  // may be taken over): listens for `dataDir`; every connection calls `raise`. False when the
  // socket cannot be made.
  bool Listen(const std::string& dataDir, std::function<void()> raise);

  // In a second start: reaches the program running on `dataDir` within `timeoutMs`; true when
  // the request was delivered.
  static bool AskToRaise(const std::string& dataDir, int timeoutMs);

 private:
  QLocalServer* server_;
  std::function<void()> raise_;
};

}  // namespace velkor
