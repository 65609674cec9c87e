#pragma once

// The reply window's preview: the post shown as the thread page would show it once posted.

#include <ctime>
#include <string>
#include <string_view>

#include "post/PostForm.h"
#include "threads/Skin.h"

namespace velkor {

// A page (CP932) of `skin`'s Header (its "<&TITLE>" the thread's `title`), the post of `fields`
// as reply `number` rendered with NewRes, and the Footer. The post is first written as the server
// stores it ("<", ">", '"' as entities, line breaks as "<br>"; the name up to its trip key, or
// `nonameName` when that part is empty, with " ◆…" for a trip still to come; the date of `now` in
// local time) and then converted as a stored log is (anchors and URLs linked, nothing typed
// becomes markup of its own).
std::string PostPreviewPage(const Skin& skin, std::string_view title, const PostFields& fields,
                            int number, std::string_view nonameName, std::time_t now);

}  // namespace velkor
