#pragma once

#include <QJsonObject>
#include <QString>

namespace velkor {

// A script for the program's script world, run when a page's document is created, that adds the
// reply decorations to the page while it is parsed: each frame decorates the replies whose
// headers have arrived (a reply's header is complete once the next reply's number link is there),
// the rest when parsing ends, when the body gets the attribute "data-velkor-decorated". So the
// decorations come with the text instead of after the whole page.
//
// `decorations` maps reply numbers (as text) to {"answers": count} and/or {"id": text,
// "position": n, "count": n, "heavy": bool} and/or {"own": true} and/or {"toOwn": true}: the count
// "(3)" goes after the reply's number link "menu:k"; "ID:text" in the reply's header (up to the
// next reply anchor) is followed by " (position/count)", both marked with data-velkor-kind
// ("answers", "id") and data-velkor-reply, the ID coloured when heavy; an own reply gets "[自分]"
// right after its number link (a span with data-velkor-own); a reply answering an own one gets a
// background on the block holding its number link (and, for a <dt>, on the <dd> after it) and
// data-velkor-to-own on the link. The page's bytes stay as written.
QString DecorationScript(const QJsonObject& decorations);

}  // namespace velkor
