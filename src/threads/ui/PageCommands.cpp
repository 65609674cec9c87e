#include "threads/ui/PageCommands.h"

#include <QMetaMethod>

namespace velkor {

bool PageCommands::HasReplyWindow() const {
  return isSignalConnected(QMetaMethod::fromSignal(&PageCommands::ReplyRequested));
}

PageCommands& ThreadPageCommands() {
  static PageCommands commands;
  return commands;
}

}  // namespace velkor
