#pragma once

#include <string>

namespace velkor {

// The about page (CP932 HTML): the User-Agent the program sends (Settings::userAgent, escaped) as
// heading, the build time stamp, and the credits of the regular-expression library and the zlib
// version the program is built with.
std::string BuildAboutPage();

}  // namespace velkor
