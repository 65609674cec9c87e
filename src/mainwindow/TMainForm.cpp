#include "mainwindow/TMainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include "app/AboutPage.h"
#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "app/Session.h"
#include "app/UrlPaths.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "boards/FavoriteButtonBar.h"
#include "boards/ui/BoardTreeWidget.h"
#include "boards/ui/FavoriteToolBar.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "gui/KeyMap.h"
#include "images/ui/ThreadImages.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/NativeLook.h"
#include "mainwindow/RunBoardMenuUpdate.h"
#include "mainwindow/SessionTabs.h"
#include "mainwindow/SweepQuestion.h"
#include "mainwindow/TSettingForm.h"
#include "mainwindow/ThreadOpener.h"
#include "mainwindow/WindowGeometry.h"
#include "mainwindow/WindowKeys.h"
#include "net/CacheServerUrl.h"
#include "post/ui/ReplyWindows.h"
#include "search/ui/TSearchForm.h"
#include "subjects/BoardDir.h"
#include "subjects/ThreadState.h"
#include "subjects/TitleText.h"
#include "subjects/ui/NewReplyListModel.h"
#include "subjects/ui/SubjectListModel.h"
#include "subjects/ui/SubjectListView.h"
#include "sweeper/LogSweeper.h"
#include "threads/DatRenderer.h"
#include "threads/Skin.h"
#include "threads/ThreadLogFetch.h"
#include "threads/ui/FindBar.h"
#include "threads/ui/PageCommands.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/ThreadPosting.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadTabStrip.h"
#include "threads/ui/ThreadView.h"
#include "threads/ui/ThreadViewProfile.h"

namespace velkor {
namespace {

// A menu caption from a name taken from the data: "&" stays a plain character.
QString MenuText(const std::string& sjis) {
  return FromSjis(sjis).replace("&", "&&");
}

// Tells why a change of the favourites was not written (the tree shows the list as it is).
void ShowFavoritesFailure(const CatalogResult& result) {
  if (result.IsOk() || result.Code() == CatalogCode::kNotFound) return;
  AppDialogs().ShowMessage(nullptr, QMessageBox::Warning, QString::fromUtf8("お気に入り"),
                           FromSjis(result.Reason()));
}

// Tells why the button bar's file was not written. Pinning a caption that is pinned already is no
// failure worth a box: the bar simply keeps its one button.
void ShowButtonFailure(const ButtonResult& result) {
  if (result.Code() != ButtonCode::kNotWritten) return;
  AppDialogs().ShowMessage(nullptr, QMessageBox::Warning, QString::fromUtf8("お気に入り"),
                           FromSjis(result.Reason()));
}

// Puts a CP932 text on the clipboard.
void CopyToClipboard(const std::string& sjis) {
  QApplication::clipboard()->setText(FromSjis(sjis));
}

void OpenWithSystem(const std::string& url) {
  if (!url.empty()) QDesktopServices::openUrl(QUrl(FromSjis(url)));
}

// Before a download of the board's files: the cache server's board list, with its warning box
// when it cannot be had.
void PrepareCacheServerFor(const std::string& boardUrl) {
  Outcome prepared = PrepareCacheServer(boardUrl);
  if (!prepared.IsOk()) {
    AppDialogs().ShowMessage(nullptr, QMessageBox::Warning, FromSjis(Sjis("警告")),
                             FromSjis(prepared.Reason()));
  }
}

// Whether the new-reply check also fetches the logs: config.ini [Kodawari] CheckFetchesLogs,
// written only when the user changes it.
constexpr char kCheckSection[] = "Kodawari";
constexpr char kCheckFetchesLogsKey[] = "CheckFetchesLogs";

// A download's result that the status bar does not show yet: a file that could not be written.
void ShowUnwritten(QStatusBar* bar, const UpdateResult& result) {
  if (result.Code() == Update::kNotWritten) bar->showMessage(FromSjis(result.Reason()));
}

// The look of the one-line tab bar: tabs (style 0, the style's own), raised buttons (1) or flat
// buttons that show their frame only when pressed (2).
QString TabBarLook(int style) {
  if (style == 1) {
    return QStringLiteral(
        "QTabBar::tab { border: 2px outset palette(mid); border-radius: 3px; padding: 3px 10px;"
        " margin: 1px; background: palette(button); }"
        " QTabBar::tab:selected { border-style: inset; background: palette(midlight); }");
  }
  if (style == 2) {
    return QStringLiteral(
        "QTabBar::tab { border: 1px solid transparent; border-radius: 3px; padding: 3px 10px;"
        " margin: 1px; background: transparent; }"
        " QTabBar::tab:hover { border-color: palette(mid); }"
        " QTabBar::tab:selected { border: 1px inset palette(dark); background: palette(midlight); "
        "}");
  }
  return QString();
}

// Shows the busy cursor for the life of the object; pending events run once so it appears at once.
class BusyCursor {
 public:
  BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
  }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

QAction* AddItem(QMenu* menu, const char* name, const char* caption) {
  auto* action = new QAction(QString::fromUtf8(caption), menu);
  action->setObjectName(name);
  menu->addAction(action);
  return action;
}

QMenu* AddSubMenu(QMenu* menu, const char* name, const char* caption) {
  auto* sub = new QMenu(QString::fromUtf8(caption), menu);
  sub->setObjectName(name);
  menu->addMenu(sub);
  return sub;
}

QWidget* Panel(const char* name, QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  return panel;
}

template <typename Layout>
Layout* TightLayout(QWidget* owner) {
  auto* layout = new Layout(owner);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return layout;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName("MainForm");
  setWindowTitle("Velkor");
  QFont font = GothicFont();
  font.setPixelSize(13);
  setFont(font);
  BuildLayout();
  BuildMenus();
  ConnectCommands();
  FormCreate();
}

TMainForm::~TMainForm() {
  FormDestroy();
  // The view reads the thread list, which goes before the base class destroys the children.
  delete subjectListView;
}

void TMainForm::BuildLayout() {
  auto* central = Panel("centralPanel", this);
  auto* centralLayout = TightLayout<QVBoxLayout>(central);
  setCentralWidget(central);

  favoritePanel = Panel("favoritePanel", central);
  auto* favoriteLayout = TightLayout<QHBoxLayout>(favoritePanel);
  favoriteToolBar = new FavoriteToolBar(favoritePanel);
  favoriteLayout->addWidget(favoriteToolBar);
  centralLayout->addWidget(favoritePanel);

  YSplitter = new QSplitter(Qt::Horizontal, central);
  YSplitter->setObjectName("YSplitter");
  YSplitter->setHandleWidth(6);
  YSplitter->setChildrenCollapsible(false);
  centralLayout->addWidget(YSplitter, 1);

  SidebarPanel = Panel("SidebarPanel", YSplitter);
  SidebarPanel->setMinimumWidth(1);
  auto* sidebarLayout = TightLayout<QVBoxLayout>(SidebarPanel);
  sidebarPageControl = new QTabWidget(SidebarPanel);
  sidebarPageControl->setObjectName("sidebarPageControl");
  sidebarPageControl->tabBar()->setContextMenuPolicy(Qt::CustomContextMenu);
  sidebarLayout->addWidget(sidebarPageControl);
  BBSTabSheet = Panel("BBSTabSheet", sidebarPageControl);
  BBSTreeView = new BoardTreeWidget(BBSTabSheet);
  BBSTreeView->setObjectName("BBSTreeView");
  TightLayout<QVBoxLayout>(BBSTabSheet)->addWidget(BBSTreeView);
  sidebarPageControl->addTab(BBSTabSheet, QString::fromUtf8("ボード一覧"));
  subscribeTabSheet = Panel("subscribeTabSheet", sidebarPageControl);
  subscribeTreeView = new BoardTreeWidget(subscribeTabSheet);
  subscribeTreeView->setObjectName("subscribeTreeView");
  TightLayout<QVBoxLayout>(subscribeTabSheet)->addWidget(subscribeTreeView);
  sidebarPageControl->addTab(subscribeTabSheet, QString::fromUtf8("お気に入り"));
  sidebarPageControl->setCurrentWidget(subscribeTabSheet);
  YSplitter->addWidget(SidebarPanel);

  MainPanel = Panel("MainPanel", YSplitter);
  auto* mainLayout = TightLayout<QVBoxLayout>(MainPanel);
  YSplitter->addWidget(MainPanel);
  YSplitter->setStretchFactor(0, 0);
  YSplitter->setStretchFactor(1, 1);

  XSplitter = new QSplitter(Qt::Vertical, MainPanel);
  XSplitter->setObjectName("XSplitter");
  XSplitter->setHandleWidth(6);
  XSplitter->setChildrenCollapsible(false);
  mainLayout->addWidget(XSplitter);

  SubjectPanel = Panel("SubjectPanel", XSplitter);
  SubjectPanel->setMinimumHeight(1);
  auto* subjectLayout = TightLayout<QVBoxLayout>(SubjectPanel);
  subjectToolPanel = Panel("subjectToolPanel", SubjectPanel);
  auto* toolLayout = TightLayout<QHBoxLayout>(subjectToolPanel);
  toolLayout->setSpacing(4);
  subjectToolBar = new QToolBar(subjectToolPanel);
  subjectToolBar->setObjectName("subjectToolBar");
  subjectToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto addToolButton = [this](const char* name, const char* caption) {
    auto* button = new QToolButton(subjectToolBar);
    button->setObjectName(name);
    button->setText(QString::fromUtf8(caption));
    button->setAutoRaise(true);
    subjectToolBar->addWidget(button);
    return button;
  };
  subjectReloadToolButton = addToolButton("subjectReloadToolButton", "更新");
  subjectOptionToolButton = addToolButton("subjectOptionToolButton", "設定");
  subjectOptionToolButton->setPopupMode(QToolButton::InstantPopup);
  subjectFindToolButton = addToolButton("subjectFindToolButton", "検索");
  subjectCheckToolButton = addToolButton("subjectCheckToolButton", "新着チェック");
  subjectCheckToolButton->setPopupMode(QToolButton::MenuButtonPopup);
  subjectNewThreadToolButton = addToolButton("subjectNewThreadToolButton", "スレ立て");
  toolLayout->addWidget(subjectToolBar);
  subjectShowTypeCB = new QComboBox(subjectToolPanel);
  subjectShowTypeCB->setObjectName("subjectShowTypeCB");
  subjectShowTypeCB->setToolTip(QString::fromUtf8("スレッド絞込み"));
  for (const char* item : {"スレッド", "全てのスレッド", "ログのあるスレッド", "ログのないスレッド",
                           "未読スレッド", "新規スレッド"}) {
    subjectShowTypeCB->addItem(QString::fromUtf8(item));
  }
  toolLayout->addWidget(subjectShowTypeCB);
  subjectFilterButton = new QToolButton(subjectToolPanel);
  subjectFilterButton->setObjectName("subjectFilterButton");
  subjectFilterButton->setToolTip(QString::fromUtf8("絞込みを解除"));
  subjectFilterButton->hide();
  toolLayout->addWidget(subjectFilterButton);
  BBSNameLabel = new QLabel(QString::fromUtf8("板名"), subjectToolPanel);
  BBSNameLabel->setObjectName("BBSNameLabel");
  BBSNameLabel->setContextMenuPolicy(Qt::CustomContextMenu);
  BBSNameLabel->setTextFormat(Qt::PlainText);
  toolLayout->addWidget(BBSNameLabel, 1);
  expandPanel = Panel("expandPanel", subjectToolPanel);
  expandSpeedButton = new QToolButton(expandPanel);
  expandSpeedButton->setObjectName("expandSpeedButton");
  expandSpeedButton->setText("+");
  expandSpeedButton->setAutoRaise(true);
  TightLayout<QHBoxLayout>(expandPanel)->addWidget(expandSpeedButton);
  toolLayout->addWidget(expandPanel);
  subjectLayout->addWidget(subjectToolPanel);
  subjectListView = new SubjectListView(subjects, SubjectPanel);
  subjectLayout->addWidget(subjectListView, 1);
  checkListView = new QTableView(SubjectPanel);
  checkListView->setObjectName("checkListView");
  checkModel = new NewReplyListModel(checkListView);
  checkListView->setModel(checkModel);
  checkListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  checkListView->setSelectionMode(QAbstractItemView::SingleSelection);
  checkListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  checkListView->setWordWrap(false);
  checkListView->verticalHeader()->hide();
  checkListView->hide();
  subjectLayout->addWidget(checkListView, 1);
  XSplitter->addWidget(SubjectPanel);

  BrowserPanel = Panel("BrowserPanel", XSplitter);
  BrowserPanel->setMinimumHeight(1);
  tabPageControl = new QTabWidget(BrowserPanel);
  tabPageControl->setObjectName("tabPageControl");
  tabPageControl->setDocumentMode(true);
  tabPageControl->setMinimumHeight(1);
  tabStrip = new ThreadTabStrip(tabPageControl, BrowserPanel);
  tabStrip->hide();
  auto* browserLayout = TightLayout<QVBoxLayout>(BrowserPanel);
  tabRow = new QHBoxLayout;
  tabRow->setContentsMargins(0, 0, 0, 0);
  tabRow->addWidget(tabStrip, 1);
  browserLayout->addLayout(tabRow);
  browserLayout->addWidget(tabPageControl, 1);
  findBar = new FindBar(ThreadTabs(), tabPageControl, BrowserPanel);
  browserLayout->addWidget(findBar);
  XSplitter->addWidget(BrowserPanel);

  StatusBar = statusBar();
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(true);
  checkProgressLabel = new QLabel(StatusBar);
  checkProgressLabel->setObjectName("checkProgressLabel");
  checkStopButton = new QToolButton(StatusBar);
  checkStopButton->setObjectName("checkStopButton");
  checkStopButton->setText(QString::fromUtf8("中止"));
  StatusBar->addPermanentWidget(checkProgressLabel);
  StatusBar->addPermanentWidget(checkStopButton);
  checkProgressLabel->hide();
  checkStopButton->hide();
}

void TMainForm::BuildMenus() {
  optionPM = new QMenu(this);
  optionPM->setObjectName("optionPM");
  optionOptionMI = AddItem(optionPM, "optionOptionMI", "設定...");
  optionPM->addSeparator();
  optionSidebarShowMI = AddItem(optionPM, "optionSidebarShowMI", "サイドバーを表示/隠す");
  optionPM->addSeparator();
  optionSweepMI = AddSubMenu(optionPM, "optionSweepMI", "ログ整理");
  optionLogSweeperMI = AddItem(optionSweepMI, "optionLogSweeperMI", "実行...");
  optionBBSMenuUpdateMI = AddItem(optionPM, "optionBBSMenuUpdateMI", "ボード一覧更新...");
  optionPM->addSeparator();
  optionAboutMI = AddItem(optionPM, "optionAboutMI", "about...");
  optionPM->addSeparator();
  optionQuitMI = AddItem(optionPM, "optionQuitMI", "終了");
  subjectOptionToolButton->setMenu(optionPM);

  bbsAllPM = new QMenu(this);
  bbsAllPM->setObjectName("bbsAllPM");
  bbsAllSubscribeMI = AddItem(bbsAllPM, "bbsAllSubscribeMI", "お気に入り");
  bbsAllUnsubscribeMI = AddItem(bbsAllPM, "bbsAllUnsubscribeMI", "お気に入りから削除");
  bbsAllPM->addSeparator();
  bbsAllURLCopyMI = AddItem(bbsAllPM, "bbsAllURLCopyMI", "URLコピー");
  bbsAllOpenBrowserMI = AddItem(bbsAllPM, "bbsAllOpenBrowserMI", "ブラウザで開く");

  subscribePM = new QMenu(this);
  subscribePM->setObjectName("subscribePM");
  subscribeAddFavoriteButtonMI =
      AddItem(subscribePM, "subscribeAddFavoriteButtonMI", "常駐ボタンに登録");
  subscribePM->addSeparator();
  subscribeURLCopyMI = AddItem(subscribePM, "subscribeURLCopyMI", "URLコピー");
  subscribeOpenBrowserMI = AddItem(subscribePM, "subscribeOpenBrowserMI", "ブラウザで開く");
  subscribePM->addSeparator();
  subscribeUnsubscribeMI = AddItem(subscribePM, "subscribeUnsubscribeMI", "お気に入りから削除");
  subscribePM->addSeparator();
  subscribeNewThreadMI = AddItem(subscribePM, "subscribeNewThreadMI", "スレ立て");

  bbsButtonDeletePM = new QMenu(this);
  bbsButtonDeletePM->setObjectName("bbsButtonDeletePM");
  bbsButtonDeleteMI = AddItem(bbsButtonDeletePM, "bbsButtonDeleteMI", "削除");

  checkPM = new QMenu(this);
  checkPM->setObjectName("checkPM");
  checkFetchLogsMI = AddItem(checkPM, "checkFetchLogsMI", "取得もする");
  checkFetchLogsMI->setCheckable(true);
  subjectCheckToolButton->setMenu(checkPM);
  checkAction = new QAction(this);
  checkAction->setObjectName("checkAction");
  checkAction->setShortcutContext(Qt::ApplicationShortcut);
  addAction(checkAction);

  threadPM = new QMenu(this);
  threadPM->setObjectName("threadPM");
  threadNewTabMI = AddItem(threadPM, "threadNewTabMI", "新しいタブで開く");
  threadURLCopyMI = AddItem(threadPM, "threadURLCopyMI", "URLをコピー");
  threadTitleCopyMI = AddItem(threadPM, "threadTitleCopyMI", "タイトルをコピー");
  threadOpenBrowserMI = AddItem(threadPM, "threadOpenBrowserMI", "ブラウザで開く");
  threadPM->addSeparator();
  threadDeleteLogMI = AddItem(threadPM, "threadDeleteLogMI", "ログ削除");
}

void TMainForm::ConnectCommands() {
  keys_ =
      new WindowKeys(*this, {tabPageControl, findBar, [this] { subjectReloadToolButton->click(); },
                             [this] { return FocusPanes(); }});
  AppKeys().Bind("CheckNewReplies", checkAction);
  // The tab bar's corner goes with the bar; beside the tab rows the strip has its own button.
  stripReloadButton = keys_->ReloadButton(BrowserPanel, "tabStripReloadButton");
  stripReloadButton->hide();
  tabRow->addWidget(stripReloadButton, 0, Qt::AlignTop);
  AppKeys().Show("Quit", optionQuitMI);
  AppKeys().ShowTip("CheckNewReplies", subjectCheckToolButton,
                    QString::fromUtf8("お気に入りの板の新着チェック"));
  AppKeys().ShowTip("RefreshList", subjectReloadToolButton,
                    QString::fromUtf8("スレッド一覧を更新"));
  connect(optionQuitMI, &QAction::triggered, keys_->Action("Quit"), &QAction::trigger);
  connect(&ThreadPageCommands(), &PageCommands::LogSearchRequested, this,
          &TMainForm::OpenLogSearch);
  // Writing: the key and the page's "これにレス" open the reply window of the tab they act on.
  connect(keys_->Action("Reply"), &QAction::triggered, &ThreadTabs(),
          &ThreadTabList::OpenReplyWindow);
  connect(keys_->Action("AutoReload"), &QAction::triggered, &ThreadTabs(),
          &ThreadTabList::ToggleActiveAutoReload);
  connect(&ThreadPageCommands(), &PageCommands::ReplyRequested, this,
          [](const QString& boardDir, const QString& datName, int reply, const QString&) {
            ThreadTab* tab = ThreadTabs().ActiveTab();
            if (tab != nullptr && FromSjis(tab->BoardDir()) == boardDir &&
                FromSjis(tab->DatName()) == datName) {
              tab->ReplyTo(reply);
            }
          });
  for (QWidget* view :
       {static_cast<QWidget*>(subjectListView), static_cast<QWidget*>(checkListView),
        static_cast<QWidget*>(subscribeTreeView)}) {
    view->installEventFilter(this);
  }
  connect(YSplitter, &QSplitter::splitterMoved, this,
          [this] { sidebarWidth = SidebarPanel->width(); });
  connect(XSplitter, &QSplitter::splitterMoved, this,
          [this] { subjectHeight = SubjectPanel->height(); });
  connect(expandSpeedButton, &QToolButton::clicked, this, &TMainForm::ToggleSubjectExpanded);
  connect(subjectReloadToolButton, &QToolButton::clicked, this, [this] { ReloadSubjects(); });
  connect(subjectFindToolButton, &QToolButton::clicked, this,
          &TMainForm::subjectFindToolButtonClick);
  connect(subjectCheckToolButton, &QToolButton::clicked, this, &TMainForm::RunNewReplyCheck);
  connect(checkAction, &QAction::triggered, this, &TMainForm::RunNewReplyCheck);
  connect(checkStopButton, &QToolButton::clicked, this, &TMainForm::StopNewReplyCheck);
  connect(checkFetchLogsMI, &QAction::toggled, this,
          [](bool on) { Config().WriteFlag(kCheckSection, kCheckFetchesLogsKey, on, true); });
  connect(checkListView, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { OpenCheckedThread(index.row(), clickOpensNewTab_); });
  connect(subjectShowTypeCB, &QComboBox::activated, this, &TMainForm::subjectShowTypeCBChange);
  connect(subjectListView, &SubjectListView::FilterChanged, this, [this](const QString& word) {
    subjectFilterButton->setText(QString::fromUtf8("絞込み: %1 ×").arg(word));
    subjectFilterButton->setVisible(!word.isEmpty());
  });
  connect(subjectFilterButton, &QToolButton::clicked, this, [this] { FillSubjects(ShownMask()); });
  connect(sidebarPageControl->tabBar(), &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) {
            optionPM->exec(sidebarPageControl->tabBar()->mapToGlobal(pos));
          });

  connect(optionOptionMI, &QAction::triggered, this, &TMainForm::optionOptionMIClick);
  connect(optionSidebarShowMI, &QAction::triggered, this, &TMainForm::ToggleSidebar);
  connect(optionLogSweeperMI, &QAction::triggered, this, &TMainForm::optionLogSweeperMIClick);
  connect(optionBBSMenuUpdateMI, &QAction::triggered, this, &TMainForm::optionBBSMenuUpdateMIClick);
  connect(optionAboutMI, &QAction::triggered, this, &TMainForm::optionAboutMIClick);

  connect(BBSTreeView, &QWidget::customContextMenuRequested, this,
          &TMainForm::BBSTreeViewContextPopup);
  connect(BBSTreeView, &QTreeWidget::itemDoubleClicked, this, &TMainForm::BBSTreeViewDblClick);
  connect(bbsAllPM, &QMenu::aboutToShow, this, &TMainForm::bbsAllPMPopup);
  connect(bbsAllSubscribeMI, &QAction::triggered, this, &TMainForm::bbsAllSubscribeMIClick);
  connect(bbsAllUnsubscribeMI, &QAction::triggered, this, &TMainForm::UnsubscribeClick);
  connect(bbsAllURLCopyMI, &QAction::triggered, this, &TMainForm::URLCopyClick);
  connect(bbsAllOpenBrowserMI, &QAction::triggered, this, &TMainForm::OpenBrowserClick);
  connect(subscribeTreeView, &QTreeWidget::itemSelectionChanged, this,
          [this] { subscribeTreeViewChange(subscribeTreeView->SelectedNode()); });
  connect(subscribeTreeView, &QWidget::customContextMenuRequested, this,
          &TMainForm::subscribeTreeViewContextPopup);
  connect(subscribeAddFavoriteButtonMI, &QAction::triggered, this,
          &TMainForm::subscribeAddFavoriteButtonMIClick);
  connect(subscribeURLCopyMI, &QAction::triggered, this, &TMainForm::URLCopyClick);
  connect(subscribeOpenBrowserMI, &QAction::triggered, this, &TMainForm::OpenBrowserClick);
  connect(subscribeUnsubscribeMI, &QAction::triggered, this, &TMainForm::UnsubscribeClick);
  connect(subscribeNewThreadMI, &QAction::triggered, this, [this] {
    if (popupNode.level == 2) PostWindows().OpenNewThreadWindow(BoardUrlOf(popupNode), this);
  });
  connect(subjectNewThreadToolButton, &QToolButton::clicked, this, [this] {
    if (currentBoardNode.level == 2) {
      PostWindows().OpenNewThreadWindow(BoardUrlOf(currentBoardNode), this);
    }
  });
  connect(&PostWindows(), &ReplyWindows::BoardListRefreshed, this, [this](const QString& dir) {
    if (subjects.IsBound() && subjects.Dir() == ToSjis(dir)) subjectListView->Fill(ShownMask());
  });
  connect(BBSNameLabel, &QWidget::customContextMenuRequested, this,
          &TMainForm::BBSNameLabelContextPopup);

  connect(favoriteToolBar, &FavoriteToolBar::ButtonClicked, this, &TMainForm::FavoriteButtonClick);
  connect(favoriteToolBar, &FavoriteToolBar::ButtonRightClicked, this,
          &TMainForm::FavoriteButtonRightClick);
  connect(favoriteToolBar, &FavoriteToolBar::ButtonsRelaid, this,
          &TMainForm::ApplyFavoriteBarVisibility);
  connect(bbsButtonDeleteMI, &QAction::triggered, this, &TMainForm::bbsButtonDeleteMIClick);

  connect(subjectListView, &QAbstractItemView::clicked, this, &TMainForm::SubjectListViewClick);
  connect(subjectListView, &QWidget::customContextMenuRequested, this,
          &TMainForm::SubjectListViewContextPopup);
  connect(threadPM, &QMenu::aboutToShow, this, &TMainForm::threadPMPopup);
  connect(threadNewTabMI, &QAction::triggered, this,
          [this] { OpenSelectedThread(!clickOpensNewTab_); });
  connect(threadURLCopyMI, &QAction::triggered, this, &TMainForm::threadURLCopyMIClick);
  connect(threadTitleCopyMI, &QAction::triggered, this, &TMainForm::threadTitleCopyMIClick);
  connect(threadOpenBrowserMI, &QAction::triggered, this, &TMainForm::threadOpenBrowserMIClick);
  connect(threadDeleteLogMI, &QAction::triggered, this, &TMainForm::threadDeleteLogMIClick);

  tabPageControl->tabBar()->installEventFilter(this);
  tabPageControl->installEventFilter(this);
  connect(tabPageControl, &QTabWidget::currentChanged, this, [] { ThreadTabs().FocusActiveTab(); });
  connect(&ThreadTabs(), &ThreadTabList::TabsChanged, tabStrip, &ThreadTabStrip::Rebuild);
  connect(tabPageControl, &QTabWidget::currentChanged, tabStrip, &ThreadTabStrip::ShowCurrent);
  connect(tabStrip, &ThreadTabStrip::TabPressed, this, &TMainForm::TabPressed);
  connect(&ThreadTabs(), &ThreadTabList::ThreadStateChanged, this, &TMainForm::ThreadStateChanged);
}

void TMainForm::FormCreate() {
  InstallThreadPosting(&PostWindows());
  ThreadTabs().SetTabControl(tabPageControl);
  ThreadTabs().SetShownSubjects([this] { return &subjects; });
  opener_ = std::make_unique<ThreadOpener>(ThreadOpener::Window{
      [this] { return &subjects; }, [this](int row) { subjectListView->RepaintRow(row); },
      [this] { SetSubjectExpanded(false); },
      [this](const UpdateResult& result) { ShowUnwritten(statusBar(), result); },
      [](const std::string& boardUrl) { PrepareCacheServerFor(boardUrl); }});
  ThreadTabs().SetUnstoredThreadOpener(
      [this](const std::string& boardDir, const std::string& datName, const std::string& anchor) {
        return OpenUnstoredThread(boardDir, datName, anchor);
      });
  ThreadTabs().SetNetworkBusy([this] {
    return GuiUiHooks::InsideWait() || reloadDepth != 0 || check_.Running() ||
           subjects.RunningFetch() != nullptr;
  });
  ThreadTabs().SetBoardThreadOpener(
      [this](const std::string& boardDir, const std::string& datName, const std::string& title) {
        OpenThreadOfBoard(boardDir, datName, title);
      });
  ThreadTabs().SetBoardListRefresher(
      [this](const std::string& boardDir) { RefreshBoardListOf(boardDir); });
  Config().Open(IniDir() + "/config.ini");
  AppKeys().Apply(Config().LoadKeyBindings());
  DisplaySettings display;
  Config().LoadSettings(AppSettings(), display);
  ApplyDisplaySettings(display);
  subjectListView->SetColumnWidths(Config().LoadColumnWidths(kThreadListColumns));
  {
    const QSignalBlocker quiet(checkFetchLogsMI);
    checkFetchLogsMI->setChecked(Config().ReadFlag(kCheckSection, kCheckFetchesLogsKey, false));
  }

  WindowLayout layout = Config().LoadWindowLayout();
  const QScreen* screen = QGuiApplication::primaryScreen();
  layoutGeometry_ = QRect(layout.left, layout.top, layout.width, layout.height);
  // The file's defaults are what a window never moved nor resized writes: a first start.
  const WindowLayout unset;
  const std::optional<QRect> saved =
      layoutGeometry_ == QRect(unset.left, unset.top, unset.width, unset.height)
          ? std::nullopt
          : std::optional<QRect>(layoutGeometry_);
  openedGeometry_ =
      OpeningGeometry(saved, screen != nullptr ? screen->availableGeometry() : QRect());
  setGeometry(openedGeometry_);
  if (LoadSession(SessionPath()).maximized) setWindowState(Qt::WindowMaximized);
  sidebarWidth = layout.sidebarWidth;
  subjectHeight = layout.subjectHeight;
  SidebarPanel->setVisible(layout.sidebarVisible);
  YSplitter->setSizes({sidebarWidth, std::max(1, width() - sidebarWidth)});
  SetSubjectExpanded(true);

  OpenCatalogs();
  BoardList().SetObserver(BBSTreeView);
  // A list whose empty categories cannot be erased from its file reads the same: nothing to tell.
  static_cast<void>(BoardList().BuildTree());
  Favorites().SetObserver(subscribeTreeView);
  static_cast<void>(Favorites().BuildTree());
  subscribeTreeView->expandAll();
  if (subscribeTreeView->NodeCount() > 1) sidebarPageControl->setCurrentWidget(subscribeTabSheet);

  FavoriteButtons().SetObserver(favoriteToolBar);
  FavoriteButtons().Load(IniDir() + "/favbrd.lst");
  favoriteToolBar->Bind(&FavoriteButtons());

  if (DesktopIsDark()) {
    LoadDarkSkin();
  } else {
    LoadSkin();
  }
  images_ = std::make_unique<ThreadImages>(this);
  ThreadTab::SetExtension(images_.get());

  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) {
              FormActivate();
            } else {
              AppPopup().HidePopup();
            }
          });
}

void TMainForm::FormDestroy() {
  ThreadTab::SetExtension(nullptr);
  images_.reset();
  PostWindows().CloseAll();
  InstallThreadPosting(nullptr);
  ThreadTabs().SetShownSubjects({});
  ThreadTabs().SetUnstoredThreadOpener({});
  ThreadTabs().SetNetworkBusy({});
  ThreadTabs().SetBoardThreadOpener({});
  ThreadTabs().SetBoardListRefresher({});
  BoardList().SetObserver(nullptr);
  Favorites().SetObserver(nullptr);
  FavoriteButtons().SetObserver(nullptr);
  WindowLayout layout;
  // A maximized window keeps the size it has when it is not. One never moved nor resized keeps
  // what the file held: the window system may have shifted it by its frame, no more.
  const QRect shown = isMaximized() ? normalGeometry() : geometry();
  const QPoint shift = shown.topLeft() - openedGeometry_.topLeft();
  const QPoint margin = geometry().topLeft() - frameGeometry().topLeft();
  const bool placedAsOpened = shown.size() == openedGeometry_.size() && shift.x() >= 0 &&
                              shift.y() >= 0 && shift.x() <= margin.x() && shift.y() <= margin.y();
  const QRect frame = placedAsOpened ? layoutGeometry_ : shown;
  layout.top = frame.top();
  layout.left = frame.left();
  layout.width = frame.width();
  layout.height = frame.height();
  layout.sidebarVisible = !SidebarPanel->isHidden();
  layout.sidebarWidth = sidebarWidth;
  layout.subjectHeight = subjectHeight;
  Config().SaveWindowLayout(layout, false);
  Config().SaveColumnWidths(subjectListView->ColumnWidths(), true);
  Session session;
  session.maximized = isMaximized();
  if (currentBoardNode.level == 2) {
    session.category = currentBoardNode.category;
    session.board = currentBoardNode.name;
  }
  CollectSessionTabs(ThreadTabs(), session);
  static_cast<void>(SaveSession(SessionPath(), session));
}

void TMainForm::FormActivate() {
  ThreadTabs().FocusActiveTab();
}

void TMainForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
  QMainWindow::changeEvent(event);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      // Enter opens the row or board as a click does.
      if (watched == subjectListView) {
        OpenSelectedThread(clickOpensNewTab_);
        return true;
      }
      if (watched == checkListView) {
        OpenCheckedThread(checkListView->currentIndex().row(), clickOpensNewTab_);
        return true;
      }
      if (watched == subscribeTreeView) {
        const NodeRef board = RefOf(subscribeTreeView->SelectedNode());
        if (board.level == 2) OpenBoard(board.category, board.name);
        return true;
      }
    }
  }
  const bool tabStrip = watched == tabPageControl || watched == tabPageControl->tabBar();
  if (tabStrip && event->type() == QEvent::FocusIn) {
    // The tab widget hands its focus to its tab bar; either way the page takes it.
    ThreadTabs().FocusActiveTab();
  } else if (watched == tabPageControl->tabBar() && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    QPoint pos = mouse->position().toPoint();
    TabPressed(tabPageControl->tabBar()->tabAt(pos), mouse->button(),
               tabPageControl->tabBar()->mapToGlobal(pos));
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::TabPressed(int index, Qt::MouseButton button, const QPoint& globalPos) {
  if (index < 0) return;
  if (button == Qt::MiddleButton) {
    ThreadTabs().CloseTab(index);
    return;
  }
  tabPageControl->setCurrentIndex(index);
  ThreadTabs().FocusActiveTab();
  if (button == Qt::RightButton) ThreadTabs().ExecTabMenu(globalPos);
}

void TMainForm::ApplyDisplaySettings(const DisplaySettings& display) {
  for (QWidget* tree :
       {static_cast<QWidget*>(BBSTreeView), static_cast<QWidget*>(subscribeTreeView)}) {
    QFont font = GothicFont();
    font.setPointSize(display.boardFontSize > 0 ? display.boardFontSize : 10);
    tree->setFont(font);
  }
  QFont listFont = GothicFont();
  listFont.setPointSize(display.threadFontSize > 0 ? display.threadFontSize : 10);
  subjectListView->setFont(listFont);
  subjectListView->verticalHeader()->setDefaultSectionSize(QFontMetrics(listFont).height() + 4);

  // The thread pages' text: points as the other sizes, pixels for the browser (96 per inch).
  const int pagePoints = display.pageFontSize > 0 ? display.pageFontSize : 12;
  ThreadViewProfile()->settings()->setFontSize(QWebEngineSettings::DefaultFontSize,
                                               (pagePoints * 4 + 1) / 3);

  clickOpensNewTab_ = AppSettings().newTabOpen;
  threadNewTabMI->setText(
      QString::fromUtf8(clickOpensNewTab_ ? "アクティブなタブで開く" : "新しいタブで開く"));

  // The tab row: in one line the tab bar (scrolling when the tabs do not fit), drawn as buttons
  // for the button styles; in several lines the strip of buttons that wraps into rows.
  tabStrip->SetButtonStyle(display.tabStyle);
  tabStrip->setVisible(display.tabMultiLine);
  stripReloadButton->setVisible(display.tabMultiLine);
  tabPageControl->tabBar()->setVisible(!display.tabMultiLine);
  tabPageControl->setDocumentMode(display.tabStyle != 0);
  tabPageControl->tabBar()->setDrawBase(display.tabStyle == 0);
  tabPageControl->tabBar()->setStyleSheet(TabBarLook(display.tabStyle));

  ApplySubscribedColour();
  subjectListView->viewport()->update();
}

void TMainForm::ApplySubscribedColour() {
  BBSTreeView->MarkSubscribed(&Favorites(), ToQColor(AppSettings().subjectSubscribeColor));
}

void TMainForm::ApplyFavoriteBarVisibility() {
  favoritePanel->setVisible(FavoriteButtons().ButtonCount() > 1);
}

void TMainForm::ShowHtmlPage(const std::string& html, const std::string& title) {
  SetSubjectExpanded(false);
  ThreadTabs().ShowPage(html, title, true);
}

void TMainForm::SetSubjectExpanded(bool expand) {
  int total = std::max(XSplitter->height(), 2 * subjectHeight + 2);
  if (expand) {
    if (subjectExpanded_) return;
    subjectExpanded_ = true;
    XSplitter->setStretchFactor(0, 1);
    XSplitter->setStretchFactor(1, 0);
    XSplitter->setSizes({total - 1, 1});
  } else {
    subjectExpanded_ = false;
    XSplitter->setStretchFactor(0, 0);
    XSplitter->setStretchFactor(1, 1);
    // However small the remembered height, the list keeps its tool row, header and five rows
    // above its horizontal scroll bar, as far as the pane leaves half of itself to the thread.
    const int usable = subjectToolPanel->sizeHint().height() +
                       subjectListView->horizontalHeader()->sizeHint().height() +
                       5 * subjectListView->verticalHeader()->defaultSectionSize() +
                       subjectListView->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                             subjectListView) +
                       2 * subjectListView->frameWidth();
    const int height = std::max(subjectHeight, std::min(usable, total / 2));
    XSplitter->setSizes({height, std::max(1, total - height)});
  }
}

void TMainForm::ToggleSubjectExpanded() {
  SetSubjectExpanded(!subjectExpanded_);
}

void TMainForm::ToggleSidebar() {
  bool show = SidebarPanel->isHidden();
  SidebarPanel->setVisible(show);
  if (show) YSplitter->setSizes({sidebarWidth, std::max(1, YSplitter->width() - sidebarWidth)});
}

TMainForm::NodeRef TMainForm::RefOf(const QTreeWidgetItem* node) {
  NodeRef ref;
  ref.level = BoardTreeWidget::Level(node);
  if (ref.level == 1) {
    ref.category = BoardTreeWidget::Label(node);
  } else if (ref.level == 2) {
    ref.category = BoardTreeWidget::ParentLabel(node);
    ref.name = BoardTreeWidget::Label(node);
  } else {
    ref.level = -1;
  }
  return ref;
}

std::uint8_t TMainForm::ShownMask() const {
  int index = subjectShowTypeCB->currentIndex();
  if (index < 0 || index >= kShowTypeCount) index = 0;
  return kShowTypeMasks[static_cast<std::size_t>(index)];
}

void TMainForm::FillSubjects(std::uint8_t mask) {
  BusyCursor busy;
  subjectListView->Fill(mask);
}

void TMainForm::subscribeTreeViewChange(QTreeWidgetItem* node) {
  if (node == nullptr || BoardTreeWidget::Level(node) != 2) return;
  // OpenBoard records the board as the shown one only when it really shows it.
  NodeRef board = RefOf(node);
  OpenBoard(board.category, board.name);
}

void TMainForm::OpenBoard(const std::string& category, const std::string& name, bool download) {
  if (reloadDepth != 0) return;
  std::string relative = Favorites().BoardLogDir(category, name);
  if (relative.empty()) return;
  BusyCursor busy;
  subjectShowTypeCB->setCurrentIndex(0);
  std::string boardDir = LogDir() + relative;
  static const std::string separator = Sjis("：");
  BBSNameLabel->setText(FromSjis(category + separator + name));
  BBSNameLabel->repaint();
  currentBoardNode.level = 2;
  currentBoardNode.category = category;
  currentBoardNode.name = name;
  SetSubjectExpanded(true);
  ShowCheckList(false);
  subscribeTreeView->SetBoardMarked(category, name, false);
  subjectListView->Model().BeginRowsReset();
  subjects.Bind(SubjectIniPath(boardDir), Favorites().BoardUrl(category, name));
  subjectListView->Model().EndRowsReset();
  if (!download || !ReloadSubjects()) subjectListView->Fill(ShownMask());
}

void TMainForm::RestoreSession() {
  if (!AppSettings().restoreSession) return;
  const Session session = LoadSession(SessionPath());
  if (QTreeWidgetItem* node = subscribeTreeView->FindBoardNode(session.category, session.board)) {
    const QSignalBlocker quiet(subscribeTreeView);
    subscribeTreeView->setCurrentItem(node);
    OpenBoard(session.category, session.board, false);
  }
  if (session.tabs.empty()) return;
  SetSubjectExpanded(false);
  RestoreSessionTabs(session, ThreadTabs(), &subjects);
}

bool TMainForm::ReloadSubjects() {
  // The check refreshes the boards itself, one request at a time.
  if (check_.Running()) return false;
  ++reloadDepth;
  PrepareCacheServerFor(subjects.BoardUrlFromDir());
  UpdateResult refreshed = subjects.Refresh();
  ShowUnwritten(statusBar(), refreshed);
  bool merged = refreshed.IsOk();
  if (merged) subjectListView->Fill(ShownMask());
  --reloadDepth;
  return merged;
}

void TMainForm::SubjectListViewClick() {
  if (subjectListView->SelectedRows().size() == 1) OpenSelectedThread(clickOpensNewTab_);
}

void TMainForm::OpenSelectedThread(bool newTab) {
  std::vector<int> selected = subjectListView->SelectedRows();
  if (selected.size() != 1) return;
  OpenRow(selected.front(), newTab);
}

void TMainForm::OpenRow(int selectedRow, bool newTab) {
  if (selectedRow < 0 || static_cast<std::size_t>(selectedRow) >= subjects.RowCount()) return;
  const ThreadItem& item = subjects.Row(static_cast<std::size_t>(selectedRow));
  ThreadOpener::Request request{subjects.BoardUrlFromDir(),
                                subjects.Dir(),
                                item.datName,
                                std::string(kUnreadAnchor),
                                item.title,
                                newTab ? TabChoice::kNewTab : TabChoice::kActiveTab};
  BusyCursor busy;
  opener_->Open(request);
}

bool TMainForm::OpenUnstoredThread(const std::string& boardDir, const std::string& datName,
                                   const std::string& anchor) {
  for (const BoardEntry& board : Favorites().AllBoards()) {
    if (SafeBoardDir(board.url) != boardDir) continue;
    ThreadOpener::Request request{board.url, boardDir, datName, anchor, {}, TabChoice::kNewTab};
    // After the click that asked for it has been handled: the download lets the window run.
    QTimer::singleShot(0, this, [this, request] {
      BusyCursor busy;
      opener_->Open(request);
    });
    return true;
  }
  return false;
}

void TMainForm::OpenThreadOfBoard(const std::string& boardDir, const std::string& datName,
                                  const std::string& title) {
  const bool shown = subjects.IsBound() && subjects.Dir() == boardDir;
  if (shown && subjects.IndexOfDat(datName) >= 0) {
    OpenRow(subjects.IndexOfDat(datName), clickOpensNewTab_);
    return;
  }
  // A second list on the shown board would leave the window's copy stale.
  SubjectList own;
  SubjectList& list = shown ? subjects : own;
  if (!shown) own.Bind(SubjectIniPath(boardDir), BoardUrlOfLogDir(boardDir));
  BusyCursor busy;
  // Opening the board in the window meanwhile would bind a second list to it.
  ++reloadDepth;
  PrepareCacheServerFor(list.BoardUrlFromDir());
  UpdateResult updated = UpdateThreadLog(list, datName);
  --reloadDepth;
  ShowUnwritten(statusBar(), updated);
  if (!list.IsBound() || list.Dir() != boardDir) return;
  const int firstUnread = list.UnreadOf(datName);
  list.SetUnread(datName, -1, true);
  SetSubjectExpanded(false);
  ThreadTabs().OpenThread(boardDir, datName, std::string(kUnreadAnchor), firstUnread,
                          clickOpensNewTab_ ? TabChoice::kNewTab : TabChoice::kActiveTab, title);
}

void TMainForm::RefreshBoardListOf(const std::string& boardDir) {
  if (check_.Running() || reloadDepth != 0) return;
  if (subjects.IsBound() && subjects.Dir() == boardDir) {
    ReloadSubjects();
    return;
  }
  SubjectList list;
  list.Bind(SubjectIniPath(boardDir), BoardUrlOfLogDir(boardDir));
  BusyCursor busy;
  ++reloadDepth;
  PrepareCacheServerFor(list.BoardUrlFromDir());
  ShowUnwritten(statusBar(), list.Refresh());
  --reloadDepth;
}

void TMainForm::ShowCheckList(bool show) {
  checkListView->setVisible(show);
  subjectListView->setVisible(!show);
  subjectShowTypeCB->setEnabled(!show);
}

void TMainForm::RunNewReplyCheck() {
  if (check_.Running()) return;
  // Started from inside a running download of the shown board (the window stays live while it
  // waits), the check would stop that download when it reaches the board; it waits for it instead.
  if (reloadDepth != 0 || subjects.RunningFetch() != nullptr) {
    StatusBar->showMessage(QString::fromUtf8("新着チェック: 読み込み中のため開始しません"));
    return;
  }
  std::vector<CheckBoard> boards;
  for (const BoardEntry& entry : Favorites().AllBoards()) {
    boards.push_back({entry.category, entry.name, entry.url});
  }
  for (const CheckBoard& board : boards) {
    subscribeTreeView->SetBoardMarked(board.category, board.name, false);
  }
  ShowCheckList(true);
  // No board is shown now: a click on the one that was shown opens it again.
  subscribeTreeView->clearSelection();
  SetSubjectExpanded(true);
  BBSNameLabel->setText(QString::fromUtf8("新着チェック"));
  checkModel->SetThreads({}, {});
  subjectReloadToolButton->setEnabled(false);
  subjectCheckToolButton->setEnabled(false);
  checkProgressLabel->show();
  checkStopButton->show();
  checkStopButton->setEnabled(true);

  CheckOptions options;
  options.shownList = [this] { return &subjects; };
  options.progress = [this](std::size_t done, std::size_t total) {
    checkProgressLabel->setText(QString::fromUtf8("新着チェック %1/%2").arg(done).arg(total));
  };
  if (checkFetchLogsMI->isChecked()) {
    options.fetchLog = [](SubjectList& list, const std::string& datName) {
      ThreadFetchReport fetched = FetchThreadReplies(list, datName);
      return CheckedFetch{fetched.result, fetched.added};
    };
  }
  // Opening another board meanwhile would refresh a list beside the check.
  ++reloadDepth;
  CheckReport report = check_.Run(boards, options);
  --reloadDepth;

  const std::string shownDir = subjects.Dir();
  for (std::size_t index = 0; index < boards.size(); ++index) {
    if (report.boards[index].state == BoardCheckState::kChanged && subjects.IsBound() &&
        SafeBoardDir(boards[index].url) == shownDir) {
      subjectListView->Fill(ShownMask());
    }
  }
  std::vector<std::string> failed;
  for (std::size_t index = 0; index < boards.size(); ++index) {
    if (report.boards[index].state == BoardCheckState::kFailed) {
      failed.push_back(boards[index].name);
    }
  }
  for (const NewReplyThread& thread : report.threads) {
    subscribeTreeView->SetBoardMarked(boards[thread.board].category, boards[thread.board].name,
                                      true);
  }
  QString summary = report.stopped ? QString::fromUtf8("新着チェックを中止しました: %1件")
                                   : QString::fromUtf8("新着チェック完了: %1件");
  summary = summary.arg(report.threads.size());
  if (!failed.empty()) {
    QStringList names;
    for (const std::string& name : failed) names << FromSjis(name);
    summary += QString::fromUtf8(" (失敗: %1)").arg(names.join(QString::fromUtf8("、")));
  }
  if (!report.cacheServerWarning.empty()) {
    summary += QString::fromUtf8(" ") + FromSjis(report.cacheServerWarning);
  }
  checkModel->SetThreads(std::move(boards), std::move(report.threads));
  checkProgressLabel->hide();
  checkStopButton->hide();
  subjectReloadToolButton->setEnabled(true);
  subjectCheckToolButton->setEnabled(true);
  StatusBar->showMessage(summary);
}

void TMainForm::StopNewReplyCheck() {
  check_.Stop();
  checkStopButton->setEnabled(false);
}

void TMainForm::OpenCheckedThread(int row, bool newTab) {
  if (check_.Running() || row < 0 || row >= checkModel->rowCount()) return;
  const CheckBoard board = checkModel->BoardOf(row);
  const std::string datName = checkModel->Thread(row).item.datName;
  const std::optional<std::string> boardDir = SafeBoardDir(board.url);
  if (!boardDir) return;
  if (!subjects.IsBound() || subjects.Dir() != *boardDir) {
    subjectListView->Model().BeginRowsReset();
    subjects.Bind(SubjectIniPath(*boardDir), board.url);
    subjectListView->Model().EndRowsReset();
    currentBoardNode.level = 2;
    currentBoardNode.category = board.category;
    currentBoardNode.name = board.name;
  }
  if (subjects.IndexOfDat(datName) < 0) subjectListView->Fill(ShowTypeMask(ShowType::kAll));
  OpenRow(subjects.IndexOfDat(datName), newTab);
  // The list may have been bound elsewhere while the log downloaded; the row shows what is stored.
  if (subjects.IsBound() && subjects.Dir() == *boardDir && row < checkModel->rowCount() &&
      checkModel->Thread(row).item.datName == datName) {
    checkModel->UpdateItem(row, subjects.ReadItem(datName));
  }
}

void TMainForm::OpenThreadInNewTab(const std::string& boardDir, const std::string& datName,
                                   const std::string& anchor, int firstUnread,
                                   const std::string& title) {
  ThreadTabs().OpenThread(boardDir, datName, anchor, firstUnread, TabChoice::kNewTab, title);
}

std::string TMainForm::ThreadUrlOfRow(int row) const {
  const std::string& datName = subjects.Row(static_cast<std::size_t>(row)).datName;
  return ThreadUrl(subjects.BoardUrlFromDir(), datName.substr(0, datName.rfind('.')), true);
}

void TMainForm::SubjectListViewContextPopup(const QPoint& pos) {
  threadPM->exec(subjectListView->viewport()->mapToGlobal(pos));
}

void TMainForm::threadPMPopup() {
  std::size_t selected = subjectListView->SelectedRows().size();
  for (QAction* item : {threadNewTabMI, threadURLCopyMI, threadTitleCopyMI, threadOpenBrowserMI}) {
    item->setEnabled(selected == 1);
  }
  threadDeleteLogMI->setEnabled(selected >= 1);
}

void TMainForm::threadURLCopyMIClick() {
  std::vector<int> selected = subjectListView->SelectedRows();
  if (selected.size() == 1) CopyToClipboard(ThreadUrlOfRow(selected.front()));
}

void TMainForm::threadTitleCopyMIClick() {
  std::vector<int> selected = subjectListView->SelectedRows();
  if (selected.size() == 1) {
    const std::string& title = subjects.Row(static_cast<std::size_t>(selected.front())).title;
    QApplication::clipboard()->setText(QString::fromStdString(TitleForDisplay(title)));
  }
}

void TMainForm::threadOpenBrowserMIClick() {
  std::vector<int> selected = subjectListView->SelectedRows();
  if (selected.size() == 1) OpenWithSystem(ThreadUrlOfRow(selected.front()));
}

void TMainForm::threadDeleteLogMIClick() {
  BusyCursor busy;
  std::vector<int> selected = subjectListView->SelectedRows();
  if (selected.empty()) return;
  for (int row : selected) {
    std::string datName = subjects.Row(static_cast<std::size_t>(row)).datName;
    subjects.DeleteLog(static_cast<std::size_t>(row), datName, false);
    subjectListView->RepaintRow(row);
  }
  subjects.Flush();
}

void TMainForm::subjectShowTypeCBChange(int) {
  FillSubjects(ShownMask());
}

void TMainForm::ThreadStateChanged(const QString& boardDir, const QString& datName) {
  // Tabs of the shown board write through `subjects` (SetShownSubjects): the row reads its state
  // again (an automatic reload also changed its log) and is repainted.
  if (!subjects.IsBound() || ToSjis(boardDir) != subjects.Dir()) return;
  const int row = subjects.IndexOfDat(ToSjis(datName));
  if (row >= 0) subjects.RefreshRow(static_cast<std::size_t>(row));
  subjectListView->RepaintRow(row);
}

std::string TMainForm::BoardUrlOf(const NodeRef& node) const {
  if (node.level != 2) return {};
  std::string url = BoardList().BoardUrl(node.category, node.name);
  if (url.empty()) url = Favorites().BoardUrl(node.category, node.name);
  return url;
}

void TMainForm::BBSTreeViewContextPopup(const QPoint& pos) {
  if (QTreeWidgetItem* node = BBSTreeView->itemAt(pos)) BBSTreeView->setCurrentItem(node);
  popupNode = RefOf(BBSTreeView->SelectedNode());
  bbsAllPM->exec(BBSTreeView->viewport()->mapToGlobal(pos));
}

void TMainForm::BBSTreeViewDblClick(QTreeWidgetItem* node) {
  const NodeRef board = RefOf(node);
  if (board.level != 2) return;
  // Only favourites are read: a board opened from the board list becomes one first.
  const bool adding = !Favorites().Contains(board.category, board.name);
  if (adding) {
    const CatalogResult added = Favorites().AddBoard(
        board.category, board.name, BoardList().BoardUrl(board.category, board.name));
    ShowFavoritesFailure(added);
    if (!added.IsOk()) return;
    subscribeTreeView->expandAll();
    BBSTreeView->viewport()->update();
  }
  if (QTreeWidgetItem* favorite = subscribeTreeView->FindBoardNode(board.category, board.name)) {
    subscribeTreeView->setCurrentItem(favorite);
  }
  if (!adding) return;
  // Said after the board's download, whose last status text it keeps.
  QString text = QString::fromUtf8("「%1」をお気に入りに追加しました").arg(FromSjis(board.name));
  if (!StatusBar->currentMessage().isEmpty())
    text += QStringLiteral("  ") + StatusBar->currentMessage();
  StatusBar->showMessage(text);
}

void TMainForm::bbsAllPMPopup() {
  bool board = popupNode.level == 2;
  bool subscribed = board && Favorites().Contains(popupNode.category, popupNode.name);
  bbsAllSubscribeMI->setEnabled(board && !subscribed);
  bbsAllUnsubscribeMI->setEnabled(subscribed);
  bbsAllURLCopyMI->setEnabled(board);
  bbsAllOpenBrowserMI->setEnabled(board);
}

void TMainForm::bbsAllSubscribeMIClick() {
  if (popupNode.level != 2 || Favorites().Contains(popupNode.category, popupNode.name)) return;
  std::string url = BoardList().BoardUrl(popupNode.category, popupNode.name);
  ShowFavoritesFailure(Favorites().AddBoard(popupNode.category, popupNode.name, url));
  subscribeTreeView->expandAll();
  BBSTreeView->viewport()->update();
}

void TMainForm::UnsubscribeClick() {
  if (popupNode.level != 2) return;
  ShowFavoritesFailure(Favorites().RemoveBoard(popupNode.category, popupNode.name));
  BBSTreeView->viewport()->update();
}

void TMainForm::URLCopyClick() {
  if (popupNode.level == 2) CopyToClipboard(BoardUrlOf(popupNode));
}

void TMainForm::OpenBrowserClick() {
  if (popupNode.level == 2) OpenWithSystem(BoardUrlOf(popupNode));
}

void TMainForm::subscribeTreeViewContextPopup(const QPoint& pos) {
  popupNode = RefOf(subscribeTreeView->SelectedNode());
  subscribeAddFavoriteButtonMI->setEnabled(popupNode.level == 1 || popupNode.level == 2);
  for (QAction* item :
       {subscribeURLCopyMI, subscribeOpenBrowserMI, subscribeUnsubscribeMI, subscribeNewThreadMI}) {
    item->setEnabled(popupNode.level == 2);
  }
  subscribePM->exec(subscribeTreeView->viewport()->mapToGlobal(pos));
}

void TMainForm::BBSNameLabelContextPopup(const QPoint& pos) {
  if (currentBoardNode.level != 2) return;
  popupNode = currentBoardNode;
  subscribeAddFavoriteButtonMI->setEnabled(false);
  for (QAction* item :
       {subscribeURLCopyMI, subscribeOpenBrowserMI, subscribeUnsubscribeMI, subscribeNewThreadMI}) {
    item->setEnabled(true);
  }
  subscribePM->exec(BBSNameLabel->mapToGlobal(pos));
}

void TMainForm::subscribeAddFavoriteButtonMIClick() {
  if (popupNode.level == 1) {
    ShowButtonFailure(
        FavoriteButtons().AddButton(FavoriteButtonBar::CategoryCaption(popupNode.category)));
  } else if (popupNode.level == 2) {
    ShowButtonFailure(FavoriteButtons().AddButton(popupNode.name));
  }
  ApplyFavoriteBarVisibility();
}

void TMainForm::FavoriteButtonClick(QToolButton* button) {
  activeButton = button;
  std::string caption = FavoriteToolBar::CaptionOf(button);
  std::string category;
  FavoriteButtonBar::ButtonKind kind = FavoriteButtonBar::Classify(caption, category);
  if (kind == FavoriteButtonBar::ButtonKind::kBoard) {
    if (button->defaultAction() != nullptr) button->defaultAction()->setChecked(true);
    std::string name;
    if (FavoriteButtonBar::FindBoardButtonTarget(Favorites(), caption, category, name)) {
      if (QTreeWidgetItem* node = subscribeTreeView->FindBoardNode(category, name)) {
        subscribeTreeView->setCurrentItem(node);
      }
    }
    return;
  }
  delete buttonMenu;
  buttonMenu = new QMenu(this);
  buttonMenu->setObjectName("buttonMenu");
  auto addBoard = [this](QMenu* menu, const std::string& categoryName, const std::string& name) {
    QAction* item = menu->addAction(MenuText(name));
    connect(item, &QAction::triggered, this, [this, categoryName, name] {
      if (QTreeWidgetItem* node = subscribeTreeView->FindBoardNode(categoryName, name)) {
        subscribeTreeView->setCurrentItem(node);
      }
    });
  };
  if (kind == FavoriteButtonBar::ButtonKind::kFixed) {
    for (const BoardMenuCategory& entry : Favorites().FillMenu()) {
      QMenu* sub = buttonMenu->addMenu(MenuText(entry.caption));
      for (const std::string& name : entry.boards) addBoard(sub, entry.caption, name);
    }
  } else {
    for (const std::string& name : Favorites().FillCategoryMenu(category)) {
      addBoard(buttonMenu, category, name);
    }
  }
  button->setMenu(buttonMenu);
  button->showMenu();
}

void TMainForm::FavoriteButtonRightClick(QToolButton* button, const QPoint& globalPos) {
  activeButton = button;
  bbsButtonDeletePM->exec(globalPos);
}

void TMainForm::bbsButtonDeleteMIClick() {
  if (activeButton.isNull()) return;
  std::string caption = FavoriteToolBar::CaptionOf(activeButton);
  activeButton = nullptr;
  ShowButtonFailure(FavoriteButtons().RemoveButton(caption));
  ApplyFavoriteBarVisibility();
}

void TMainForm::subjectFindToolButtonClick() {
  OpenLogSearch(QString());
}

void TMainForm::OpenLogSearch(const QString& text) {
  if (searchForm == nullptr) searchForm = new TSearchForm(this);
  searchForm->Prepare(&subjects, [this] {
    subjectListView->RowsChanged();
    subjectListView->ShowFiltered(searchForm->keyEdit->text());
  });
  if (!text.isEmpty()) searchForm->keyEdit->setText(text);
  AppDialogs().Exec(*searchForm);
  ThreadTabs().FocusActiveTab();
}

std::vector<QWidget*> TMainForm::FocusPanes() const {
  std::vector<QWidget*> panes;
  if (!SidebarPanel->isHidden()) {
    panes.push_back(sidebarPageControl->currentWidget() == BBSTabSheet
                        ? static_cast<QWidget*>(BBSTreeView)
                        : static_cast<QWidget*>(subscribeTreeView));
  }
  panes.push_back(checkListView->isVisible() ? static_cast<QWidget*>(checkListView)
                                             : static_cast<QWidget*>(subjectListView));
  if (ThreadTab* tab = ThreadTabs().ActiveTab()) panes.push_back(tab->View());
  return panes;
}

void TMainForm::optionOptionMIClick() {
  int boardFontSize = subscribeTreeView->font().pointSize();
  int threadFontSize = subjectListView->font().pointSize();
  TSettingForm form(this, boardFontSize, threadFontSize);
  if (AppDialogs().Exec(form) == QDialog::Accepted) {
    ApplyDisplaySettings(form.Display());
    AppKeys().Apply(Config().LoadKeyBindings());
    images_->Service().ApplySettings();
  }
}

void TMainForm::optionLogSweeperMIClick() {
  // The check writes into the log tree the sweeper is about to clean.
  if (check_.Running()) return;
  LogSweeper sweeper(LogDir(), Favorites().AllUrls(), [](const std::string& path) {
    return QFile::moveToTrash(QFile::decodeName(QByteArray::fromStdString(path)));
  });
  const QString caption = FromSjis(LogSweeper::ReportTitle());
  const SweepPlan plan = sweeper.Plan();
  if (plan.paths.empty()) {
    AppDialogs().ShowMessage(this, QMessageBox::Information, caption, NothingToSweepText());
    return;
  }
  // What shows a log that goes closes first: its tabs, and the list when its board goes.
  const auto goes = [&plan](const std::string& path) {
    return std::any_of(plan.paths.begin(), plan.paths.end(), [&path](const std::string& gone) {
      return path == gone || path.rfind(gone + "/", 0) == 0;
    });
  };
  std::vector<ThreadTab*> closing;
  for (ThreadTab* tab : ThreadTabs().Tabs()) {
    if (!tab->DatName().empty() && goes(tab->BoardDir() + tab->DatName())) closing.push_back(tab);
  }
  if (!AppDialogs().Ask(this, caption, SweepQuestion(plan, static_cast<int>(closing.size())))) {
    return;
  }
  for (ThreadTab* tab : closing) ThreadTabs().CloseTab(tabPageControl->indexOf(tab));
  if (subjects.IsBound() && goes(subjects.Dir())) {
    subscribeTreeView->clearSelection();
    subjectListView->Model().BeginRowsReset();
    subjects.Release();
    subjectListView->Model().EndRowsReset();
    currentBoardNode = NodeRef();
    BBSNameLabel->setText(QString::fromUtf8("板名"));
  }
  const SweepReport report = sweeper.SweepLogs();
  ShowHtmlPage(report.page, LogSweeper::ReportTitle());
  if (!report.result.IsOk()) {
    AppDialogs().ShowMessage(nullptr, QMessageBox::Warning, caption,
                             FromSjis(report.result.Reason()));
  }
}

void TMainForm::optionAboutMIClick() {
  ShowHtmlPage(BuildAboutPage(), "about");
}

void TMainForm::optionBBSMenuUpdateMIClick() {
  RunBoardMenuUpdate(this, false, false);
}

}  // namespace velkor
