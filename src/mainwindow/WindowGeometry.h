#pragma once

#include <QRect>
#include <optional>

namespace velkor {

// Where the main window opens on a screen whose free area (without panels and docks) is
// `available`. A saved geometry keeps its size and place, made to fit that area and moved into it
// when it lies (partly) outside, as after a change of screens. Without one (a first start) the
// window takes most of the area, at least 960 x 680 where the area allows, centred: room for the
// side bar, the thread list and a thread.
QRect OpeningGeometry(const std::optional<QRect>& saved, const QRect& available);

}  // namespace velkor
