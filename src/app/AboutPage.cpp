#include "app/AboutPage.h"

#include <oniguruma.h>
#include <zlib.h>

#include "app/HtmlPage.h"
#include "app/Settings.h"

namespace velkor {

std::string BuildAboutPage() {
  std::string page(kHtmlPageHead);
  page += "<h1>";
  page += HtmlText(AppSettings().userAgent);
  page += "</h1>";
  page += "Compiled " __TIME__ " " __DATE__ "<br>";
  page += "<hr>Oniguruma ";
  page += onig_version();
  page += " (regular expressions)<hr>zlib version " ZLIB_VERSION "<hr>";
  page += kHtmlPageTail;
  return page;
}

}  // namespace velkor
