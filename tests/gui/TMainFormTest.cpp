#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "app/GuiUiHooks.h"
#include "app/TMainForm.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"

using namespace velkor;

class TMainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dataDir_.isValid());
    InitDataDir(dataDir_.path().toStdString());
  }

  // With no configuration the window opens titled Velkor at the top-left corner, 640 x 480, and
  // writes its layout back when it closes.
  void opensWithDefaultsAndSavesLayout() {
    {
      TMainForm form;
      QCOMPARE(form.windowTitle(), QString("Velkor"));
      QCOMPARE(form.objectName(), QString("MainForm"));
      QCOMPARE(form.geometry(), QRect(0, 0, 640, 480));
      form.setGeometry(10, 20, 700, 500);
    }
    auto text = ReadWholeFile(IniDir() + "/config.ini");
    QVERIFY(text.has_value());
    QCOMPARE(
        QString::fromStdString(*text),
        QString("[MainForm]\r\ntop=20\r\nleft=10\r\nwidth=700\r\nheight=500\r\n"
                "SidebarVisible=1\r\nViewStyle=180\r\nSidebarWidth=180\r\nSubjectHeight=130\r\n"
                "SubjectColumn=0,38,38,325,40,40,40,180,100,120\r\n\r\n"));
  }

  void hooksShowStatusTexts() {
    TMainForm form;
    GuiUiHooks hooks(&form);
    hooks.SetStatusText(Sjis("接続しました."));
    QCOMPARE(form.statusBar()->currentMessage(), QString::fromUtf8("接続しました."));
  }

 private:
  QTemporaryDir dataDir_;
};

QTEST_MAIN(TMainFormTest)
#include "TMainFormTest.moc"
