#include "app/AboutPage.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <regex>

#include "app/Deployment.h"
#include "app/Settings.h"

namespace velkor {
namespace {

TEST(AboutPageTest, LayoutAndCredits) {
  const std::string page = BuildAboutPage();
  const std::regex shape(
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
      "</head><body><h1>Monazilla/1\\.00 \\(Velkor/0\\.7\\.8\\)</h1>"
      "Compiled [0-2][0-9]:[0-5][0-9]:[0-5][0-9] [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}<br>"
      "<hr>Oniguruma [0-9.]+[^<]*<hr>zlib version ([^<]+)<hr></body></html>");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(page, match, shape)) << page;
  EXPECT_EQ(match[1].str(), ZLIB_VERSION);
}

TEST(AboutPageTest, HeadingIsTheUserAgentInUseAsText) {
  AppSettings().userAgent = "Monazilla/1.00 <b>&";
  const std::string page = BuildAboutPage();
  AppSettings().userAgent = std::string(kUserAgent);
  EXPECT_NE(page.find("<h1>Monazilla/1.00 &lt;b&gt;&amp;</h1>"), std::string::npos) << page;
}

}  // namespace
}  // namespace velkor
