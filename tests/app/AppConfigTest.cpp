#include "app/AppConfig.h"

#include <gtest/gtest.h>

#include "app/Deployment.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

class AppConfigTest : public ::testing::Test {
 protected:
  AppConfig& Open(std::string_view text) {
    if (!text.empty()) dir_.WriteFile("ini/config.ini", text);
    config_.Open(Path());
    return config_;
  }
  std::string Path() const { return dir_.Path() + "/ini/config.ini"; }
  std::string FileText() const { return dir_.ReadFile("ini/config.ini"); }

  test::TempDataDir dir_;
  AppConfig config_;
};

TEST_F(AppConfigTest, MissingFileGivesEveryDefault) {
  AppConfig& config = Open("");
  Settings settings;
  settings.subjectGzip = false;
  DisplaySettings display;
  display.boardFontSize = 99;
  config.LoadSettings(settings, display);
  EXPECT_TRUE(settings.subjectGzip);
  EXPECT_FALSE(settings.debugLog);
  EXPECT_FALSE(settings.newTabOpen);
  EXPECT_EQ(settings.browserApp, "");
  EXPECT_EQ(settings.userAgent, "Monazilla/1.00 (Velkor/0.7.8)");
  EXPECT_EQ(settings.subjectSubscribeColor, 0xFFFF);
  EXPECT_EQ(settings.newThreadColor, 0xFAEEE2);
  EXPECT_EQ(settings.unreadThreadColor, 0x00A2FF);
  EXPECT_EQ(settings.pastThreadColor, 0xFFFF);
  EXPECT_FALSE(settings.cacheServerEnable);
  EXPECT_EQ(settings.cacheServerMatch, ".5ch.io");
  EXPECT_EQ(settings.cacheServerHost, "");
  EXPECT_EQ(display.boardFontSize, 10);
  EXPECT_EQ(display.threadFontSize, 10);
  EXPECT_FALSE(display.tabMultiLine);
  EXPECT_EQ(display.tabStyle, 0);
  EXPECT_EQ(settings.autoReloadInterval, 30);

  WindowLayout layout = config.LoadWindowLayout();
  EXPECT_EQ(layout.top, 0);
  EXPECT_EQ(layout.left, 0);
  EXPECT_EQ(layout.width, 640);
  EXPECT_EQ(layout.height, 480);
  EXPECT_TRUE(layout.sidebarVisible);
  EXPECT_EQ(layout.sidebarWidth, 180);
  EXPECT_EQ(layout.subjectHeight, 130);
  EXPECT_EQ(config.LoadColumnWidths(10),
            (std::vector<int>{0, 38, 38, 325, 40, 40, 40, 180, 100, 120}));
  std::vector<std::string> history;
  config.ReadMenuHistory(history);
  EXPECT_EQ(history, std::vector<std::string>{std::string(kBoardMenuUrl)});
  EXPECT_EQ(config.ReadMenuTimestamp(), "");
  EXPECT_EQ(FileText(), "<missing>") << "reading never creates the file";
}

TEST_F(AppConfigTest, MalformedAndHexValues) {
  AppConfig& config = Open(
      "[LookFeel]\r\nUnreadThreadColor=0xFF\r\nNewThreadColor=abc\r\nPastThreadColor=$FF00\r\n"
      "BoardFontSize=12pt\r\n"
      "[mainform]\r\nSidebarVisible=2\r\nSubjectColumn=10,20,4294967306\r\nwidth=-5\r\n"
      "height=4294967776\r\n"
      "[kodawari]\r\nbrowserapp=\r\nSubjectGzip=0\r\nHeavyPosterThreshold=3\r\n"
      "AutoReloadInterval=5\r\nImageLoad=3\r\nImageCacheSize=0\r\n");
  Settings settings;
  DisplaySettings display;
  config.LoadSettings(settings, display);
  EXPECT_EQ(settings.unreadThreadColor, 255);
  EXPECT_EQ(settings.newThreadColor, 0xFAEEE2);
  EXPECT_EQ(settings.pastThreadColor, 0xFF00);
  EXPECT_EQ(display.boardFontSize, 10);
  EXPECT_FALSE(settings.subjectGzip);
  EXPECT_EQ(settings.browserApp, "");
  EXPECT_EQ(settings.heavyPosterThreshold, 3);
  EXPECT_EQ(settings.autoReloadInterval, 10) << "never below 10 seconds";
  EXPECT_EQ(settings.imageLoad, Settings::ImageLoad::kOnClick);
  EXPECT_EQ(settings.imageCacheMegabytes, 1);
  WindowLayout layout = config.LoadWindowLayout();
  EXPECT_TRUE(layout.sidebarVisible);
  EXPECT_EQ(layout.width, -5);
  EXPECT_EQ(layout.height, 480) << "a value beyond the field's range is no value";
  EXPECT_EQ(config.LoadColumnWidths(10),
            (std::vector<int>{10, 20, 40, 40, 40, 40, 40, 40, 40, 40}));
}

struct UserAgentCase {
  const char* value;
  const char* used;
};

class AppConfigUserAgentTest : public AppConfigTest,
                               public testing::WithParamInterface<UserAgentCase> {};

TEST_P(AppConfigUserAgentTest, UsedWhenItCannotBreakARequest) {
  AppConfig& config = Open(std::string("[Kodawari]\r\nUserAgent=") + GetParam().value + "\r\n");
  Settings settings;
  DisplaySettings display;
  config.LoadSettings(settings, display);
  EXPECT_EQ(settings.userAgent, GetParam().used);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AppConfigUserAgentTest,
    testing::Values(UserAgentCase{"Monazilla/1.00 (Mine/2.1)", "Monazilla/1.00 (Mine/2.1)"},
                    UserAgentCase{"Monazilla/1.00\tX", "Monazilla/1.00 (Velkor/0.7.8)"},
                    UserAgentCase{"Mona\x7Fzilla", "Monazilla/1.00 (Velkor/0.7.8)"},
                    UserAgentCase{"", "Monazilla/1.00 (Velkor/0.7.8)"}));

TEST_F(AppConfigTest, ColumnWidthsWithBadItemsAndSurplus) {
  AppConfig& config = Open("[MainForm]\r\nSubjectColumn=1,x,\"3\",4,5\r\n");
  EXPECT_EQ(config.LoadColumnWidths(4), (std::vector<int>{1, 40, 3, 4}));
  config.SaveColumnWidths({0, 38, 325}, true);
  EXPECT_EQ(FileText(), "[MainForm]\r\nSubjectColumn=0,38,325\r\n\r\n");
}

TEST_F(AppConfigTest, MenuHistory) {
  AppConfig& config =
      Open("[BBSMenuURL]\r\nHistory1=\r\nHistory3=u\r\nHistory4=v\r\nHistory5=w\r\n");
  std::vector<std::string> history{"stale"};
  config.ReadMenuHistory(history);
  EXPECT_EQ(history, (std::vector<std::string>{"", "u", "v", "w"}));
  config.WriteMenuHistory({"a", "b"}, false);
  EXPECT_EQ(FileText(), "[BBSMenuURL]\r\nHistory1=\r\nHistory3=u\r\nHistory4=v\r\nHistory5=w\r\n")
      << "no flush asked";
  config.WriteMenuHistory({}, true);
  config.WriteMenuTimestamp(" Tue, 01 Dec 2026 10:00:00 GMT", true);
  EXPECT_EQ(FileText(),
            "[BBSMenuURL]\r\nHistory1=a\r\nHistory3=u\r\nHistory4=v\r\nHistory5=w\r\nHistory2=b\r\n"
            "Timestamp= Tue, 01 Dec 2026 10:00:00 GMT\r\n\r\n");
  EXPECT_EQ(config.ReadMenuTimestamp(), " Tue, 01 Dec 2026 10:00:00 GMT");
}

TEST_F(AppConfigTest, SettingsDialogRoundTrip) {
  AppConfig& config = Open("[Kodawari]\r\nTabMultiLine=1\r\nTabStyle=2\r\n");
  Settings settings;
  settings.browserApp = "firefox";
  SettingsDialogValues values;
  config.FillSettingsDialog(settings, 12, 9, values);
  EXPECT_TRUE(values.tabMultiLine);
  EXPECT_EQ(values.tabStyle, 2);
  EXPECT_EQ(values.boardFontSize, 12);
  EXPECT_EQ(values.threadFontSize, 9);
  EXPECT_EQ(values.colours[2], 0x00A2FF);
  EXPECT_EQ(values.browserApp, "firefox");
  EXPECT_EQ(values.pageFontSize, 12);
  EXPECT_TRUE(values.restoreSession);
  values.newTabOpen = true;
  values.colours[6] = 255;
  values.cacheServerHost = "cache.example";
  config.SaveSettingsDialog(values, true);
  EXPECT_EQ(
      FileText(),
      "[Kodawari]\r\nTabMultiLine=1\r\nTabStyle=2\r\nSubjectGzip=1\r\nDebugLog=0\r\n"
      "NewTabOpen=1\r\nBrowserApp=firefox\r\n\r\n"
      "[LookFeel]\r\nBoardFontSize=12\r\nThreadFontSize=9\r\nSubjectSubscribeColor=65535\r\n"
      "NewThreadColor=16445154\r\nUnreadThreadColor=41727\r\nLogExistThreadColor=16777215\r\n"
      "NologThreadColor=16777215\r\nOver1000ThreadColor=16777215\r\nPastThreadColor=255\r\n\r\n"
      "[CacheServer]\r\nEnable=0\r\nMatch=.5ch.io\r\nHost=cache.example\r\n\r\n");
  values.imageLoad = Settings::ImageLoad::kAutomatic;
  values.imageCacheMegabytes = 50;
  values.pageFontSize = 14;
  values.restoreSession = false;
  config.SaveSettingsDialog(values, true);
  EXPECT_NE(
      FileText().find(
          "BrowserApp=firefox\r\nRestoreSession=0\r\nImageLoad=2\r\nImageCacheSize=50\r\n\r\n"),
      std::string::npos)
      << "image, session and page font keys are written when changed only";
  EXPECT_NE(FileText().find("PastThreadColor=255\r\nPageFontSize=14\r\n\r\n"), std::string::npos);
  Settings reloaded;
  DisplaySettings display;
  config.LoadSettings(reloaded, display);
  EXPECT_EQ(reloaded.imageLoad, Settings::ImageLoad::kAutomatic);
  EXPECT_FALSE(reloaded.imageMosaic);
  EXPECT_EQ(reloaded.imageCacheMegabytes, 50);
  EXPECT_TRUE(reloaded.newTabOpen);
  EXPECT_EQ(reloaded.pastThreadColor, 255);
  EXPECT_EQ(display.tabStyle, 2);
  EXPECT_FALSE(reloaded.restoreSession);
  EXPECT_EQ(display.pageFontSize, 14);

  // The reload interval is written once it is not the default, and from then on always.
  values.autoReloadInterval = 45;
  config.SaveSettingsDialog(values, true);
  EXPECT_NE(FileText().find("ImageCacheSize=50\r\nAutoReloadInterval=45\r\n\r\n"),
            std::string::npos);
  values.autoReloadInterval = 30;
  config.SaveSettingsDialog(values, true);
  EXPECT_NE(FileText().find("AutoReloadInterval=30\r\n"), std::string::npos);
}

TEST_F(AppConfigTest, WindowLayoutWrittenInTableOrder) {
  AppConfig& config = Open("");
  WindowLayout layout;
  layout.top = 10;
  layout.sidebarVisible = false;
  config.SaveWindowLayout(layout, true);
  EXPECT_EQ(FileText(),
            "[MainForm]\r\ntop=10\r\nleft=0\r\nwidth=640\r\nheight=480\r\nSidebarVisible=0\r\n"
            "ViewStyle=180\r\nSidebarWidth=180\r\nSubjectHeight=130\r\n\r\n");
}

// [Keys]: stored texts replace the defaults; only changed commands are written, so a text the
// window cannot use and an unknown name stay in the file; going back to the default removes the
// key.
TEST_F(AppConfigTest, KeyBindingsKeepWhatWasNotChanged) {
  AppConfig& config =
      Open("[Keys]\r\nCloseTab=Ctrl+Alt+W\r\nFind=Ctrl+Nonsense\r\nLater=Ctrl+L\r\nQuit=\r\n\r\n");
  KeyBindings keys = config.LoadKeyBindings();
  EXPECT_EQ(keys.Keys("CloseTab"), "Ctrl+Alt+W");
  EXPECT_EQ(keys.Keys("Find"), "Ctrl+Nonsense");
  EXPECT_EQ(keys.Keys("Quit"), "") << "an empty value means no key";
  EXPECT_EQ(keys.Keys("ZoomIn"), "Ctrl++; Ctrl+=");
  EXPECT_EQ(keys.Keys("Later"), "") << "not a command";

  keys.Set("ZoomOut", "Ctrl+Shift+-");
  keys.Set("CloseTab", std::nullopt);
  keys.Set("Later", "F12");
  EXPECT_EQ(keys.Keys("CloseTab"), "Ctrl+W");
  config.SaveKeyBindings(keys, true);
  EXPECT_EQ(
      FileText(),
      "[Keys]\r\nFind=Ctrl+Nonsense\r\nLater=Ctrl+L\r\nQuit=\r\nZoomOut=Ctrl+Shift+-\r\n\r\n");
  EXPECT_EQ(AppConfig().LoadKeyBindings().Keys("Find"), "Ctrl+F") << "unbound: the defaults";
}

TEST(AppConfigUnboundTest, DoesNothingWithoutFile) {
  AppConfig config;
  Settings settings;
  settings.debugLog = true;
  DisplaySettings display;
  config.LoadSettings(settings, display);
  EXPECT_TRUE(settings.debugLog);
  std::vector<std::string> history{"stale"};
  config.ReadMenuHistory(history);
  EXPECT_TRUE(history.empty());
  EXPECT_EQ(config.ReadMenuTimestamp(), "");
}

}  // namespace
}  // namespace velkor
