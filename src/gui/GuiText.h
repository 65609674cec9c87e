#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

#include "app/Settings.h"

namespace velkor {

// The edge between the core's CP932 texts and colours and the widgets, said once for every window.

// CP932 bytes as a QString; bytes that are not CP932 become replacement characters.
QString FromSjis(std::string_view sjis);
// A QString as CP932 bytes; characters CP932 lacks are replaced.
std::string ToSjis(const QString& text);
// A colour as the configuration stores it (0x00BBGGRR) and back.
QColor ToQColor(Colour colour);
Colour FromQColor(const QColor& colour);
// Black or white, whichever reads on `background`: rows painted with a configured colour keep
// readable text under a dark palette.
QColor TextColourOn(const QColor& background);
// The program's Japanese proportional gothic, in order of preference: IPAPGothic, then Noto Sans
// CJK JP.
QStringList GothicFamilies();
// A font of those families (Qt picks the first installed one), at the application's default size.
QFont GothicFont();
// The first of those families that is installed, else the application's default family.
QString GothicFamily();

}  // namespace velkor
