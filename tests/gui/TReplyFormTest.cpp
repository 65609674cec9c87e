// The reply window against a scripted server: what the window does while its post waits for the
// answer, and when the answer is lost after the request went out.

#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/DataDir.h"
#include "base/Sjis.h"
#include "mainwindow/GuiUiHooks.h"
#include "post/PostDrafts.h"
#include "post/ui/TReplyForm.h"
#include "support/HttpTestServer.h"
#include "support/TempDataDir.h"

using namespace velkor;
using test::HttpTestServer;

class TReplyFormTest : public QObject {
  Q_OBJECT

 private slots:
  // While the post waits for its answer the window stays live but refuses to post again and to
  // close; the connection cut after the request is "may have been posted": nothing is sent again,
  // and the text stays in the window and in the draft.
  void onePostAtATimeAndTheTextKeptWhenTheAnswerIsLost() {
    test::TempDataDir data;
    data.WriteFile("log/post.test/board/SETTING.TXT", "BBS_MESSAGE_COUNT=100\n");
    HttpTestServer server;
    server.Route("post.test");
    auto gate = std::make_shared<HttpTestServer::Gate>();
    server.AddConnection(HttpTestServer::Script().ReadRequest().Send(
        "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
    server.AddConnection(HttpTestServer::Script().ReadRequest().Hold(gate).Close());
    GuiUiHooks hooks(nullptr);
    SetUiHooks(&hooks);

    QPointer<TReplyForm> form =
        new TReplyForm("http://post.test/board/", LogDir() + "/post.test/board/", "123.dat",
                       Sjis("スレ"), nullptr);
    form->show();
    form->messageEdit->setPlainText(QString::fromUtf8("一度だけ"));
    bool checkedWhileRunning = false;
    QTimer::singleShot(0, form, [&] {
      checkedWhileRunning = form->Busy() && !form->postButton->isEnabled();
      form->Post();
      checkedWhileRunning = checkedWhileRunning &&
                            form->ResultText().contains(QString::fromUtf8("もう一度は送りません"));
      checkedWhileRunning = checkedWhileRunning && !form->close();
      gate->Open();
    });
    form->Post();
    SetUiHooks(nullptr);

    QVERIFY(!form.isNull());
    QVERIFY(checkedWhileRunning);
    int posts = 0;
    for (const HttpTestServer::Request& request : server.Requests()) {
      if (request.bytes.starts_with("POST /test/bbs.cgi ")) ++posts;
    }
    QCOMPARE(posts, 1);
    QVERIFY2(form->ResultText().contains(QString::fromUtf8("書き込めたかどうか分かりません")),
             qPrintable(form->ResultText()));
    QCOMPARE(form->messageEdit->toPlainText(), QString::fromUtf8("一度だけ"));
    QVERIFY(form->postButton->isEnabled());
    QCOMPARE(ReadDraft(DraftPath("http://post.test/board/", "123")).Value().message,
             std::string("一度だけ"));
    delete form;
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  TReplyFormTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "TReplyFormTest.moc"
