#pragma once

#include <QString>

namespace velkor {

// A script for the program's script world, run when a page's document is created, that lets a
// large page show its first screen long before it is laid out whole: until the page has been
// parsed, the browser lays out only the reply texts ("dd" elements) near the view and gives the
// others a provisional height; once parsed, the rest is laid out a batch at a time when the
// browser is idle, after which the page is laid out exactly as without the script (no text is
// clipped or wrapped differently; the view keeps the text it shows while heights above it change).
QString LazyLayoutScript();

}  // namespace velkor
