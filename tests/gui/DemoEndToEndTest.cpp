// The whole window against the offline demo board network (velkor-cli demo-server, started by the
// test on a free loopback port, growing only when the test says so): board-menu update,
// subscribing, a board's thread list, a thread, a reply pop-up, the bookmark, new replies under the
// unread marker, log search and the log sweeper; a picture's thumbnail and the image viewer; then
// posting from the reply window, own replies in the page and answers to them in the caption, a new
// thread; then an open thread's automatic reload, and the successors a full thread offers.

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <cmath>
#include <functional>
#include <map>
#include <memory>

#include <signal.h>
#include <sys/prctl.h>

#include "PageScript.h"
#include "PresetDialogs.h"
#include "app/DataDir.h"
#include "base/Clock.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "boards/ui/BoardTreeWidget.h"
#include "boards/ui/TUpdateMenuForm.h"
#include "images/ui/ImageCanvas.h"
#include "images/ui/ImageViewer.h"
#include "images/ui/ImageViewerPage.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"
#include "net/HttpSession.h"
#include "post/OwnPosts.h"
#include "post/PostDrafts.h"
#include "post/PostFlow.h"
#include "post/ui/ReplyWindows.h"
#include "post/ui/TPostConfirmForm.h"
#include "post/ui/TReplyForm.h"
#include "search/ui/TSearchForm.h"
#include "subjects/ThreadState.h"
#include "subjects/ui/SubjectListView.h"
#include "threads/AutoReloadSchedule.h"
#include "threads/DatRenderer.h"
#include "threads/ui/NextThreadBar.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/ThreadAutoReload.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"

using namespace velkor;

namespace {

constexpr int kDatColumn = 9;
constexpr int kResColumn = 4;

QString U(const std::string& sjis) {
  return QString::fromStdString(SjisToUtf8Lossy(sjis));
}

// Runs `act` on the first modal dialog of type T that shows up, while `open` runs (a modal dialog
// runs its own loop inside `open`). Returns whether the dialog was met.
template <typename T>
bool WithModal(const std::function<void()>& open, const std::function<void(T*)>& act) {
  bool met = false;
  QTimer timer;
  timer.setInterval(20);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer.stop();
    met = true;
    act(dialog);
  });
  timer.start();
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  guard.start(30000);
  open();
  timer.stop();
  guard.stop();
  return met;
}

// Runs `inspect` once `open` has shown the menu, then closes it.
bool WithMenu(QMenu* menu, const std::function<void()>& open,
              const std::function<void()>& inspect) {
  bool shown = false;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!menu->isVisible()) return;
    shown = true;
    timer.stop();
    inspect();
    menu->close();
  });
  timer.start();
  open();
  if (!shown) (void)QTest::qWaitFor([&] { return shown; }, 2000);
  timer.stop();
  return shown;
}

}  // namespace

class DemoEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid() && serverDir_.isValid());
    server_.setProgram(VELKOR_CLI_PATH);
    server_.setArguments({"--data-dir", serverDir_.path(), "demo-server", "--step-seconds", "0",
                          "--post-interval", "0"});
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The server ends with the test, even when the test dies.
    server_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server_.start();
    QVERIFY(server_.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(server_.canReadLine() && Lines() >= 2, 10000);
    menuUrl_ = server_.readLine().trimmed().toStdString();
    QString connectTo = QString::fromUtf8(server_.readLine().trimmed());
    QCOMPARE(menuUrl_.substr(0, 7), std::string("http://"));
    std::vector<std::string> items;
    for (const QString& item : connectTo.split(',')) items.push_back(item.toStdString());
    Outcome added = AddConnectOverrides(items);
    QVERIFY2(added.IsOk(), added.Reason().c_str());

    InitDataDir(dataDir_.path().toStdString());
    QVERIFY(ReplaceFile(
        IniDir() + "/config.ini",
        "[BBSMenuURL]\r\nHistory1=" + menuUrl_ + "\r\n\r\n[Kodawari]\r\nNewTabOpen=1\r\n\r\n"));
    form_ = std::make_unique<TMainForm>();
    hooks_ = std::make_unique<GuiUiHooks>(form_.get());
    SetUiHooks(hooks_.get());
    form_->resize(1200, 900);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    boards_ = form_->findChild<BoardTreeWidget*>("BBSTreeView");
    favorites_ = form_->findChild<BoardTreeWidget*>("subscribeTreeView");
    view_ = form_->findChild<SubjectListView*>("SubjectListView");
    tabs_ = form_->findChild<QTabWidget*>("tabPageControl");
  }

  void cleanupTestCase() {
    SetUiHooks(nullptr);
    form_.reset();
    ClearConnectOverrides();
    server_.terminate();
    QVERIFY(server_.waitForFinished(5000));
    QCOMPARE(server_.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server_.exitCode(), 0);
  }

  void readsTheDemoNetwork() {
    // "ボード一覧更新..." → the dialog → "更新": the menu's 3 categories and 8 boards.
    bool updated = WithModal<TUpdateMenuForm>(
        [&] { form_->findChild<QAction*>("optionBBSMenuUpdateMI")->trigger(); },
        [this](TUpdateMenuForm* dialog) {
          QCOMPARE(dialog->bbsMenuComboBox->currentText().toStdString(), menuUrl_);
          QTest::mouseClick(dialog->updateButton, Qt::LeftButton);
        });
    QVERIFY(updated);
    QCOMPARE(boards_->topLevelItemCount(), 1);
    QTreeWidgetItem* root = boards_->topLevelItem(0);
    QCOMPARE(root->childCount(), 3);
    int boards = 0;
    for (int i = 0; i < root->childCount(); ++i) boards += root->child(i)->childCount();
    QCOMPARE(boards, 8);
    QVERIFY(ReadWholeFile(IniDir() + "/board.ini")
                ->find(Sjis("料理=http://hayabusa.5ch.io/cook/\r\n")) != std::string::npos);

    // Subscribe two boards from the board list's menu.
    SubscriptionMenu("趣味", "料理", "bbsAllSubscribeMI");
    SubscriptionMenu("雑談", "雑談系", "bbsAllSubscribeMI");
    QVERIFY(favorites_->FindBoardNode(Sjis("趣味"), Sjis("料理")) != nullptr);
    QVERIFY(favorites_->FindBoardNode(Sjis("雑談"), Sjis("雑談系")) != nullptr);

    // The second board: its list, one thread read, then it is given up and its logs swept later.
    OpenBoard("雑談", "雑談系");
    std::string chatKey = OpenRow(0);
    QVERIFY(FileExists(LogDir() + "/mao.5ch.io/zatsudan/" + chatKey));

    // The main board: the list of 300 threads, a thread with replies to read.
    OpenBoard("趣味", "料理");
    ShowsImages();
    if (QTest::currentTestFailed()) return;
    int row = -1;
    for (int r = 0; r < view_->model()->rowCount() && row < 0; ++r) {
      int res = view_->model()->index(r, kResColumn).data().toString().toInt();
      if (res >= 60 && res <= 400) row = r;
    }
    QVERIFY(row >= 0);
    std::string datName = OpenRow(row);
    const std::string boardDir = LogDir() + "/hayabusa.5ch.io/cook/";
    std::optional<std::string> log = ReadWholeFile(boardDir + datName);
    QVERIFY(log.has_value());
    const int replies = static_cast<int>(SplitLines(*log).size());
    QCOMPARE(ThreadTabs().ActiveTab()->DatName(), datName);
    QCOMPARE(Ini(boardDir, datName, "GotCount"), replies);

    // Hovering a reply anchor pops that reply up.
    ThreadTab* tab = ThreadTabs().ActiveTab();
    WaitLoaded(tab);
    const QString firstAnchor =
        "(function () { var a = document.querySelector('a[href^=\"#a\"]:not([href=\"#all\"])');"
        " if (!a) return null; a.scrollIntoView(); var r = a.getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2, a.getAttribute('href')]; })()";
    const QVariantList anchor = FromScript(tab, firstAnchor);
    QCOMPARE(anchor.size(), 3);
    const int target =
        anchor[2].toString().mid(2).section(QRegularExpression("[^0-9]"), 0, 0).toInt();
    QVERIFY(target >= 1 && target < replies);
    QVERIFY(!test::HoverUntil(tab, firstAnchor, [] { return AppPopup().isVisible(); }).isNull());
    const QString dateText =
        U(SplitDatLine(SplitLines(*log)[static_cast<std::size_t>(target - 1)]).date);
    QVERIFY2(AppPopup().Text().startsWith(QString::number(target) + QString::fromUtf8(" 名前：")),
             qPrintable(AppPopup().Text()));
    QVERIFY2(AppPopup().Text().contains(dateText), qPrintable(AppPopup().Text()));
    // VELKOR_SCREENSHOT=FILE saves the window with the pop-up over it (docs/screenshot-demo.png).
    const QString shot = qEnvironmentVariable("VELKOR_SCREENSHOT");
    if (!shot.isEmpty()) {
      QTest::qWait(1000);
      QPixmap window = form_->grab();
      QPainter painter(&window);
      painter.drawPixmap(form_->mapFromGlobal(AppPopup().pos()), AppPopup().grab());
      painter.end();
      QVERIFY(window.save(shot));
    }
    AppPopup().HidePopup();

    // "ここまで読んだ" on the last reply, from the reply number's menu.
    ClickInPage(tab, QString("a[href=\"menu:%1\"]").arg(replies));
    QTRY_VERIFY(ThreadTabs().ReplyMenu()->isVisible());
    QAction* bookmark = ThreadTabs().ReplyMenu()->actions().at(0);
    QCOMPARE(bookmark->text(), QString::fromUtf8("ここまで読んだ"));
    ThreadTabs().ReplyMenu()->hide();
    bookmark->trigger();
    QCOMPARE(Ini(boardDir, datName, "Unread"), replies);

    // Three new replies arrive; "更新" shows the new count, the thread shows them under the marker.
    const std::string key = datName.substr(0, datName.size() - 4);
    std::string answer;
    std::string lastModified;
    HttpSession session;
    QVERIFY(FetchFull(session, "http://hayabusa.5ch.io/_demo/grow/cook/" + key + "/3", answer,
                      lastModified, false)
                .IsOk());
    QCOMPARE(answer, std::string("added 3\n"));
    QTest::mouseClick(form_->findChild<QToolButton*>("subjectReloadToolButton"), Qt::LeftButton);
    const int newRow = RowOf(datName);
    QVERIFY(newRow >= 0);
    QCOMPARE(newRow, 0);  // a thread with new replies goes to the top
    QCOMPARE(view_->model()->index(newRow, kResColumn).data().toString(),
             QString::number(replies + 3));
    // The thread's open tab shows them at once, no new tab needed.
    const int openTabs = tabs_->count();
    OpenRow(newRow);
    QCOMPARE(Ini(boardDir, datName, "GotCount"), replies + 3);
    QCOMPARE(tabs_->count(), openTabs);
    QCOMPARE(ThreadTabs().ActiveTab(), tab);
    QCOMPARE(tab->FirstUnread(), replies);
    const std::string& page = tab->Document();
    const std::size_t marker = page.find("<a name=\"midoku\">");
    QVERIFY(marker != std::string::npos);
    QVERIFY(page.find("<a name=\"a" + std::to_string(replies - 1) + "\">") < marker);
    for (int n = replies; n <= replies + 3; ++n) {
      const std::size_t at = page.find("<a name=\"a" + std::to_string(n) + "\">");
      QVERIFY2(at != std::string::npos && at > marker, qPrintable(QString::number(n)));
    }

    // "検索" → the dialog → the board's stored logs: the thread is found by a word of its text.
    const int tabsBefore = tabs_->count();
    bool searched = WithModal<TSearchForm>(
        [&] {
          QTest::mouseClick(form_->findChild<QToolButton*>("subjectFindToolButton"),
                            Qt::LeftButton);
        },
        [](TSearchForm* dialog) {
          dialog->keyEdit->setText(QString::fromUtf8("マターリ"));
          dialog->searchTypeButtons->button(1)->click();
          QTest::mouseClick(dialog->startButton, Qt::LeftButton);
        });
    QVERIFY(searched);
    QTRY_COMPARE(tabs_->count(), tabsBefore + 1);
    QCOMPARE(tabs_->tabText(tabs_->currentIndex()), QString::fromUtf8("検索結果"));
    const std::string& results = ThreadTabs().ActiveTab()->Document();
    QVERIFY(results.find(key) != std::string::npos);
    QVERIFY(results.find(Sjis("マターリ")) != std::string::npos);
    QVERIFY(results.find(chatKey.substr(0, chatKey.size() - 4)) == std::string::npos);

    // Give up the second board, sweep: its logs go, the favourite's stay.
    SubscriptionMenu("雑談", "雑談系", "bbsAllUnsubscribeMI");
    QVERIFY(favorites_->FindBoardNode(Sjis("雑談"), Sjis("雑談系")) == nullptr);
    test::PresetDialogs dialogs;
    dialogs.answers.push_back(true);
    form_->findChild<QAction*>("optionLogSweeperMI")->trigger();
    QCOMPARE(dialogs.asked.size(), 1);
    QVERIFY(!DirectoryExists(LogDir() + "/mao.5ch.io/zatsudan"));
    QVERIFY(FileExists(boardDir + datName));
  }

  // A reply from the reply window: "これにレス" puts the anchor in, the typed text is previewed
  // and counted, the confirmation is answered, and the thread's tab shows the new reply marked as
  // the user's own. A refused post keeps its text as a draft, also once the window is closed. A
  // new thread opens in a tab of its own. A reply answering the own one counts in the caption of
  // its tab while that is in the background.
  void postsFromTheReplyWindow() {
    test::PresetDialogs dialogs;
    // The sweep before left the tabs of the logs that stayed: the rows open in tabs of their own.
    ThreadTabs().CloseAllTabs();
    const std::string boardDir = LogDir() + "/hayabusa.5ch.io/cook/";
    // The list is not modified since the first test: every stored thread is shown.
    form_->OpenBoard(Sjis("趣味"), Sjis("料理"));
    auto* showType = form_->findChild<QComboBox*>("subjectShowTypeCB");
    showType->setCurrentIndex(1);
    emit showType->activated(1);
    QCOMPARE(view_->model()->rowCount(), 300);
    int openRow = -1;
    int fullRow = -1;
    for (int r = 0; r < view_->model()->rowCount(); ++r) {
      const int res = view_->model()->index(r, kResColumn).data().toString().toInt();
      if (openRow < 0 && res >= 60 && res <= 400) openRow = r;
      if (fullRow < 0 && res >= 1000) fullRow = r;
    }
    QVERIFY(openRow >= 0 && fullRow >= 0);
    const std::string datName = OpenRow(openRow);
    QVERIFY(!datName.empty());
    const std::string key = datName.substr(0, datName.size() - 4);
    ThreadTab* tab = ThreadTabs().ActiveTab();
    WaitLoaded(tab);
    const int replies = tab->Replies().Count();
    const int mine = replies + 1;
    QVERIFY(tab->WriteButton()->isVisible());

    // "これにレス" on reply 1; the tab's button brings the same window up.
    ClickInPage(tab, "a[href=\"menu:1\"]");
    QTRY_VERIFY(ThreadTabs().ReplyMenu()->isVisible());
    auto* replyItem = ThreadTabs().ReplyMenu()->findChild<QAction*>("ieReplyMI");
    QVERIFY(replyItem != nullptr && replyItem->isEnabled());
    ThreadTabs().ReplyMenu()->hide();
    replyItem->trigger();
    QPointer<TReplyForm> window = PostWindows().Window(boardDir, datName);
    QVERIFY(!window.isNull());
    QCOMPARE(window->messageEdit->toPlainText(), QString(">>1\n"));
    QTest::mouseClick(tab->WriteButton(), Qt::LeftButton);
    QCOMPARE(PostWindows().Window(boardDir, datName), window.data());

    QTest::keyClicks(window->nameComboBox->lineEdit(), "tester");
    window->sageCheckBox->click();
    QCOMPARE(window->mailComboBox->currentText(), QString("sage"));
    window->messageEdit->moveCursor(QTextCursor::End);
    QTest::keyClicks(window->messageEdit, "hello ");
    window->messageEdit->insertPlainText(QString::fromUtf8("窓から <b>"));
    // The board's limits are fetched once the window is open, and the counts measure against them.
    QTRY_VERIFY2(window->countLabel->text().contains("/1024"),
                 qPrintable(window->countLabel->text()));
    QVERIFY(!window->Busy());
    window->messagePageControl->setCurrentWidget(window->previewPage);
    const std::string& preview = window->PreviewDocument();
    QVERIFY(preview.find(Sjis("hello 窓から &lt;b&gt;")) != std::string::npos);
    QVERIFY(preview.find("<a name=\"a" + std::to_string(mine) + "\">") != std::string::npos);

    dialogs.windows.push_back([](QDialog& dialog) {
      auto* confirm = qobject_cast<TPostConfirmForm*>(&dialog);
      QVERIFY(confirm != nullptr);
      QVERIFY(confirm->confirmTextEdit->toPlainText().contains(QString::fromUtf8("クッキー")));
      confirm->confirmPostButton->click();
    });
    QTest::mouseClick(window->postButton, Qt::LeftButton);
    QCOMPARE(dialogs.asked, QStringList{"window||PostConfirmForm"});
    QTRY_VERIFY(window.isNull());
    QCOMPARE(ReadOwnPosts(boardDir, datName).Value(), std::vector<int>{mine});
    QVERIFY(!FileExists(DraftPath("http://hayabusa.5ch.io/cook/", key)));
    QVERIFY(ReadWholeFile(LogDir() + "/kakikomi.txt")->find("hello") != std::string::npos);
    QCOMPARE(ThreadTabs().ActiveTab(), tab);
    QCOMPARE(tab->Replies().Count(), mine);
    QCOMPARE(tab->OwnReplies(), std::vector<int>{mine});
    QTRY_VERIFY(OwnMarkShown(tab, mine));
    QCOMPARE(ThreadState(boardDir, datName, ThreadTabs().ShownSubjects()).FirstUnread(), mine + 1);
    const QVariantList place =
        FromScript(tab, QString("(function () { var a = document.anchors.namedItem('a%1');"
                                " return [a.getBoundingClientRect().top, window.innerHeight,"
                                " window.pageYOffset]; })()")
                            .arg(mine));
    QCOMPARE(place.size(), 3);
    QVERIFY(place[0].toDouble() >= 0 && place[0].toDouble() < place[1].toDouble());
    QVERIFY(place[2].toDouble() > 0);

    // A thread at 1000: the server's reason in the window, the text kept, also in the draft.
    const std::string fullDat = OpenRow(fullRow);
    ThreadTab* full = ThreadTabs().ActiveTab();
    QVERIFY(full != tab && full->DatName() == fullDat);
    full->ReplyTo(0);
    window = PostWindows().Window(boardDir, fullDat);
    QVERIFY(!window.isNull());
    QCOMPARE(window->nameComboBox->itemText(0), QString("tester"));
    window->messageEdit->setPlainText(QString::fromUtf8("届かない"));
    QTest::mouseClick(window->postButton, Qt::LeftButton);
    QVERIFY2(window->ResultText().contains(QString::fromUtf8("1000を超えました")),
             qPrintable(window->ResultText()));
    QCOMPARE(window->messageEdit->toPlainText(), QString::fromUtf8("届かない"));
    window->close();
    QTRY_VERIFY(window.isNull());
    const std::string fullDraft =
        DraftPath("http://hayabusa.5ch.io/cook/", fullDat.substr(0, fullDat.size() - 4));
    QCOMPARE(ReadDraft(fullDraft).Value().message, std::string("届かない"));
    QTest::mouseClick(full->WriteButton(), Qt::LeftButton);
    window = PostWindows().Window(boardDir, fullDat);
    QCOMPARE(window->messageEdit->toPlainText(), QString::fromUtf8("届かない"));
    window->close();

    // A new thread from the thread list's "スレ立て": the refreshed list shows it and it opens in a
    // new tab.
    QTest::mouseClick(form_->findChild<QToolButton*>("subjectNewThreadToolButton"), Qt::LeftButton);
    window = PostWindows().Window(boardDir, std::string());
    QVERIFY(!window.isNull() && window->subjectEdit != nullptr);
    window->subjectEdit->setText(QString::fromUtf8("窓から立てたスレ"));
    window->messageEdit->setPlainText(QString::fromUtf8("一番乗り"));
    const int tabsBefore = tabs_->count();
    QTest::mouseClick(window->postButton, Qt::LeftButton);
    QTRY_VERIFY(window.isNull());
    QVERIFY(RowOf(ThreadTabs().ActiveTab()->DatName()) >= 0);
    QCOMPARE(tabs_->count(), tabsBefore + 1);
    QCOMPARE(tabs_->tabText(tabs_->currentIndex()), QString::fromUtf8("窓から立てたスレ"));
    QCOMPARE(ThreadTabs().ActiveTab()->OwnReplies(), std::vector<int>{1});

    // Someone answers the own reply while its tab is in the background: the caption counts it
    // until the tab is viewed.
    PostDraft answer;
    answer.boardUrl = "http://hayabusa.5ch.io/cook/";
    answer.key = key;
    answer.message = ">>" + std::to_string(mine);
    PostFlow flow(answer, &form_->Subjects());
    const PostResult answered = flow.Send();
    QVERIFY2(answered.Posted(), answered.Reason().c_str());
    QVERIFY(MarkOwnPost(boardDir, datName, answered.number, false).IsOk());
    QVERIFY(tab->ShowAgainIfChanged("midoku", tab->FirstUnread()));
    QCOMPARE(tab->UnseenAnswersToOwn(), 1);
    const int tabIndex = tabs_->indexOf(tab);
    QVERIFY(tabs_->tabText(tabIndex).startsWith(QString::fromUtf8("[返信1] ")));
    tabs_->setCurrentIndex(tabIndex);
    QCOMPARE(tab->UnseenAnswersToOwn(), 0);
    QVERIFY(!tabs_->tabText(tabIndex).startsWith(QString::fromUtf8("[返信")));
    WaitLoaded(tab);
    QTRY_VERIFY(FromScript(tab, QString("[!!document.querySelector("
                                        "'a[data-velkor-to-own=\"%1\"]')]")
                                    .arg(answered.number))
                    .value(0)
                    .toBool());

    // The answer marked as own by hand, from its number's menu.
    ClickInPage(tab, QString("a[href=\"menu:%1\"]").arg(answered.number));
    QTRY_VERIFY(ThreadTabs().ReplyMenu()->isVisible());
    auto* ownItem = ThreadTabs().ReplyMenu()->findChild<QAction*>("ieOwnMI");
    QVERIFY(ownItem != nullptr && ownItem->isEnabled() && !ownItem->isChecked());
    ThreadTabs().ReplyMenu()->hide();
    ownItem->trigger();
    QCOMPARE(ReadOwnPosts(boardDir, datName).Value(), (std::vector<int>{mine, answered.number}));
    QTRY_VERIFY(OwnMarkShown(tab, answered.number));
  }

  // "自動更新" on an open thread, the clock moved by hand: new replies drawn in with the marker
  // before them and the reader's reply kept at the top; the wait grows by 5 s after a reload that
  // found nothing; at the bottom the view follows the new replies; five empty reloads in a row
  // switch it off, and a thread that reaches 1000 replies stops it.
  void reloadsAnOpenThreadOnItsOwn() {
    // The favourite is still the side bar's current node: its list comes back without a click,
    // every thread of it (none is new any more).
    form_->OpenBoard(Sjis("趣味"), Sjis("料理"));
    auto* showType = form_->findChild<QComboBox*>("subjectShowTypeCB");
    showType->setCurrentIndex(1);
    emit showType->activated(1);
    QTRY_VERIFY(view_->model()->rowCount() >= 300);
    int row = -1;
    for (int r = 0; r < view_->model()->rowCount() && row < 0; ++r) {
      const int res = view_->model()->index(r, kResColumn).data().toString().toInt();
      const bool stored = !view_->model()->index(r, 5).data().toString().isEmpty() &&
                          view_->model()->index(r, 5).data().toString() != "0";
      if (res >= 120 && res <= 400 && !stored) row = r;
    }
    QVERIFY(row >= 0);
    const std::string datName = OpenRow(row);
    QVERIFY(!datName.empty());
    const std::string boardDir = LogDir() + "/hayabusa.5ch.io/cook/";
    const std::string key = datName.substr(0, datName.size() - 4);
    ThreadTab* tab = ThreadTabs().ActiveTab();
    WaitLoaded(tab);
    const int replies = tab->Replies().Count();
    const QString caption = tabs_->tabText(tabs_->currentIndex());

    ManualClock clock;
    SetClockForTesting(&clock);
    struct RealClockAgain {
      ~RealClockAgain() { SetClockForTesting(nullptr); }
    } realClockAgain;
    ThreadAutoReload& reload = tab->AutoReload();
    const std::string page = tab->Document();
    QAction* toggle = form_->findChild<QAction*>("tabAutoReloadMI");
    QVERIFY(toggle != nullptr && toggle == ThreadTabs().AutoReloadAction());
    toggle->trigger();
    QVERIFY(tab->AutoReloading());
    QVERIFY(toggle->isChecked());
    QCOMPARE(tabs_->tabText(tabs_->currentIndex()), QString::fromUtf8("↻ ") + caption);
    QCOMPARE(tab->Document(), page);  // the mark is the tab row's, not the page's

    // The reader is at reply `middle`; three replies arrive.
    const int middle = replies / 2;
    QCOMPARE(tab->FirstUnread(), 1);  // never read: the marker is above every reply
    ScrollTo(tab, middle);
    QCOMPARE(PlaceOf(tab).reply, middle);
    Grow(key, 3);
    clock.Advance(std::chrono::seconds(29));
    reload.Poll();
    QCOMPARE(tab->Replies().Count(), replies);  // not due yet: nothing asked
    clock.Advance(std::chrono::seconds(1));
    reload.Poll();
    QCOMPARE(tab->Replies().Count(), replies + 3);
    QCOMPARE(Ini(boardDir, datName, "GotCount"), replies + 3);
    QCOMPARE(tab->FirstUnread(), replies + 1);
    const std::string& grown = tab->Document();
    const std::size_t marker = grown.find("<a name=\"midoku\">");
    QVERIFY(grown.find("<a name=\"a" + std::to_string(replies) + "\">") < marker);
    QVERIFY(grown.find("<a name=\"a" + std::to_string(replies + 1) + "\">") > marker);
    // The marker moved from above the reader's reply to below it: the reply stays exactly where it
    // was, not the pixel position.
    WaitLoaded(tab);
    const Place kept = PlaceOf(tab);
    QCOMPARE(kept.reply, middle);
    QVERIFY2(std::abs(kept.top) <= 1, qPrintable(QString::number(kept.top)));
    QVERIFY(!kept.atBottom);

    // Nothing new: the next reload waits 5 s longer.
    clock.Advance(std::chrono::seconds(30));
    reload.Poll();
    QCOMPARE(reload.Schedule().EmptyReloads(), 1);
    clock.Advance(std::chrono::seconds(34));
    reload.Poll();
    QCOMPARE(reload.Schedule().EmptyReloads(), 1);
    clock.Advance(std::chrono::seconds(1));
    reload.Poll();
    QCOMPARE(reload.Schedule().EmptyReloads(), 2);

    // At the bottom, the view follows two new replies.
    FromScript(tab, "(function () { window.scrollTo(0, 1000000); return [true]; })()");
    QTRY_VERIFY(PlaceOf(tab).atBottom);
    Grow(key, 2);
    clock.Advance(reload.Schedule().Wait());
    reload.Poll();
    QCOMPARE(tab->Replies().Count(), replies + 5);
    QCOMPARE(reload.Schedule().EmptyReloads(), 0);
    WaitLoaded(tab);
    QTRY_VERIFY(PlaceOf(tab).atBottom);
    QVERIFY(InView(tab, replies + 4));

    // While another tab is in front, the marker stays before the first replies the reader has
    // not seen; once the tab is shown again it moves on.
    form_->ShowHtmlPage("<html><body>x</body></html>", "x");
    QVERIFY(!tab->isVisible());
    for (int more = 6; more <= 7; ++more) {
      Grow(key, 1);
      clock.Advance(reload.Schedule().Wait());
      reload.Poll();
      QCOMPARE(tab->Replies().Count(), replies + more);
      QCOMPARE(tab->FirstUnread(), replies + 6);
    }
    QCOMPARE(Ini(boardDir, datName, "Unread"), replies + 6);
    ThreadTabs().CloseTab(tabs_->currentIndex());
    QVERIFY(tab->isVisible());
    Grow(key, 1);
    clock.Advance(reload.Schedule().Wait());
    reload.Poll();
    QCOMPARE(tab->FirstUnread(), replies + 8);
    // The view got what the reloads made while it was hidden.
    WaitLoaded(tab);
    const QVariantList last = FromScript(
        tab, QString("(function () { return [document.anchors.namedItem('a%1') !== null]; })()")
                 .arg(replies + 8));
    QVERIFY(!last.isEmpty() && last[0].toBool());

    // Five reloads in a row that find nothing switch it off, and the tab says so.
    for (int empty = 1; empty <= AutoReloadSchedule::kEmptyReloadsBeforeStop; ++empty) {
      QVERIFY(tab->AutoReloading());
      clock.Advance(reload.Schedule().Wait());
      reload.Poll();
    }
    QVERIFY(!tab->AutoReloading());
    QCOMPARE(reload.Schedule().OffReason(), AutoReloadSchedule::Off::kNothingNew);
    QCOMPARE(tabs_->tabText(tabs_->currentIndex()), caption);
    QVERIFY(!toggle->isChecked());
    QVERIFY(tab->NextThreads()->isVisible());
    QVERIFY(
        tab->NextThreads()->MessageText().startsWith(QString::fromUtf8("自動更新を止めました")));
    QVERIFY(
        form_->statusBar()->currentMessage().startsWith(QString::fromUtf8("自動更新を止めました")));

    // Switched on again, it reloads until the thread is full, then stops and offers successors.
    toggle->trigger();
    QVERIFY(tab->AutoReloading());
    QVERIFY(!tab->NextThreads()->isVisible());
    Grow(key, 1000);
    clock.Advance(std::chrono::seconds(30));
    reload.Poll();
    QCOMPARE(tab->Replies().Count(), 1000);
    QVERIFY(!tab->AutoReloading());
    QCOMPARE(reload.Schedule().OffReason(), AutoReloadSchedule::Off::kFull);
    QVERIFY(tab->NextThreads()->ShowsCandidates());
    // A full thread is not switched on again.
    toggle->trigger();
    QVERIFY(!tab->AutoReloading());
    QCOMPARE(form_->statusBar()->currentMessage(),
             QString::fromUtf8("自動更新できません: このスレッドは1000に達しています"));
  }

  // A full thread of a series offers its successor first; a click opens it as from the list.
  void fullThreadOffersItsSuccessor() {
    // A thread an earlier case left open would come up in its tab instead of a new one.
    ThreadTabs().CloseAllTabs();
    QVERIFY(view_->model()->rowCount() >= 300);
    int row = -1;
    for (int r = 0; r < view_->model()->rowCount() && row < 0; ++r) {
      const QString title = view_->model()->index(r, 3).data().toString();
      if (view_->model()->index(r, kResColumn).data().toString() == "1000" &&
          title.contains(QRegularExpression("(Part|その|★|スレ目)"))) {
        row = r;
      }
    }
    QVERIFY(row >= 0);
    const std::string datName = OpenRow(row);
    ThreadTab* tab = ThreadTabs().ActiveTab();
    QVERIFY(tab != nullptr && tab->DatName() == datName);
    NextThreadBar* bar = tab->NextThreads();
    QVERIFY(bar->ShowsCandidates());
    QVERIFY(bar->MessageText().startsWith(QString::fromUtf8("このスレッドは1000に達しました")));
    QVERIFY(!bar->Candidates().empty());
    const NextThreadCandidate first = bar->Candidates().front();
    QVERIFY2(first.score >= 60, first.title.c_str());
    QVERIFY(first.key > datName.substr(0, datName.size() - 4));

    // "更新して探す" asks for the board's list afresh: the successor got a reply meanwhile.
    Grow(first.key, 1);
    bar->findChild<QToolButton*>("nextThreadSearchButton")->click();
    QTRY_COMPARE(bar->Candidates().front().resCount, first.resCount + 1);
    const NextThreadCandidate best = bar->Candidates().front();
    QCOMPARE(best.key, first.key);

    const int before = tabs_->count();
    emit bar->findChild<QLabel*>("nextThreadLinksLabel")->linkActivated("0");
    QTRY_COMPARE(tabs_->count(), before + 1);
    ThreadTab* next = ThreadTabs().ActiveTab();
    QCOMPARE(next->DatName(), best.key + ".dat");
    QCOMPARE(next->Caption(), best.title);
    const std::string boardDir = LogDir() + "/hayabusa.5ch.io/cook/";
    QVERIFY(FileExists(boardDir + best.key + ".dat"));
    const int got = Ini(boardDir, best.key + ".dat", "GotCount");
    QCOMPARE(got, best.resCount);
    QCOMPARE(Ini(boardDir, best.key + ".dat", "Unread"), got + 1);  // read, as from the list
    QVERIFY(!next->NextThreads()->isVisible());
  }

 private:
  // Images on click (the default), in a thread of more than 400 replies (one in twenty links a
  // picture; every board has full threads): a picture's link → its thumbnail under the post,
  // served by the program → a click on the thumbnail → the viewer with the picture.
  void ShowsImages() {
    int row = -1;
    for (int r = 0; r < view_->model()->rowCount() && row < 0; ++r) {
      if (view_->model()->index(r, kResColumn).data().toString().toInt() > 400) row = r;
    }
    QVERIFY(row >= 0);
    QVERIFY(!OpenRow(row).empty());
    ThreadTab* tab = ThreadTabs().ActiveTab();
    WaitLoaded(tab);
    ClickInPage(tab, "a[href=\"#all\"]");
    WaitLoaded(tab);
    const QVariantList links = FromScript(
        tab,
        "(function () { var found = [];"
        " document.querySelectorAll('a[href*=\"img.demo.invalid/i/\"]').forEach(function (a) {"
        " found.push(a.getAttribute('href')); }); return found; })()");
    const std::map<QString, QSize> pictures = {{"sky.png", {64, 48}},   {"rings.jpg", {32, 32}},
                                               {"still.gif", {40, 24}}, {"blink.gif", {48, 32}},
                                               {"dots.webp", {40, 40}}, {"tiles.bmp", {30, 18}}};
    QString link;
    QSize size;
    for (const QVariant& href : links) {
      const auto picture = pictures.find(href.toString().section('/', -1));
      if (picture == pictures.end()) continue;
      link = href.toString();
      size = picture->second;
      break;
    }
    QVERIFY2(!link.isEmpty(), "the thread links a picture");
    QVERIFY(FromScript(tab, "[document.querySelectorAll('img').length]").value(0).toInt() == 0);

    ClickInPage(tab, QString("a[href=\"%1\"]").arg(link));
    QTRY_VERIFY_WITH_TIMEOUT(
        FromScript(tab,
                   "(function () { var i = document.querySelector('img[src^=\"velkor:/thumb/\"]');"
                   " return [!!i && i.complete && i.naturalWidth > 0]; })()")
            .value(0)
            .toBool(),
        20000);
    QVERIFY2(tab->Document().find("velkor:/thumb") == std::string::npos,
             "the page's own bytes stay as rendered");

    ClickInPage(tab, "a[href^=\"velkor:/image/\"]");
    ImageViewer* viewer = nullptr;
    QTRY_VERIFY((viewer = form_->findChild<ImageViewer*>("imageViewer")) != nullptr);
    QVERIFY(viewer->isVisible());
    QVERIFY(viewer->CurrentPage() != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(viewer->CurrentPage()->Shown(), 20000);
    QCOMPARE(viewer->CurrentPage()->Canvas()->ImageSize(), size);
    QCOMPARE(QString::fromStdString(viewer->CurrentPage()->Link().link), link);
    viewer->close();
  }

  struct Place {
    int reply = 0;
    double top = 0;
    bool atBottom = false;
  };

  // The reply at the top of the view (the last reply anchor at or above the top), how far above
  // the top its anchor is, and whether the view is at the bottom of the page.
  static Place PlaceOf(ThreadTab* tab) {
    const QVariantList place = FromScript(
        tab,
        "(function () { var root = document.documentElement; var reply = 0, at = 0;"
        " for (var i = 0; i < document.anchors.length; ++i) {"
        "   var name = document.anchors[i].getAttribute('name') || '';"
        "   if (!/^a[0-9]+$/.test(name)) continue;"
        "   var top = document.anchors[i].getBoundingClientRect().top;"
        "   if (top > 1) break;"
        "   reply = parseInt(name.substring(1), 10); at = top; }"
        " return [reply, at,"
        "         window.pageYOffset + window.innerHeight >= root.scrollHeight - 2]; })()");
    if (place.size() != 3) return {};
    return {place[0].toInt(), place[1].toDouble(), place[2].toBool()};
  }

  // Whether the anchor of `reply` lies within the view.
  static bool InView(ThreadTab* tab, int reply) {
    const QVariantList seen = FromScript(
        tab,
        QString("(function () { var a = document.anchors.namedItem('a%1'); if (!a) return [false];"
                " var top = a.getBoundingClientRect().top;"
                " return [top >= 0 && top < window.innerHeight]; })()")
            .arg(reply));
    return !seen.isEmpty() && seen[0].toBool();
  }

  static void ScrollTo(ThreadTab* tab, int reply) {
    auto found = std::make_shared<int>(-2);
    tab->ScrollToAnchor("a" + std::to_string(reply), [found](int result) { *found = result; });
    QTRY_COMPARE(*found, int(ThreadView::kAnchorFound));
  }

  // `count` new replies to the thread `key` of the demo's cook board.
  static void Grow(const std::string& key, int count) {
    std::string answer;
    std::string lastModified;
    HttpSession session;
    QVERIFY(FetchFull(session,
                      "http://hayabusa.5ch.io/_demo/grow/cook/" + key + "/" + std::to_string(count),
                      answer, lastModified, false)
                .IsOk());
    QVERIFY2(answer.starts_with("added "), answer.c_str());
  }

  int Lines() {
    QByteArray all = server_.peek(4096);
    return static_cast<int>(all.count('\n'));
  }

  static int Ini(const std::string& boardDir, const std::string& datName, const char* key) {
    IniDocument ini;
    if (!ini.Load(boardDir + "subject.ini")) return -1;
    return static_cast<int>(ini.ReadInteger(datName, key, -1));
  }

  // The board list's menu on a board, then its item `item`.
  void SubscriptionMenu(const char* category, const char* name, const char* item) {
    auto* pages = form_->findChild<QTabWidget*>("sidebarPageControl");
    pages->setCurrentIndex(0);
    boards_->expandAll();
    QTreeWidgetItem* node = boards_->FindBoardNode(Sjis(category), Sjis(name));
    QVERIFY(node != nullptr);
    boards_->scrollToItem(node);
    const QPoint at = boards_->visualItemRect(node).center();
    QVERIFY(WithMenu(
        form_->findChild<QMenu*>("bbsAllPM"), [&] { emit boards_->customContextMenuRequested(at); },
        [&] { form_->findChild<QAction*>(item)->trigger(); }));
  }

  // A click on the favourite: the board's list downloads and shows its 300 threads.
  void OpenBoard(const char* category, const char* name) {
    auto* pages = form_->findChild<QTabWidget*>("sidebarPageControl");
    pages->setCurrentIndex(1);
    favorites_->expandAll();
    QTreeWidgetItem* node = favorites_->FindBoardNode(Sjis(category), Sjis(name));
    QVERIFY(node != nullptr);
    QTest::mouseClick(favorites_->viewport(), Qt::LeftButton, {},
                      favorites_->visualItemRect(node).center());
    QTRY_COMPARE(view_->model()->rowCount(), 300);
  }

  int RowOf(const std::string& datName) const {
    for (int r = 0; r < view_->model()->rowCount(); ++r) {
      if (view_->model()->index(r, kDatColumn).data().toString().toStdString() == datName) return r;
    }
    return -1;
  }

  // A click on a row opens its thread in a tab; returns the thread's dat name.
  std::string OpenRow(int row) {
    const int before = tabs_->count();
    const QModelIndex index = view_->model()->index(row, 3);
    view_->scrollTo(index);
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, view_->visualRect(index).center());
    if (tabs_->count() != before + 1 || ThreadTabs().ActiveTab() == nullptr) return std::string();
    return ThreadTabs().ActiveTab()->DatName();
  }

  static void WaitLoaded(ThreadTab* tab) { QTRY_VERIFY(!tab->View()->IsLoading()); }

  // Whether the page marks reply `number` as the user's own, beside its number.
  static bool OwnMarkShown(ThreadTab* tab, int number) {
    const QVariantList mark = FromScript(
        tab, QString("(function () { var m = document.querySelector('[data-velkor-own=\"%1\"]');"
                     " var link = document.querySelector('a[href=\"menu:%1\"]');"
                     " return [!!m && !!link && m.parentNode === link.parentNode &&"
                     " !!(link.compareDocumentPosition(m) & Node.DOCUMENT_POSITION_FOLLOWING)];"
                     " })()")
                 .arg(number));
    return mark.value(0).toBool();
  }

  static QVariantList FromScript(ThreadTab* tab, const QString& script) {
    return test::ScriptResult(tab, script).toList();
  }

  static void ClickInPage(ThreadTab* tab, const QString& selector) {
    const QVariantList clicked =
        FromScript(tab, QString("(function () { var a = document.querySelector('%1');"
                                " if (!a) return [false]; a.click(); return [true]; })()")
                            .arg(selector));
    QVERIFY(!clicked.isEmpty() && clicked[0].toBool());
  }

  QTemporaryDir dataDir_;
  QTemporaryDir serverDir_;
  QProcess server_;
  std::string menuUrl_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<GuiUiHooks> hooks_;
  BoardTreeWidget* boards_ = nullptr;
  BoardTreeWidget* favorites_ = nullptr;
  SubjectListView* view_ = nullptr;
  QTabWidget* tabs_ = nullptr;
};

int main(int argc, char** argv) {
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
  // The log sweeper moves files to the trash: keep it inside the test's own directory.
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.path().toUtf8());
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  DemoEndToEndTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "DemoEndToEndTest.moc"
