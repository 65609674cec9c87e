#include "post/PostPreview.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

// The preview is the reply as the page will show it: nothing typed becomes markup, anchors and
// URLs are linked, the name stands as the server would show it, the skin's templates frame it.
TEST(PostPreviewTest, ShowsThePostAsThePageWill) {
  Skin skin;
  skin.header = "<h1><&TITLE></h1>";
  skin.newRes = "[<NUMBER/>|<NAME/>|<MAIL/>|<MESSAGE/>]";
  skin.footer = "<end>";
  PostFields fields;
  fields.name = S("名前#秘密");
  fields.mail = "\"sage\"";
  fields.message = "<script>x</script>\r\n>>3 http://a.io/";
  const std::string page =
      PostPreviewPage(skin, "T <b>", fields, 12, S("名無しさん"), std::time_t{0});
  EXPECT_EQ(
      page,
      S("<h1>T <b></h1><a name=\"a12\"></a>[<a href=\"menu:12\">12</a>|名前 ◆…|&quot;sage&quot;|"
        " &lt;script&gt;x&lt;/script&gt; <br> <a href=\"#a3,\">&gt;&gt;3 </a>"
        "<a href=\"http://a.io/\">http://a.io/</a> ]<end>"));
  fields.name = S("＃key");
  EXPECT_NE(PostPreviewPage(skin, "", fields, 1, S("名無しさん"), 0).find(S("|名無しさん ◆…|")),
            std::string::npos);
}

}  // namespace
}  // namespace velkor
