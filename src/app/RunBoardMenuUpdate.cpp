#include "app/RunBoardMenuUpdate.h"

#include <QWidget>

namespace velkor {

// The update dialog arrives with the board catalog; until then the start-up decisions land here.
void RunBoardMenuUpdate(QWidget*, bool, bool) {}

}  // namespace velkor
