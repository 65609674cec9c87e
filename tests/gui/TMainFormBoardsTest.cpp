// The main window on a data directory with a board list, favourites and one board's stored thread
// list: opening boards from the favourites, the side-bar menus, the favourite-button bar and the
// thread-list menu. Board hosts are pointed at a closed loopback port, so every download fails at
// once and the stored state shows.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "PresetDialogs.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "boards/FavoriteButtonBar.h"
#include "boards/ui/BoardTreeWidget.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"
#include "search/ui/TSearchForm.h"
#include "subjects/ui/SubjectListView.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"

using namespace velkor;

namespace {

void WriteSjis(const std::string& path, const char* utf8) {
  std::string dir = path.substr(0, path.rfind('/'));
  MakeDirectories(dir);
  ReplaceFile(path, Sjis(utf8));
}

QString ReadText(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  return bytes ? QString::fromStdString(SjisToUtf8Lossy(*bytes)) : QString("<missing>");
}

// Runs `inspect` on the menu once `open` has shown it (the menu runs its own loop, at once or from
// a queued event), then closes the menu. Returns whether the menu was shown within `waitMs`.
bool WithMenu(QMenu* menu, const std::function<void()>& open, const std::function<void()>& inspect,
              int waitMs = 2000) {
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
  if (!shown) (void)QTest::qWaitFor([&] { return shown; }, waitMs);
  timer.stop();
  return shown;
}

// A menu as text: items by object name and caption, separators as "-", submenus in brackets.
QString Outline(const QMenu* menu) {
  QStringList entries;
  for (const QAction* item : menu->actions()) {
    if (item->isSeparator()) {
      entries << "-";
    } else if (const QMenu* sub = item->menu()) {
      entries << sub->objectName() + ":" + sub->title() + "[" + Outline(sub) + "]";
    } else {
      entries << item->objectName() + ":" + item->text();
    }
  }
  return entries.join(" ");
}

QStringList EnabledItems(QMenu* menu) {
  QStringList names;
  for (QAction* item : menu->actions()) {
    if (!item->isSeparator() && item->isEnabled()) names << item->objectName();
  }
  return names;
}

}  // namespace

class TMainFormBoardsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
    QVERIFY(AddConnectOverrides({"news.test=127.0.0.1:1", "hobby.test=127.0.0.1:1"}).IsOk());
    std::string ini = IniDir();
    WriteSjis(ini + "/board.ini",
              "[ニュース]\r\n速報=http://news.test/flash/\r\n芸能=http://news.test/geino/\r\n\r\n"
              "[趣味]\r\n釣り=http://hobby.test/fish/\r\n\r\n");
    WriteSjis(ini + "/subscrib.ini",
              "[ニュース]\r\n速報=http://news.test/flash/\r\n\r\n"
              "[趣味]\r\n釣り=http://hobby.test/fish/\r\n\r\n");
    WriteSjis(ini + "/config.ini", "[Kodawari]\r\nNewTabOpen=1\r\n\r\n");
    // 1: new and never opened; 2: listed twice, read to the end; 3: fell off the list, unread
    // replies left.
    WriteSjis(LogDir() + "/news.test/flash/subject.ini",
              "[1000000001.dat]\r\nNowNo=1\r\nPreNo=0\r\nResCount=10\r\nTitle=新スレ\r\n\r\n"
              "[1000000002.dat]\r\nNowNo=2\r\nPreNo=2\r\nResCount=5\r\nTitle=既読スレ\r\n"
              "GotCount=5\r\nUnread=6\r\nLastModified=Mon, 07 Dec 2026 10:00:00 GMT\r\n"
              "DatSize=1234567\r\n\r\n"
              "[1000000003.dat]\r\nNowNo=-1\r\nPreNo=3\r\nResCount=20\r\nTitle=落ちたスレ\r\n"
              "GotCount=20\r\nUnread=11\r\nDatSize=300\r\n\r\n");
    WriteSjis(LogDir() + "/news.test/flash/1000000002.dat", "a<>b<>c<>d<>e\n");

    form_ = std::make_unique<TMainForm>();
    hooks_ = std::make_unique<GuiUiHooks>(form_.get());
    SetUiHooks(hooks_.get());
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    favorites_ = form_->findChild<BoardTreeWidget*>("subscribeTreeView");
    boards_ = form_->findChild<BoardTreeWidget*>("BBSTreeView");
    view_ = form_->findChild<SubjectListView*>("SubjectListView");
    label_ = form_->findChild<QLabel*>("BBSNameLabel");
  }

  void cleanupTestCase() {
    SetUiHooks(nullptr);
    form_.reset();
    ClearConnectOverrides();
  }

  // Both trees show the lists; with favourites, their page is in front. NewTabOpen=1 makes the
  // thread menu's first item open in the active tab.
  void treesAndSettingsAtStart() {
    QCOMPARE(favorites_->NodeCount(), 5);
    QCOMPARE(boards_->NodeCount(), 6);
    QCOMPARE(favorites_->topLevelItem(0)->text(0), QString("2ch"));
    QCOMPARE(favorites_->topLevelItem(0)->child(0)->text(0), QString::fromUtf8("ニュース"));
    auto* pages = form_->findChild<QTabWidget*>("sidebarPageControl");
    QCOMPARE(pages->currentWidget()->objectName(), QString("subscribeTabSheet"));
    QCOMPARE(form_->findChild<QAction*>("threadNewTabMI")->text(),
             QString::fromUtf8("アクティブなタブで開く"));
    QVERIFY(!form_->findChild<QWidget*>("favoritePanel")->isVisible());
  }

  // A right click on the board-name label before any board was shown opens no menu.
  void nameLabelMenuNeedsABoard() {
    auto* menu = form_->findChild<QMenu*>("subscribePM");
    bool shown = WithMenu(
        menu, [&] { emit label_->customContextMenuRequested(QPoint(2, 2)); }, [] {}, 200);
    QVERIFY(!shown);
  }

  // A category node of the favourites opens nothing.
  void selectingCategoryShowsNothing() {
    favorites_->setCurrentItem(favorites_->topLevelItem(0)->child(1));
    QCOMPARE(label_->text(), QString::fromUtf8("板名"));
    QCOMPARE(view_->model()->rowCount(), 0);
  }

  // The category's menu: only pinning is possible; pinning writes the category button and shows
  // the bar.
  void categoryMenuPinsACategoryButton() {
    auto* menu = form_->findChild<QMenu*>("subscribePM");
    bool shown = WithMenu(
        menu, [&] { emit favorites_->customContextMenuRequested(QPoint(5, 5)); },
        [&] {
          QCOMPARE(EnabledItems(menu), QStringList{"subscribeAddFavoriteButtonMI"});
          form_->findChild<QAction*>("subscribeAddFavoriteButtonMI")->trigger();
        });
    QVERIFY(shown);
    QCOMPARE(ReadText(IniDir() + "/favbrd.lst"), QString::fromUtf8("▽趣味\r\n"));
    QVERIFY(form_->findChild<QWidget*>("favoritePanel")->isVisible());
    QToolButton* pinned = nullptr;
    for (auto* button : form_->findChildren<QToolButton*>()) {
      if (button->text() == QString::fromUtf8("▽趣味")) pinned = button;
    }
    QVERIFY(pinned != nullptr);
  }

  // A board node shows "category：name" and the stored rows under "スレッド": the new thread and
  // the past one, past threads first; the failed download leaves subject.ini as it was.
  void selectingBoardShowsStoredRows() {
    std::string iniPath = LogDir() + "/news.test/flash/subject.ini";
    QString before = ReadText(iniPath);
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
    QCOMPARE(label_->text(), QString::fromUtf8("ニュース：速報"));
    QVERIFY(form_->IsSubjectExpanded());
    QCOMPARE(view_->model()->rowCount(), 2);
    auto cell = [&](int row, int column) {
      return view_->model()->index(row, column).data().toString();
    };
    QCOMPARE(cell(0, 3), QString::fromUtf8("落ちたスレ"));
    QCOMPARE(cell(0, 1), QString("dat"));
    QCOMPARE(cell(0, 6), QString("10"));
    QCOMPARE(cell(1, 3), QString::fromUtf8("新スレ"));
    QCOMPARE(cell(1, 2), QString("-"));
    // The past thread with unread replies has the unread colour (orange), not the past one.
    QCOMPARE(view_->model()->index(0, 3).data(Qt::BackgroundRole).value<QBrush>().color(),
             QColor(0xFF, 0xA2, 0x00));
    // Its text is black whatever the palette (white on it under a dark one would not read).
    QCOMPARE(view_->model()->index(0, 3).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(Qt::black));
    QCOMPARE(ReadText(iniPath), before);
    QVERIFY(form_->statusBar()->currentMessage().startsWith(QString::fromUtf8("エラー:")));
  }

  // Every show type shows its rows; a new board starts from "スレッド" again.
  void showTypesFilterRows() {
    auto* box = form_->findChild<QComboBox*>("subjectShowTypeCB");
    QCOMPARE(box->count(), 6);
    QCOMPARE(box->itemText(0), QString::fromUtf8("スレッド"));
    const int expected[] = {2, 3, 2, 1, 1, 1};
    for (int i = 0; i < 6; ++i) {
      box->setCurrentIndex(i);
      emit box->activated(i);
      QCOMPARE(view_->model()->rowCount(), expected[i]);
      if (i == 2) QCOMPARE(view_->model()->index(1, 8).data().toString(), QString("1,234,567"));
    }
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
    favorites_->clearSelection();
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(view_->model()->rowCount(), 2);
  }

  // The first click on "順位" puts the highest rank first, the second restores ascending order;
  // the header's arrow shows the column and direction of the order shown.
  void columnClickSorts() {
    auto* header = view_->horizontalHeader();
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, 5));
    QCOMPARE(view_->model()->index(0, 1).data().toString(), QString("1"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, 5));
    QCOMPARE(view_->model()->index(0, 1).data().toString(), QString("dat"));
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
  }

  // The single-thread items need exactly one selected row, "ログ削除" at least one.
  void threadMenuEnabledStates() {
    auto* menu = form_->findChild<QMenu*>("threadPM");
    QStringList all = {"threadNewTabMI", "threadURLCopyMI", "threadTitleCopyMI",
                       "threadOpenBrowserMI", "threadDeleteLogMI"};
    QCOMPARE(
        Outline(menu),
        QString::fromUtf8("threadNewTabMI:アクティブなタブで開く threadURLCopyMI:URLをコピー "
                          "threadTitleCopyMI:タイトルをコピー threadOpenBrowserMI:ブラウザで開く "
                          "- threadDeleteLogMI:ログ削除"));
    view_->clearSelection();
    emit menu->aboutToShow();
    QCOMPARE(EnabledItems(menu), QStringList());
    view_->selectionModel()->select(view_->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    emit menu->aboutToShow();
    QCOMPARE(EnabledItems(menu), all);
    view_->selectionModel()->select(view_->model()->index(1, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    emit menu->aboutToShow();
    QCOMPARE(EnabledItems(menu), QStringList{"threadDeleteLogMI"});
  }

  // URL and title of a row go to the clipboard.
  void threadMenuCopies() {
    view_->clearSelection();
    view_->selectionModel()->select(view_->model()->index(1, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    emit form_->findChild<QMenu*>("threadPM")->aboutToShow();
    form_->findChild<QAction*>("threadURLCopyMI")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("http://news.test/test/read.cgi/flash/1000000001/"));
    form_->findChild<QAction*>("threadTitleCopyMI")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("新スレ"));
  }

  // A click on a row (NewTabOpen set) opens the thread in a new tab at its first unread reply and
  // marks it read; the menu's first item opens another thread in the active tab instead.
  void rowClickOpensThread() {
    auto* box = form_->findChild<QComboBox*>("subjectShowTypeCB");
    box->setCurrentIndex(1);
    emit box->activated(1);
    auto rowOf = [&](const char* title) {
      for (int row = 0; row < view_->model()->rowCount(); ++row) {
        if (view_->model()->index(row, 3).data().toString() == QString::fromUtf8(title)) return row;
      }
      return -1;
    };
    auto* tabs = form_->findChild<QTabWidget*>("tabPageControl");
    QCOMPARE(tabs->count(), 0);
    QCOMPARE(Outline(form_->findChild<QMenu*>("tabPM")),
             QString::fromUtf8(
                 "tabWriteMI:書き込み - "
                 "tabCloseMI:このタブを閉じる tabReopenMI:閉じたタブを開き直す "
                 "tabReloadMI:再読み込み tabControlMI:操作[tabDeleteLogMI:ログ削除] "
                 "tabCloseOtherMI:これ以外のタブを閉じる - tabAutoReloadMI:自動更新 - "
                 "tabTitleCopyMI:タイトルをコピー "
                 "tabURLCopyMI:URLをコピー - tabHistoryMI:履歴[tabHistory1MI:1 tabHistory2MI:2 "
                 "tabHistory3MI:3 tabHistory4MI:4 tabHistory5MI:5] - "
                 "tabOpenBrowserMI:ブラウザで開く"));
    int past = rowOf("落ちたスレ");
    QVERIFY(past >= 0);
    QTest::mouseClick(view_->viewport(), Qt::LeftButton, {},
                      view_->visualRect(view_->model()->index(past, 3)).center());
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QString::fromUtf8("落ちたスレ"));
    QVERIFY(!form_->IsSubjectExpanded());
    QVERIFY(ThreadTabs().ActiveTab() != nullptr);
    QCOMPARE(ThreadTabs().ActiveTab()->FirstUnread(), 11);
    QCOMPARE(ThreadTabs().ActiveTab()->DatName(), std::string("1000000003.dat"));
    QVERIFY(ReadText(LogDir() + "/news.test/flash/subject.ini")
                .contains("[1000000003.dat]\r\nNowNo=-1\r\nPreNo=3\r\nResCount=20\r\n"));
    QVERIFY(ReadText(LogDir() + "/news.test/flash/subject.ini").contains("Unread=21\r\n"));
    QCOMPARE(view_->model()->index(rowOf("落ちたスレ"), 6).data().toString(), QString("0"));

    int fresh = rowOf("新スレ");
    view_->clearSelection();
    view_->selectionModel()->select(view_->model()->index(fresh, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    emit form_->findChild<QMenu*>("threadPM")->aboutToShow();
    form_->findChild<QAction*>("threadNewTabMI")->trigger();
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QString::fromUtf8("新スレ"));
    QCOMPARE(ThreadTabs().ActiveTab()->FirstUnread(), 1);
    // Its log could not be fetched (the host is closed): the tab says so.
    QVERIFY(ThreadTabs().ActiveTab()->findChild<QWidget*>("fetchFailurePanel")->isVisible());

    // The tab now has a history of two threads: "履歴" offers exactly those, newest first.
    emit form_->findChild<QMenu*>("tabPM")->aboutToShow();
    QVERIFY(form_->findChild<QMenu*>("tabHistoryMI")->isEnabled());
    QStringList history;
    for (QAction* item : form_->findChild<QMenu*>("tabHistoryMI")->actions()) {
      if (item->isVisible()) history << item->text();
    }
    QCOMPARE(history, (QStringList{QString::fromUtf8("新スレ"), QString::fromUtf8("落ちたスレ")}));

    // The tab menu's commands act on the active tab.
    form_->findChild<QAction*>("tabTitleCopyMI")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("新スレ"));
    form_->findChild<QAction*>("tabURLCopyMI")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("http://news.test/test/read.cgi/flash/1000000001"));
    form_->findChild<QAction*>("tabHistory2MI")->trigger();
    QCOMPARE(tabs->tabText(0), QString::fromUtf8("落ちたスレ"));
    QCOMPARE(ThreadTabs().ActiveTab()->DatName(), std::string("1000000003.dat"));
    form_->ShowHtmlPage("<html>x</html>", "x");
    QCOMPARE(tabs->count(), 2);
    tabs->setCurrentIndex(0);
    form_->findChild<QAction*>("tabCloseOtherMI")->trigger();
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QString::fromUtf8("落ちたスレ"));
    ThreadTabs().CloseAllTabs();
    form_->SetSubjectExpanded(true);
  }

  // "ログ削除" removes the logs of the selected rows and writes their reset state once.
  void deleteLogsOfSelectedRows() {
    auto* box = form_->findChild<QComboBox*>("subjectShowTypeCB");
    box->setCurrentIndex(2);
    emit box->activated(2);
    QCOMPARE(view_->model()->rowCount(), 2);
    view_->selectAll();
    form_->findChild<QAction*>("threadDeleteLogMI")->trigger();
    QVERIFY(!FileExists(LogDir() + "/news.test/flash/1000000002.dat"));
    QString ini = ReadText(LogDir() + "/news.test/flash/subject.ini");
    QVERIFY(ini.contains("[1000000002.dat]\r\nNowNo=2\r\nPreNo=2\r\nResCount=5\r\n"));
    QVERIFY(ini.contains("GotCount=0\r\nUnread=1\r\nLastModified=\r\nDatSize=0\r\n"));
    QCOMPARE(view_->model()->index(0, 5).data().toString(), QString("0"));
  }

  // The board list's menu: a board not yet a favourite can be subscribed, a favourite only
  // removed; a category node allows nothing.
  void boardListMenuSubscribes() {
    auto* menu = form_->findChild<QMenu*>("bbsAllPM");
    auto* pages = form_->findChild<QTabWidget*>("sidebarPageControl");
    pages->setCurrentIndex(0);
    boards_->expandAll();
    QTreeWidgetItem* geino = boards_->FindBoardNode(Sjis("ニュース"), Sjis("芸能"));
    QVERIFY(geino != nullptr);
    QPoint at = boards_->visualItemRect(geino).center();
    bool shown = WithMenu(
        menu, [&] { emit boards_->customContextMenuRequested(at); },
        [&] {
          QCOMPARE(
              Outline(menu),
              QString::fromUtf8("bbsAllSubscribeMI:お気に入り "
                                "bbsAllUnsubscribeMI:お気に入りから削除 - "
                                "bbsAllURLCopyMI:URLコピー bbsAllOpenBrowserMI:ブラウザで開く"));
          QCOMPARE(EnabledItems(menu),
                   (QStringList{"bbsAllSubscribeMI", "bbsAllURLCopyMI", "bbsAllOpenBrowserMI"}));
          form_->findChild<QAction*>("bbsAllURLCopyMI")->trigger();
          form_->findChild<QAction*>("bbsAllSubscribeMI")->trigger();
        });
    QVERIFY(shown);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("http://news.test/geino/"));
    QVERIFY(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("芸能")) != nullptr);
    QVERIFY(ReadText(IniDir() + "/subscrib.ini")
                .contains(QString::fromUtf8("芸能=http://news.test/geino/")));

    shown = WithMenu(
        menu, [&] { emit boards_->customContextMenuRequested(at); },
        [&] {
          QCOMPARE(EnabledItems(menu),
                   (QStringList{"bbsAllUnsubscribeMI", "bbsAllURLCopyMI", "bbsAllOpenBrowserMI"}));
        });
    QVERIFY(shown);

    QTreeWidgetItem* category = geino->parent();
    QPoint categoryAt = boards_->visualItemRect(category).center();
    shown = WithMenu(
        menu, [&] { emit boards_->customContextMenuRequested(categoryAt); },
        [&] { QCOMPARE(EnabledItems(menu), QStringList()); });
    QVERIFY(shown);
    pages->setCurrentIndex(1);
  }

  // A board node of the favourites: every item; the open board's label menu cannot pin.
  void favouritesMenuOnBoards() {
    auto* menu = form_->findChild<QMenu*>("subscribePM");
    QStringList all = {"subscribeAddFavoriteButtonMI", "subscribeURLCopyMI",
                       "subscribeOpenBrowserMI", "subscribeUnsubscribeMI", "subscribeNewThreadMI"};
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("趣味"), Sjis("釣り")));
    QCOMPARE(label_->text(), QString::fromUtf8("趣味：釣り"));
    bool shown = WithMenu(
        menu, [&] { emit favorites_->customContextMenuRequested(QPoint(5, 5)); },
        [&] {
          QCOMPARE(Outline(menu),
                   QString::fromUtf8("subscribeAddFavoriteButtonMI:常駐ボタンに登録 - "
                                     "subscribeURLCopyMI:URLコピー "
                                     "subscribeOpenBrowserMI:ブラウザで開く - "
                                     "subscribeUnsubscribeMI:お気に入りから削除 - "
                                     "subscribeNewThreadMI:スレ立て"));
          QCOMPARE(EnabledItems(menu), all);
          form_->findChild<QAction*>("subscribeAddFavoriteButtonMI")->trigger();
        });
    QVERIFY(shown);
    QCOMPARE(ReadText(IniDir() + "/favbrd.lst"), QString::fromUtf8("▽趣味\r\n釣り\r\n"));

    shown = WithMenu(
        menu, [&] { emit label_->customContextMenuRequested(QPoint(2, 2)); },
        [&] { QCOMPARE(EnabledItems(menu), all.mid(1)); });
    QVERIFY(shown);
  }

  // A right click on another favourite leaves the selection and the shown board as they were.
  void rightClickKeepsFavouriteSelection() {
    QTreeWidgetItem* fish = favorites_->FindBoardNode(Sjis("趣味"), Sjis("釣り"));
    QTreeWidgetItem* flash = favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報"));
    QCOMPARE(favorites_->SelectedNode(), fish);
    QTest::mouseClick(favorites_->viewport(), Qt::RightButton, {},
                      favorites_->visualItemRect(flash).center());
    QCOMPARE(favorites_->SelectedNode(), fish);
    QCOMPARE(label_->text(), QString::fromUtf8("趣味：釣り"));
  }

  // "▼お気に入り" drops down every category with its boards; a board item opens that board.
  void fixedButtonDropsDownFavourites() {
    auto* fixed = form_->findChild<QToolButton*>("favoriteToolButton");
    QMenu* menu = nullptr;
    QStringList categories;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
      menu = form_->findChild<QMenu*>("buttonMenu");
      if (menu == nullptr || !menu->isVisible()) return;
      poll.stop();
      for (QAction* item : menu->actions()) categories << item->text();
      QMenu* news = menu->actions().first()->menu();
      for (QAction* item : news->actions()) {
        if (item->text() == QString::fromUtf8("芸能")) item->trigger();
      }
      menu->close();
    });
    poll.start();
    fixed->click();
    QTRY_VERIFY(!poll.isActive());
    QCOMPARE(categories, (QStringList{QString::fromUtf8("ニュース"), QString::fromUtf8("趣味")}));
    QCOMPARE(label_->text(), QString::fromUtf8("ニュース：芸能"));
  }

  // A category button drops down the boards of its category; a board item opens that board. The
  // button stays pressed when it is clicked again.
  void categoryButtonDropsDownItsBoards() {
    QToolButton* category = nullptr;
    for (auto* button : form_->findChildren<QToolButton*>()) {
      if (button->text() == QString::fromUtf8("▽趣味")) category = button;
    }
    QVERIFY(category != nullptr);
    for (int click = 0; click < 2; ++click) {
      QStringList boards;
      QTimer poll;
      poll.setInterval(10);
      connect(&poll, &QTimer::timeout, [&] {
        QMenu* menu = form_->findChild<QMenu*>("buttonMenu");
        if (menu == nullptr || !menu->isVisible()) return;
        poll.stop();
        for (QAction* item : menu->actions()) boards << item->text();
        if (click == 0) menu->actions().first()->trigger();
        menu->close();
      });
      poll.start();
      category->click();
      QTRY_VERIFY(!poll.isActive());
      QCOMPARE(boards, QStringList{QString::fromUtf8("釣り")});
      QCOMPARE(label_->text(), QString::fromUtf8("趣味：釣り"));
      QVERIFY(category->isChecked());
    }
  }

  // A board button opens its favourite; removing every button hides the bar again.
  void boardButtonOpensAndRemovalHidesBar() {
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
    QToolButton* board = nullptr;
    for (auto* button : form_->findChildren<QToolButton*>()) {
      if (button->text() == QString::fromUtf8("釣り")) board = button;
    }
    QVERIFY(board != nullptr);
    board->click();
    QCOMPARE(label_->text(), QString::fromUtf8("趣味：釣り"));
    QVERIFY(board->isChecked());
    // Another pinned button lays the bar out anew; the pressed one stays pressed.
    QVERIFY(FavoriteButtons().AddButton(Sjis("速報")).IsOk());
    board = nullptr;
    for (auto* button : form_->findChildren<QToolButton*>()) {
      if (button->text() == QString::fromUtf8("釣り")) board = button;
    }
    QVERIFY(board != nullptr);
    QVERIFY(board->isChecked());

    auto* menu = form_->findChild<QMenu*>("bbsButtonDeletePM");
    for (const char* caption : {"釣り", "▽趣味", "速報"}) {
      QToolButton* target = nullptr;
      for (auto* button : form_->findChildren<QToolButton*>()) {
        if (button->text() == QString::fromUtf8(caption)) target = button;
      }
      QVERIFY(target != nullptr);
      bool shown = WithMenu(
          menu, [&] { QTest::mouseClick(target, Qt::RightButton); },
          [&] {
            QCOMPARE(Outline(menu), QString::fromUtf8("bbsButtonDeleteMI:削除"));
            form_->findChild<QAction*>("bbsButtonDeleteMI")->trigger();
          });
      QVERIFY(shown);
    }
    QCOMPARE(ReadText(IniDir() + "/favbrd.lst"), QString(""));
    QVERIFY(!form_->findChild<QWidget*>("favoritePanel")->isVisible());
  }

  // Removing the shown favourite clears the selection; no neighbour board opens.
  void removingTheShownFavouriteOpensNoOtherBoard() {
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")));
    QCOMPARE(label_->text(), QString::fromUtf8("ニュース：速報"));
    QVERIFY(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("芸能")) != nullptr);
    auto* menu = form_->findChild<QMenu*>("subscribePM");
    bool shown = WithMenu(
        menu, [&] { emit favorites_->customContextMenuRequested(QPoint(5, 5)); },
        [&] { form_->findChild<QAction*>("subscribeUnsubscribeMI")->trigger(); });
    QVERIFY(shown);
    QVERIFY(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")) == nullptr);
    QCOMPARE(favorites_->SelectedNode(), nullptr);
    QCOMPARE(label_->text(), QString::fromUtf8("ニュース：速報"));
  }

  // A favourite is drawn on the subscribe colour in the board list; another board is not.
  void subscribedBoardsAreColouredInTheBoardList() {
    auto* pages = form_->findChild<QTabWidget*>("sidebarPageControl");
    pages->setCurrentIndex(0);
    boards_->clearSelection();
    boards_->expandAll();
    const QColor subscribed(0xFF, 0xFF, 0x00);  // SubjectSubscribeColor's default
    auto background = [&](const char* category, const char* name) {
      QTreeWidgetItem* node = boards_->FindBoardNode(Sjis(category), Sjis(name));
      if (node == nullptr) return QColor();
      const QRect rect = boards_->visualItemRect(node);
      return boards_->viewport()->grab(rect).toImage().pixelColor(rect.width() - 2,
                                                                  rect.height() / 2);
    };
    QTRY_COMPARE(background("趣味", "釣り"), subscribed);
    QVERIFY(background("ニュース", "速報") != subscribed);
    pages->setCurrentIndex(1);
  }

  // "検索" opens the search dialog; a word found in one title leaves that row alone in the list.
  void searchButtonFiltersTheList() {
    WriteSjis(LogDir() + "/news.test/geino/subject.ini",
              "[1000000011.dat]\r\nNowNo=1\r\nResCount=3\r\nTitle=天気の話\r\n\r\n"
              "[1000000012.dat]\r\nNowNo=2\r\nResCount=4\r\nTitle=釣りの話\r\n\r\n");
    favorites_->clearSelection();
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("芸能")));
    QCOMPARE(view_->model()->rowCount(), 2);
    test::PresetDialogs dialogs;
    dialogs.windows.push_back([](QDialog& dialog) {
      auto& search = static_cast<TSearchForm&>(dialog);
      search.keyEdit->setText(QString::fromUtf8("天気"));
      search.startButton->click();
    });
    auto* filter = form_->findChild<QToolButton*>("subjectFilterButton");
    QVERIFY(filter != nullptr && !filter->isVisible());
    form_->findChild<QToolButton*>("subjectFindToolButton")->click();
    QCOMPARE(dialogs.asked, QStringList{"window||SearchForm"});
    QCOMPARE(view_->model()->rowCount(), 1);
    QCOMPARE(view_->model()->index(0, 3).data().toString(), QString::fromUtf8("天気の話"));
    // The filter shows beside the show type, naming its word, until it is cleared.
    QVERIFY(filter->isVisible());
    QVERIFY(filter->text().contains(QString::fromUtf8("天気")));
    filter->click();
    QVERIFY(!filter->isVisible());
    QCOMPARE(view_->model()->rowCount(), 2);
  }

  // "ログ整理" → "実行..." says what would go and asks first: "いいえ" leaves everything as it
  // was; "はい" closes the tabs of the logs that go (the list stays: its board is a favourite) and
  // shows the report in a tab of its own. With nothing left to remove it says so.
  void logSweeperCommandAsksFirst() {
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataDir_.path().toStdString() + "/xdg"));
    test::PresetDialogs dialogs;
    favorites_->setCurrentItem(favorites_->FindBoardNode(Sjis("趣味"), Sjis("釣り")));
    QVERIFY(form_->Subjects().IsBound());
    const std::string flash = LogDir() + "/news.test/flash/";
    WriteSjis(flash + "1000000002.dat", "a<>b<>c<>d<>e\n");
    form_->ShowHtmlPage("<html>x</html>", "x");
    ThreadTabs().OpenThread(flash, "1000000002.dat", "midoku", 1, TabChoice::kNewTab, "gone");
    auto* tabs = form_->findChild<QTabWidget*>("tabPageControl");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(
        Outline(form_->findChild<QMenu*>("optionPM")),
        QString::fromUtf8("optionOptionMI:設定... - optionSidebarShowMI:サイドバーを表示/隠す - "
                          "optionSweepMI:ログ整理[optionLogSweeperMI:実行...] "
                          "optionBBSMenuUpdateMI:ボード一覧更新... - optionAboutMI:about... - "
                          "optionQuitMI:終了"));
    auto* sweep = form_->findChild<QAction*>("optionLogSweeperMI");
    sweep->trigger();
    const QString question = QString::fromUtf8(
        "question|ログ整理|1板のログ1件をゴミ箱に移します。\n"
        "表示中のタブ1つを閉じます。よろしいですか？");
    QCOMPARE(dialogs.asked, QStringList{question});
    QVERIFY(FileExists(flash + "1000000002.dat"));
    QCOMPARE(tabs->count(), 2);

    dialogs.answers.push_back(true);
    sweep->trigger();
    QCOMPARE(dialogs.asked, (QStringList{question, question}));
    QVERIFY(!FileExists(flash + "1000000002.dat"));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QString("x"));
    QCOMPARE(tabs->tabText(1), QString::fromUtf8("ログ整理"));
    QVERIFY(form_->Subjects().IsBound());
    QCOMPARE(label_->text(), QString::fromUtf8("趣味：釣り"));

    sweep->trigger();
    QCOMPARE(dialogs.asked.last(),
             QString::fromUtf8("message|ログ整理|整理するログはありません。"));
    QCOMPARE(tabs->count(), 2);
  }

  // A double click on a board of the board list opens it; one that is no favourite becomes one
  // first (only favourites are read), and the status bar says so.
  void doubleClickInBoardListOpensTheBoard() {
    auto* pages = form_->findChild<QTabWidget*>("sidebarPageControl");
    pages->setCurrentIndex(0);
    boards_->expandAll();
    GiveUpTheFlashBoard();
    QTreeWidgetItem* flash = boards_->FindBoardNode(Sjis("ニュース"), Sjis("速報"));
    QVERIFY(flash != nullptr);
    QVERIFY(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")) == nullptr);
    const QPoint at = boards_->visualItemRect(flash).center();
    QTest::mouseClick(boards_->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(boards_->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")) != nullptr);
    QCOMPARE(label_->text(), QString::fromUtf8("ニュース：速報"));
    QVERIFY(ReadText(IniDir() + "/subscrib.ini")
                .contains(QString::fromUtf8("速報=http://news.test/flash/")));
    QVERIFY2(form_->statusBar()->currentMessage().contains(QString::fromUtf8("お気に入りに追加")),
             qPrintable(form_->statusBar()->currentMessage()));
    pages->setCurrentIndex(1);
  }

 private:
  // 速報 is no favourite (the sweep test gave it up; run alone, it is given up here).
  void GiveUpTheFlashBoard() {
    if (favorites_->FindBoardNode(Sjis("ニュース"), Sjis("速報")) != nullptr) {
      QVERIFY(Favorites().RemoveBoard(Sjis("ニュース"), Sjis("速報")).IsOk());
    }
  }

  QTemporaryDir dataDir_;
  std::unique_ptr<TMainForm> form_;
  std::unique_ptr<GuiUiHooks> hooks_;
  BoardTreeWidget* favorites_ = nullptr;
  BoardTreeWidget* boards_ = nullptr;
  SubjectListView* view_ = nullptr;
  QLabel* label_ = nullptr;
};

QTEST_MAIN(TMainFormBoardsTest)
#include "TMainFormBoardsTest.moc"
