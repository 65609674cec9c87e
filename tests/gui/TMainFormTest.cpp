// The main window on a data directory without any file: first-start defaults, the two pane
// arrangements, the side bar, and what the window writes back when it closes.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtTest>
#include <cstdlib>

#include "PresetDialogs.h"
#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "mainwindow/BrowserLogs.h"
#include "mainwindow/BrowserSandbox.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/NativeLook.h"
#include "mainwindow/TMainForm.h"
#include "mainwindow/TSettingForm.h"
#include "mainwindow/WindowGeometry.h"
#include "subjects/ui/SubjectListView.h"
#include "threads/Skin.h"
#include "threads/ui/ThreadViewProfile.h"

using namespace velkor;

class TMainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
  }

  // With no configuration the window opens titled Velkor, large enough for the thread list and a
  // thread beside the side bar (most of the screen, centred on it), with the side bar 180 wide
  // showing the favourites page and the thread list filling the right side.
  void firstStartDefaults() {
    TMainForm form;
    QCOMPARE(form.windowTitle(), QString("Velkor"));
    QCOMPARE(form.objectName(), QString("MainForm"));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(form.geometry()));
    QVERIFY(form.width() >= std::min(960, screen.width()));
    QVERIFY(form.height() >= std::min(680, screen.height()));
    QVERIFY(std::abs(form.geometry().center().x() - screen.center().x()) <= 1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    auto* sidebar = form.findChild<QWidget*>("SidebarPanel");
    QVERIFY(sidebar != nullptr);
    QVERIFY(sidebar->isVisible());
    QCOMPARE(sidebar->width(), 180);

    auto* pages = form.findChild<QTabWidget*>("sidebarPageControl");
    QCOMPARE(pages->count(), 2);
    QCOMPARE(pages->tabText(0), QString::fromUtf8("ボード一覧"));
    QCOMPARE(pages->tabText(1), QString::fromUtf8("お気に入り"));
    QCOMPARE(pages->currentWidget()->objectName(), QString("subscribeTabSheet"));

    QVERIFY(form.IsSubjectExpanded());
    auto* browser = form.findChild<QWidget*>("BrowserPanel");
    auto* subject = form.findChild<QWidget*>("SubjectPanel");
    QVERIFY(browser->height() <= 1);
    QVERIFY(subject->height() > 300);

    // No pinned buttons: the bar is hidden, only the fixed button exists.
    QVERIFY(!form.findChild<QWidget*>("favoritePanel")->isVisible());
    auto* fixed = form.findChild<QToolButton*>("favoriteToolButton");
    QVERIFY(fixed != nullptr);
    QCOMPARE(fixed->text(), QString::fromUtf8("▼お気に入り"));

    auto* name = form.findChild<QLabel*>("BBSNameLabel");
    QCOMPARE(name->text(), QString::fromUtf8("板名"));
    QCOMPARE(form.findChild<QAction*>("threadNewTabMI")->text(),
             QString::fromUtf8("新しいタブで開く"));
  }

  // A saved geometry is kept, but brought onto the screen when it lies outside it or is larger.
  void openingGeometry_data() {
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("on the screen") << QRect(10, 20, 700, 500) << QRect(10, 20, 700, 500);
    QTest::newRow("beyond the right edge") << QRect(1500, 20, 700, 500) << QRect(580, 20, 700, 500);
    QTest::newRow("above the top") << QRect(10, -300, 700, 500) << QRect(10, 0, 700, 500);
    QTest::newRow("larger than the screen") << QRect(-50, 0, 3000, 2000) << QRect(0, 0, 1280, 1024);
  }

  void openingGeometry() {
    QFETCH(QRect, saved);
    QFETCH(QRect, expected);
    QCOMPARE(OpeningGeometry(saved, QRect(0, 0, 1280, 1024)), expected);
  }

  // The columns get the default widths and the captions of the thread list.
  void threadListColumns() {
    TMainForm form;
    auto* view = form.findChild<SubjectListView*>("SubjectListView");
    QVERIFY(view != nullptr);
    QCOMPARE(view->ColumnWidths(), (std::vector<int>{0, 38, 38, 325, 40, 40, 40, 180, 100, 120}));
    QStringList captions;
    for (int i = 0; i < 10; ++i) {
      captions << view->model()->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    QCOMPARE(captions,
             QString::fromUtf8("|順位|前回|タイトル|レス|既得|未読|タイムスタンプ|サイズ|dat")
                 .split('|'));
    QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
  }

  // The tool row: buttons, the show-type box with its hint, the "設定" button dropping down the
  // option menu.
  void subjectToolRow() {
    TMainForm form;
    QStringList captions;
    for (const char* name :
         {"subjectReloadToolButton", "subjectOptionToolButton", "subjectFindToolButton"}) {
      auto* button = form.findChild<QToolButton*>(name);
      QVERIFY(button != nullptr);
      captions << button->text();
    }
    QCOMPARE(captions, QString::fromUtf8("更新 設定 検索").split(' '));
    QCOMPARE(form.findChild<QToolButton*>("subjectOptionToolButton")->menu(),
             form.findChild<QMenu*>("optionPM"));
    auto* box = form.findChild<QComboBox*>("subjectShowTypeCB");
    QVERIFY(box != nullptr);
    QCOMPARE(box->toolTip(), QString::fromUtf8("スレッド絞込み"));
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    QCOMPARE(items,
             QString::fromUtf8("スレッド 全てのスレッド ログのあるスレッド ログのないスレッド "
                               "未読スレッド 新規スレッド")
                 .split(' '));
  }

  // "+" switches between the list filling the pane and the list sharing it at the remembered
  // height, and back. Shared, the list keeps room for its tool row, its header and five rows,
  // however small the remembered height.
  void plusAlternatesArrangements() {
    TMainForm form;
    form.setGeometry(0, 0, 900, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* plus = form.findChild<QToolButton*>("expandSpeedButton");
    QCOMPARE(plus->text(), QString("+"));
    auto* subject = form.findChild<QWidget*>("SubjectPanel");
    auto* browser = form.findChild<QWidget*>("BrowserPanel");
    auto* view = form.findChild<SubjectListView*>("SubjectListView");
    const int fiveRows = 5 * view->verticalHeader()->defaultSectionSize();
    QCOMPARE(form.SubjectHeight(), 130);

    plus->click();
    QVERIFY(!form.IsSubjectExpanded());
    // Five rows fit between the header and the horizontal scroll bar.
    const int titleWidth = view->columnWidth(3);
    view->horizontalHeader()->resizeSection(3, 3 * view->width());
    QTRY_VERIFY(view->horizontalScrollBar()->isVisible());
    QVERIFY2(view->viewport()->height() >= fiveRows,
             qPrintable(QString::number(view->viewport()->height())));
    view->horizontalHeader()->resizeSection(3, titleWidth);
    const int shared = subject->height();
    QVERIFY(browser->height() > 200);

    plus->click();
    QVERIFY(form.IsSubjectExpanded());
    QVERIFY(browser->height() <= 1);

    plus->click();
    QCOMPARE(subject->height(), shared);
  }

  // "サイドバーを表示/隠す" hides the side bar and shows it again at its remembered width.
  void toggleSidebar() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* sidebar = form.findChild<QWidget*>("SidebarPanel");
    auto* item = form.findChild<QAction*>("optionSidebarShowMI");
    QCOMPARE(item->text(), QString::fromUtf8("サイドバーを表示/隠す"));
    item->trigger();
    QVERIFY(!sidebar->isVisible());
    item->trigger();
    QVERIFY(sidebar->isVisible());
    QCOMPARE(sidebar->width(), 180);
  }

  // Closing writes the geometry, the remembered sizes and the column widths, the latter as the
  // user left them. A window never moved nor resized writes the geometry the file held (on a
  // first start the file's defaults) and opens large again.
  void savesLayoutAndColumnWidths() {
    Config().SaveWindowLayout(WindowLayout{}, true);
    for (const bool show : {false, true}) {
      {
        TMainForm form;
        if (show) {
          form.show();
          QVERIFY(QTest::qWaitForWindowExposed(&form));
        }
        QVERIFY(form.width() > 640);
      }
      auto text = ReadWholeFile(IniDir() + "/config.ini");
      QVERIFY(text.has_value());
      QVERIFY2(text->starts_with("[MainForm]\r\ntop=0\r\nleft=0\r\nwidth=640\r\nheight=480\r\n"),
               text->c_str());
    }
    {
      TMainForm form;
      form.setGeometry(10, 20, 700, 500);
      auto* view = form.findChild<SubjectListView*>("SubjectListView");
      view->horizontalHeader()->resizeSection(3, 400);
      view->horizontalHeader()->resizeSection(9, 77);
    }
    auto text = ReadWholeFile(IniDir() + "/config.ini");
    QVERIFY(text.has_value());
    QCOMPARE(
        QString::fromStdString(*text),
        QString("[MainForm]\r\ntop=20\r\nleft=10\r\nwidth=700\r\nheight=500\r\n"
                "SidebarVisible=1\r\nViewStyle=180\r\nSidebarWidth=180\r\nSubjectHeight=130\r\n"
                "SubjectColumn=0,38,38,400,40,40,40,180,100,77\r\n\r\n"));
  }

  void hooksShowStatusTexts() {
    TMainForm form;
    GuiUiHooks hooks(&form);
    hooks.SetStatusText(Sjis("接続しました."));
    QCOMPARE(form.statusBar()->currentMessage(), QString::fromUtf8("接続しました."));
    QCOMPARE(form.statusBar()->objectName(), QString("StatusBar"));
  }

  // Dragging the thread-list splitter is remembered; resizing the window alone is not.
  void splitterDragIsRemembered() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.SetSubjectExpanded(false);
    auto* splitter = form.findChild<QSplitter*>("XSplitter");
    QSplitterHandle* handle = splitter->handle(1);
    QPoint start = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    QTest::mouseMove(handle, start + QPoint(0, 40));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(0, 40));
    QCOMPARE(form.SubjectHeight(), form.findChild<QWidget*>("SubjectPanel")->height());
    QVERIFY(form.SubjectHeight() > 170);
    int remembered = form.SubjectHeight();
    form.resize(800, 600);
    QCOMPARE(form.SubjectHeight(), remembered);
    QCOMPARE(form.SidebarWidth(), 180);
  }

  // After the settings dialog's OK, NewTabOpen and the font sizes apply at once.
  void settingsApplyAtOnce() {
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tree = form.findChild<QWidget*>("subscribeTreeView");
    QCOMPARE(tree->font().pointSize(), 10);
    test::PresetDialogs dialogs;
    dialogs.fontSizes.push_back(14);
    dialogs.fontSizes.push_back(15);
    dialogs.windows.push_back([](QDialog& dialog) {
      auto& settings = static_cast<TSettingForm&>(dialog);
      settings.newTabCheckBox->setChecked(true);
      settings.bbsMenuFontButton->click();
      settings.pageFontButton->click();
      settings.okButton->click();
    });
    form.findChild<QAction*>("optionOptionMI")->trigger();
    QCOMPARE(dialogs.asked, (QStringList{"window||SettingForm", "font||", "font||"}));
    // The thread pages' text: 15 points are 20 pixels.
    QCOMPARE(ThreadViewProfile()->settings()->fontSize(QWebEngineSettings::DefaultFontSize), 20);
    QCOMPARE(form.findChild<QAction*>("threadNewTabMI")->text(),
             QString::fromUtf8("アクティブなタブで開く"));
    QCOMPARE(tree->font().pointSize(), 14);
    QCOMPARE(form.findChild<QWidget*>("BBSTreeView")->font().pointSize(), 14);
    QVERIFY(ReadWholeFile(IniDir() + "/config.ini")->find("NewTabOpen=1") != std::string::npos);
  }

  // A larger list font widens the columns with it: ranks and counts stay whole, not "1…".
  void columnsFollowTheListFont() {
    TMainForm form;
    auto* view = form.findChild<SubjectListView*>("SubjectListView");
    const int titleWidth = view->columnWidth(3);
    test::PresetDialogs dialogs;
    dialogs.fontSizes.push_back(24);
    dialogs.windows.push_back([](QDialog& dialog) {
      auto& settings = static_cast<TSettingForm&>(dialog);
      settings.threadFontButton->click();
      settings.okButton->click();
    });
    form.findChild<QAction*>("optionOptionMI")->trigger();
    QCOMPARE(view->font().pointSize(), 24);
    const QFontMetrics metrics(view->font());
    for (int column : {1, 2, 4, 5, 6}) {
      QVERIFY2(view->columnWidth(column) > metrics.horizontalAdvance("0000"),
               qPrintable(QString::number(column)));
    }
    QVERIFY(view->columnWidth(8) > metrics.horizontalAdvance("0,000,000"));
    QVERIFY(view->columnWidth(3) > titleWidth);
    QCOMPARE(view->columnWidth(0), 0);
  }

  // A second start reaches the program running on the same data directory, which brings its
  // window to the front; with nobody running on it, nobody answers.
  void secondStartReachesTheRunningProgram() {
    const std::string dir = dataDir_.path().toStdString();
    QVERIFY(!InstanceChannel::AskToRaise(dir, 500));
    InstanceChannel channel;
    int raised = 0;
    QVERIFY(channel.Listen(dir, [&raised] { ++raised; }));
    QVERIFY(InstanceChannel::AskToRaise(dir, 2000));
    QTRY_COMPARE(raised, 1);
    QVERIFY(!InstanceChannel::AskToRaise(dir + "/other", 500));
    QVERIFY(InstanceChannel::NameFor(dir) != InstanceChannel::NameFor(dir + "/other"));
  }

  // As root the browser sandbox is switched off with one warning line; for anyone else it stays on.
  void browserSandboxOffOnlyForRoot() {
    const QByteArray saved = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    for (unsigned uid : {1000u, 0u}) {
      qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
      std::FILE* warnings = std::tmpfile();
      QVERIFY(warnings != nullptr);
      const bool off = DisableBrowserSandboxForRoot(uid, warnings);
      std::rewind(warnings);
      char text[200] = {};
      const std::size_t length = std::fread(text, 1, sizeof text - 1, warnings);
      std::fclose(warnings);
      QCOMPARE(off, uid == 0);
      QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray(uid == 0 ? "1" : ""));
      QCOMPARE(QByteArray(text, static_cast<int>(length)),
               QByteArray(uid == 0 ? "velkor: running as root: the browser sandbox is off\n" : ""));
    }
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", saved);
  }

  // The browser's log lines are left out unless asked for or a log level is set already.
  void quietBrowserFlags_data() {
    QTest::addColumn<QString>("flags");
    QTest::addColumn<bool>("debug");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << "" << false << "--log-level=3";
    QTest::newRow("others kept") << "--no-sandbox" << false << "--no-sandbox --log-level=3";
    QTest::newRow("level given") << "--log-level=0" << false << "--log-level=0";
    QTest::newRow("debugging") << "--no-sandbox" << true << "--no-sandbox";
  }

  void quietBrowserFlags() {
    QFETCH(QString, flags);
    QFETCH(bool, debug);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(QuietBrowserFlags(flags.toStdString(), debug)), expected);
  }

  // Qt's own texts come in Japanese when its translations are installed.
  void qtTextsInJapanese() {
    QVERIFY(LoadQtTranslations(*qApp));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
             QString::fromUtf8("キャンセル"));
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
      QCoreApplication::removeTranslator(translator);
      delete translator;
    }
  }

  // Under a dark palette the window takes the dark skin set (from its own folder) and the list's
  // coloured rows keep dark text; under a light one the light set as before.
  void darkPaletteTakesTheDarkSkin() {
    const QPalette light = QApplication::palette();
    const Skin saved = AppSkin();
    QVERIFY(!DesktopIsDark());
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, Qt::white);
    QApplication::setPalette(dark);
    QVERIFY(DesktopIsDark());
    {
      TMainForm form;
      QCOMPARE(AppSkin().header, DarkSkin().header);
      QVERIFY(QFile::exists(QString::fromStdString(DarkSkinDir() + "/Header.html")));
    }
    QApplication::setPalette(light);
    AppSkin() = saved;
  }

 private:
  QTemporaryDir dataDir_;
};

QTEST_MAIN(TMainFormTest)
#include "TMainFormTest.moc"
