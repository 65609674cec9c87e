#pragma once

#include <cstdint>

namespace velkor {

// The main window's geometry as the configuration file keeps it (MainForm section).
struct WindowLayout {
  int top = 0;
  int left = 0;
  int width = 640;
  int height = 480;
  bool sidebarVisible = true;
  std::int8_t viewStyle = static_cast<std::int8_t>(180);  // kept for the file's sake, not used
  int sidebarWidth = 180;
  int subjectHeight = 130;
};

}  // namespace velkor
