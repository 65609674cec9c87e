// The main window's keyboard as a user meets it: the keys of the key table pressed wherever the
// focus is (the thread page included), the mouse's back and forward buttons, Enter on a row, the
// find bar, reloading the shown thread, and changing keys in the settings dialog's key page.
// Board hosts point at a closed loopback port unless a test serves them itself.

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <memory>
#include <optional>

#include "PresetDialogs.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/ui/BoardTreeWidget.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/KeyPage.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"
#include "subjects/SubjectList.h"
#include "subjects/ui/SubjectListView.h"
#include "support/HttpTestServer.h"
#include "threads/ui/FindBar.h"
#include "threads/ui/PageCommands.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"

using namespace velkor;

namespace {

constexpr char kClosedPort[] = "news.test=127.0.0.1:1";

// Dat lines `from`..`to`; reply 120 answers reply 3, and replies 2, 5 and 9 hold a cat, the last
// one as a character reference the page shows as the character.
std::string Dat(int from, int to) {
  std::string log;
  for (int k = from; k <= to; ++k) {
    std::string body = "message " + std::to_string(k);
    if (k == 2 || k == 5) body += Sjis(" 猫がいる");
    if (k == 9) body += " &#29483;";
    if (k == 120) body += " &gt;&gt;3";
    log += "name" + std::to_string(k) + "<>sage<>2026/12/07 ID:id" + std::to_string(k % 7) + "<>" +
           body + " <>" + (k == 1 ? Sjis("スレ") : std::string()) + "\n";
  }
  return log;
}

std::string IniSection(const std::string& dat, const std::string& title, int replies,
                       std::size_t size) {
  const std::string count = std::to_string(replies);
  return "[" + dat + "]\r\nNowNo=1\r\nPreNo=1\r\nResCount=" + count + "\r\nTitle=" + Sjis(title) +
         "\r\nGotCount=" + count + "\r\nUnread=" + std::to_string(replies + 1) +
         "\r\nDatSize=" + std::to_string(size) + "\r\n\r\n";
}

// The keys go where the user's keyboard goes: the widget with the focus.
void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  if (target == nullptr) target = QApplication::activeWindow();
  QTest::keyClick(target, key, modifiers);
}

std::optional<ReadingSpot> SpotOf(ThreadTab* tab) {
  auto spot = std::make_shared<std::optional<ReadingSpot>>();
  auto done = std::make_shared<bool>(false);
  tab->View()->ReadSpot([spot, done](std::optional<ReadingSpot> read) {
    *spot = read;
    *done = true;
  });
  if (!QTest::qWaitFor([&done] { return *done; }, 5000)) return std::nullopt;
  return *spot;
}

// Japanese text arrives from the input method as committed text.
void Type(QWidget* target, const QString& text) {
  QInputMethodEvent commit;
  commit.setCommitString(text);
  QApplication::sendEvent(target, &commit);
}

bool HasFocusIn(const QWidget* pane) {
  const QWidget* focus = QApplication::focusWidget();
  return focus != nullptr && (focus == pane || pane->isAncestorOf(focus));
}

}  // namespace

class TMainFormKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
    QVERIFY(AddConnectOverrides({kClosedPort}).IsOk());
    const std::string favorites = Sjis("[ニュース]\r\n速報=http://news.test/flash/\r\n\r\n");
    QVERIFY(ReplaceFile(IniDir() + "/subscrib.ini", favorites));
    QVERIFY(ReplaceFile(IniDir() + "/board.ini", favorites));
    // A key text the window cannot read, one for a command that does not exist, and one whose key
    // an earlier command has: the first and last fall back to their defaults.
    QVERIFY(
        ReplaceFile(IniDir() + "/config.ini",
                    "[Keys]\r\nFind=Ctrl+Nonsense\r\nLater=Ctrl+L\r\nZoomReset=Ctrl+W\r\n\r\n"));
    boardDir_ = LogDir() + "/news.test/flash/";
    QVERIFY(MakeDirectories(boardDir_));
    std::string ini;
    for (int key = 1; key <= 3; ++key) {
      const std::string dat = std::to_string(1000000000 + key) + ".dat";
      QVERIFY(ReplaceFile(boardDir_ + dat, Dat(1, 3)));
      ini += IniSection(dat, "スレ" + std::to_string(key), 3, Dat(1, 3).size());
    }
    QVERIFY(ReplaceFile(boardDir_ + kBig, Dat(1, 120)));
    ini += IniSection(kBig, "大きいスレ", 120, Dat(1, 120).size());
    QVERIFY(ReplaceFile(boardDir_ + "subject.ini", ini));
  }

  void cleanupTestCase() { ClearConnectOverrides(); }

  void init() {
    form_ = std::make_unique<TMainForm>();
    hooks_ = std::make_unique<GuiUiHooks>(form_.get());
    SetUiHooks(hooks_.get());
    form_->resize(1000, 700);
    form_->SetSubjectExpanded(false);
    form_->show();
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    tabs_ = form_->findChild<QTabWidget*>("tabPageControl");
  }

  void cleanup() {
    ThreadTabs().CloseAllTabs();
    AppPopup().HidePopup();
    SetUiHooks(nullptr);
    hooks_.reset();
    form_.reset();
  }

  // The keys of the key table work with the focus in the page, and menus and tooltips name them;
  // config.ini's unreadable and clashing texts leave their commands the default keys.
  void tabAndWindowKeysFromThePage() {
    for (int key = 1; key <= 3; ++key) OpenSmall(key);
    QCOMPARE(tabs_->count(), 3);
    FocusPage();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs_->currentIndex(), 0);
    FocusPage();
    // Shift+Tab comes as Backtab from the keyboard.
    Press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs_->currentIndex(), 2);
    Press(Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(tabs_->currentIndex(), 1);
    FocusPage();
    Press(Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(tabs_->count(), 2);
    Press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs_->count(), 3);
    QCOMPARE(tabs_->currentIndex(), 2);
    QCOMPARE(ThreadTabs().ActiveTab()->DatName(), std::string("1000000002.dat"));
    QCOMPARE(tabs_->tabText(2), QString::fromUtf8("スレ2"));

    // Page zoom: every page, a step at a time, back to 100 % with Ctrl+0 (not Ctrl+W, which the
    // file gave it but closing a tab has).
    FocusPage();
    Press(Qt::Key_Plus, Qt::ControlModifier);
    QTRY_COMPARE(ThreadTabs().ActiveTab()->View()->zoomFactor(), 1.1);
    for (int i = 0; i < 2; ++i) {
      Press(Qt::Key_PageUp, Qt::ControlModifier);  // hidden pages, maybe discarded meanwhile
      QTRY_COMPARE(ThreadTabs().ActiveTab()->View()->zoomFactor(), 1.1);
    }
    Press(Qt::Key_Minus, Qt::ControlModifier);
    Press(Qt::Key_Minus, Qt::ControlModifier);
    QTRY_COMPARE(ThreadTabs().ActiveTab()->View()->zoomFactor(), 0.9);
    Press(Qt::Key_0, Qt::ControlModifier);
    QTRY_COMPARE(ThreadTabs().ActiveTab()->View()->zoomFactor(), 1.0);
    QCOMPARE(tabs_->count(), 3);

    const auto shortcut = [this](const char* name) {
      return form_->findChild<QAction*>(name)->shortcut().toString(QKeySequence::PortableText);
    };
    QCOMPARE(shortcut("findAction"), QString("Ctrl+F"));
    QCOMPARE(shortcut("zoomResetAction"), QString("Ctrl+0"));
    QCOMPARE(shortcut("closeTabAction"), QString("Ctrl+W"));
    QCOMPARE(shortcut("checkAction"), QString("F9"));
    QCOMPARE(shortcut("tabCloseMI"), QString("Ctrl+W"));
    QCOMPARE(shortcut("tabReloadMI"), QString("Shift+F5"));
    QCOMPARE(shortcut("optionQuitMI"), QString("Ctrl+Q"));
    QCOMPARE(form_->findChild<QToolButton*>("subjectCheckToolButton")->toolTip(),
             QString::fromUtf8("お気に入りの板の新着チェック (F9)"));
    QVERIFY(form_->findChild<QToolButton*>("tabReloadButton")->toolTip().endsWith("(Shift+F5)"));

    // Esc closes every pop-up, a pinned one too, and the find bar.
    AppPopup().ShowText(Sjis("1 名前：name1"), QCursor::pos());
    QTest::mouseClick(&AppPopup(), Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(AppPopup().IsPinned());
    Press(Qt::Key_F, Qt::ControlModifier);
    auto* bar = form_->findChild<FindBar*>("findBar");
    QVERIFY(bar->isVisible());
    QVERIFY(bar->findEdit->hasFocus());
    Press(Qt::Key_Escape);
    QVERIFY(!AppPopup().isVisible());
    QVERIFY(!bar->isVisible());
    QTRY_VERIFY(HasFocusIn(ThreadTabs().ActiveTab()));

    Press(Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!form_->isVisible());
  }

  // F6 walks board tree, thread list and page, and Shift+F6 back; Enter on a thread row opens it.
  void paneRingAndEnter() {
    auto* tree = form_->findChild<BoardTreeWidget*>("subscribeTreeView");
    auto* list = form_->findChild<SubjectListView*>("SubjectListView");
    form_->Subjects().Bind(boardDir_ + "subject.ini");
    list->Fill(ShowTypeMask(ShowType::kAll));
    int row = -1;
    for (int r = 0; r < list->model()->rowCount(); ++r) {
      if (list->model()->index(r, 3).data().toString() == QString::fromUtf8("大きいスレ")) row = r;
    }
    QVERIFY(row >= 0);
    list->selectRow(row);
    OpenSmall(1);
    FocusPage();
    Press(Qt::Key_F6);
    QVERIFY(HasFocusIn(tree));
    Press(Qt::Key_F6);
    QVERIFY(HasFocusIn(list));
    Press(Qt::Key_F6);
    QTRY_VERIFY(HasFocusIn(ThreadTabs().ActiveTab()));
    Press(Qt::Key_F6, Qt::ShiftModifier);
    QVERIFY(HasFocusIn(list));
    Press(Qt::Key_Return);
    QCOMPARE(tabs_->count(), 1);  // a row opens in the active tab (NewTabOpen is off)
    QCOMPARE(ThreadTabs().ActiveTab()->DatName(), std::string(kBig));
  }

  // Following ">>3" records the place left; Alt+Left and the mouse's back button return there,
  // Alt+Right goes to reply 3 again; a closed tab comes back where it was.
  void backAndForwardAfterAJump() {
    form_->OpenThreadInNewTab(boardDir_, kBig, "a100", 121, Sjis("大きいスレ"));
    ThreadTab* tab = ThreadTabs().ActiveTab();
    QTRY_VERIFY(!tab->View()->IsLoading());
    QCOMPARE(tab->OldShown(), 50);
    const std::optional<ReadingSpot> start = SpotOf(tab);
    QVERIFY(start && start->reply == 100);
    // The page is drawn anew at once, so the click's script never answers.
    tab->View()->page()->runJavaScript("document.querySelector('a[href^=\"#a3\"]').click()",
                                       QWebEngineScript::ApplicationWorld);
    QTRY_COMPARE(tab->OldShown(), 0);  // reply 3 was omitted: every reply is shown
    QTRY_COMPARE(SpotOf(tab)->reply, 3);

    FocusPage();
    Press(Qt::Key_Left, Qt::AltModifier);
    QTRY_COMPARE(SpotOf(tab), start);
    Press(Qt::Key_Right, Qt::AltModifier);
    QTRY_COMPARE(SpotOf(tab)->reply, 3);
    QTest::mouseClick(tab->View()->focusProxy(), Qt::BackButton, {}, QPoint(50, 50));
    QTRY_COMPARE(SpotOf(tab), start);
    QVERIFY(!tab->Jumps().CanGoBack());

    Press(Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(tabs_->count(), 0);
    Press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    tab = ThreadTabs().ActiveTab();
    QVERIFY(tab != nullptr);
    QCOMPARE(tab->OldShown(), 0);
    QTRY_VERIFY(!tab->View()->IsLoading());
    QTRY_COMPARE(SpotOf(tab), start);
  }

  // Ctrl+F finds as the text is typed, in the characters the page shows (a character reference
  // counts as its character), counts the matches and steps through them.
  void findBarFindsWhatThePageShows() {
    form_->OpenThreadInNewTab(boardDir_, kBig, "midoku", 1, Sjis("大きいスレ"));
    QTRY_VERIFY(!ThreadTabs().ActiveTab()->View()->IsLoading());
    FocusPage();
    Press(Qt::Key_F, Qt::ControlModifier);
    auto* bar = form_->findChild<FindBar*>("findBar");
    QVERIFY(bar->findEdit->hasFocus());
    Type(bar->findEdit, QString::fromUtf8("猫"));
    QTRY_COMPARE(bar->findCountLabel->text(), QString("1/3"));
    Press(Qt::Key_Return);
    QTRY_COMPARE(bar->findCountLabel->text(), QString("2/3"));
    Press(Qt::Key_F3);
    QTRY_COMPARE(bar->findCountLabel->text(), QString("3/3"));
    Press(Qt::Key_F3);
    QTRY_COMPARE(bar->findCountLabel->text(), QString("1/3"));
    Press(Qt::Key_Return, Qt::ShiftModifier);
    QTRY_COMPARE(bar->findCountLabel->text(), QString("3/3"));
    Type(bar->findEdit, QString::fromUtf8("犬"));
    QTRY_COMPARE(bar->findCountLabel->text(), QString::fromUtf8("見つかりません"));

    // The bar follows the active tab.
    bar->findEdit->setText("message 1");
    QTRY_COMPARE(bar->MatchCount(), 32);  // 1, 10..19, 100..120
    OpenSmall(1);
    QTRY_COMPARE(bar->findCountLabel->text(), QString("1/1"));
    Press(Qt::Key_Escape);
    QVERIFY(!bar->isVisible());

    // The page's menu: "検索" opens the bar with the selection, "選択範囲で検索" the log search.
    emit ThreadPageCommands().FindRequested(QString::fromUtf8("猫"));
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->findEdit->text(), QString::fromUtf8("猫"));
    test::PresetDialogs dialogs;
    QString word;
    dialogs.windows.push_back(
        [&word](QDialog& dialog) { word = dialog.findChild<QLineEdit*>("keyEdit")->text(); });
    emit ThreadPageCommands().LogSearchRequested(QString::fromUtf8("猫"));
    QCOMPARE(word, QString::fromUtf8("猫"));
  }

  // Shift+F5 fetches the shown thread's new replies and shows them below, the view staying where
  // it was; the thread then counts as read.
  void reloadShowsNewReplies() {
    const std::string dat = "1000000009.dat";
    QVERIFY(ReplaceFile(boardDir_ + dat, Dat(1, 60)));
    std::string ini = ReadWholeFile(boardDir_ + "subject.ini").value_or("");
    QVERIFY(ReplaceFile(boardDir_ + "subject.ini",
                        ini + IniSection(dat, "伸びるスレ", 60, Dat(1, 60).size())));
    const std::string range = "\n" + Dat(61, 62);
    const std::size_t first = Dat(1, 60).size() - 1;
    test::HttpTestServer server;
    server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
        "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
        std::to_string(first + range.size() - 1) + "/" + std::to_string(first + range.size()) +
        "\r\nContent-Length: " + std::to_string(range.size()) + "\r\n\r\n" + range));
    server.Route("news.test");

    form_->OpenThreadInNewTab(boardDir_, dat, "a30", 61, Sjis("伸びるスレ"));
    ThreadTab* tab = ThreadTabs().ActiveTab();
    QTRY_VERIFY(!tab->View()->IsLoading());
    const std::optional<ReadingSpot> before = SpotOf(tab);
    QVERIFY(before && before->reply == 30);
    FocusPage();
    Press(Qt::Key_F5, Qt::ShiftModifier);
    QVERIFY(AddConnectOverrides({kClosedPort}).IsOk());
    QCOMPARE(server.Requests().size(), std::size_t{1});
    QCOMPARE(tab->Replies().Count(), 62);
    QVERIFY(tab->Document().find("message 62") != std::string::npos);
    QCOMPARE(tab->FirstUnread(), 61);
    QCOMPARE(form_->statusBar()->currentMessage(), QString::fromUtf8("新着レス 2 件"));
    QTRY_VERIFY(!tab->View()->IsLoading());
    QTRY_COMPARE(SpotOf(tab), before);
    const std::string stored = ReadWholeFile(boardDir_ + "subject.ini").value_or("");
    const std::string section = stored.substr(stored.find("[" + dat + "]"));
    QVERIFY(section.find("GotCount=62\r\nUnread=63\r\n") != std::string::npos);
  }

  // The key page: a key pressed on a command's row becomes its key, a key another command has is
  // refused, and "OK" writes only the changed commands to [Keys]; the window takes the keys at
  // once. Entries the page did not change, readable or not, stay in the file.
  void keyPageChangesKeys() {
    test::PresetDialogs dialogs;
    QString refused;
    dialogs.windows.push_back([&refused](QDialog& dialog) {
      auto* page = dialog.findChild<KeyPage*>("keyTabSheet");
      const auto rowOf = [page](const char* caption) {
        for (int row = 0; row < page->keyTable->rowCount(); ++row) {
          if (page->keyTable->item(row, 0)->text() == QString::fromUtf8(caption)) return row;
        }
        return -1;
      };
      page->keyTable->selectRow(rowOf("縮小"));
      QTest::keyClick(page->keyEdit, Qt::Key_K, Qt::ControlModifier);
      QCOMPARE(page->keyTable->item(rowOf("縮小"), 1)->text(), QString("Ctrl+K"));
      page->keyTable->selectRow(rowOf("終了"));
      QTest::keyClick(page->keyEdit, Qt::Key_K, Qt::ControlModifier);
      refused = page->keyMessageLabel->text();
      QTest::mouseClick(page->keyClearButton, Qt::LeftButton);
      QCOMPARE(page->keyTable->item(rowOf("終了"), 1)->text(), QString());
      page->keyTable->selectRow(rowOf("前のタブ"));
      QTest::mouseClick(page->keyClearButton, Qt::LeftButton);
      QTest::mouseClick(page->keyDefaultButton, Qt::LeftButton);
      QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    });
    form_->findChild<QAction*>("optionOptionMI")->trigger();
    QCOMPARE(refused, QString::fromUtf8("Ctrl+K は「縮小」に使われています"));
    const std::string config = ReadWholeFile(IniDir() + "/config.ini").value_or("");
    const std::string keys = config.substr(config.find("[Keys]"));
    QCOMPARE(QString::fromStdString(keys.substr(0, keys.find("\r\n\r\n"))),
             QString("[Keys]\r\nFind=Ctrl+Nonsense\r\nLater=Ctrl+L\r\nZoomReset=Ctrl+W\r\n"
                     "ZoomOut=Ctrl+K\r\nQuit="));
    QCOMPARE(form_->findChild<QAction*>("zoomOutAction")->shortcut(), QKeySequence("Ctrl+K"));
    QVERIFY(form_->findChild<QAction*>("quitAction")->shortcuts().isEmpty());
    Press(Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(form_->isVisible());
  }

 private:
  static constexpr char kBig[] = "1000000004.dat";

  void OpenSmall(int key) {
    form_->OpenThreadInNewTab(boardDir_, std::to_string(1000000000 + key) + ".dat", "midoku", 4,
                              Sjis("スレ") + std::to_string(key));
    QTRY_VERIFY(!ThreadTabs().ActiveTab()->View()->IsLoading());
  }

  void FocusPage() {
    ThreadTabs().FocusActiveTab();
    QTRY_VERIFY(HasFocusIn(ThreadTabs().ActiveTab()));
  }

  QTemporaryDir dataDir_;
  std::string boardDir_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<GuiUiHooks> hooks_;
  QTabWidget* tabs_ = nullptr;
};

int main(int argc, char** argv) {
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  // Ctrl+Q closes the window; the test program goes on.
  QApplication::setQuitOnLastWindowClosed(false);
  TMainFormKeysTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "TMainFormKeysTest.moc"
