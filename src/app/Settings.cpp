#include "app/Settings.h"

namespace velkor {

Settings& AppSettings() {
  static Settings settings;
  return settings;
}

}  // namespace velkor
