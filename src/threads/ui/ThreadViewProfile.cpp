#include "threads/ui/ThreadViewProfile.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "gui/GuiText.h"
#include "threads/ui/ThreadSchemeHandler.h"

namespace velkor {

namespace {

// Lets the views load their own pages and nothing from the network or the disk.
class RemoteLoadBlocker : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QString scheme = info.requestUrl().scheme();
    if (scheme != QLatin1String(ThreadSchemeHandler::kScheme) && scheme != QLatin1String("data") &&
        scheme != QLatin1String("about")) {
      info.block(true);
    }
  }
};

struct ProfileParts {
  QWebEngineProfile* profile = nullptr;
  ThreadSchemeHandler* pages = nullptr;
};

ProfileParts& Parts() {
  static ProfileParts parts;
  if (parts.profile == nullptr) {
    // Parented to the application so it goes before WebEngine shuts down.
    parts.profile = new QWebEngineProfile(QCoreApplication::instance());
    parts.pages = new ThreadSchemeHandler(parts.profile);
    parts.profile->installUrlSchemeHandler(ThreadSchemeHandler::kScheme, parts.pages);
    parts.profile->setUrlRequestInterceptor(new RemoteLoadBlocker(parts.profile));
    parts.profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    parts.profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QWebEngineSettings* settings = parts.profile->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // Images load from the program's own scheme only (thumbnails): the interceptor blocks the rest.
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, true);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    const QString gothic = GothicFamily();
    settings->setFontFamily(QWebEngineSettings::StandardFont, gothic);
    settings->setFontFamily(QWebEngineSettings::SansSerifFont, gothic);
    settings->setDefaultTextEncoding(QStringLiteral("Shift_JIS"));
    QObject::connect(parts.profile, &QObject::destroyed, [] { Parts() = ProfileParts(); });
  }
  return parts;
}

}  // namespace

void RegisterThreadViewScheme() {
  if (QWebEngineUrlScheme::schemeByName(ThreadSchemeHandler::kScheme).name().isEmpty()) {
    QWebEngineUrlScheme scheme(ThreadSchemeHandler::kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
  }
}

Q_CONSTRUCTOR_FUNCTION(RegisterThreadViewScheme)

QWebEngineProfile* ThreadViewProfile() {
  return Parts().profile;
}

ThreadSchemeHandler* ThreadPages() {
  return Parts().pages;
}

}  // namespace velkor
