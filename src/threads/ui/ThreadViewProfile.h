#pragma once

class QWebEngineProfile;

namespace velkor {

class ThreadSchemeHandler;

// Registers the page scheme of the thread views with WebEngine. Must run before the application
// object is created; it runs by itself when the program starts, and again is harmless.
void RegisterThreadViewScheme();

// The browser profile every thread view uses: nothing kept on disk, pages served by
// ThreadPages(), every load from outside the program blocked, page scripts off and the Japanese
// gothic as the default font. Made on first use (the application object must exist).
QWebEngineProfile* ThreadViewProfile();
ThreadSchemeHandler* ThreadPages();

}  // namespace velkor
