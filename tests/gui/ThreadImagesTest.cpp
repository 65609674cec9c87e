// The images of a thread tab by setting: on click (the default), automatically, under the mosaic,
// never; a refused image's reason in its place; the viewer's steps; the hover pop-up. The images
// come from a scripted loopback server.

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <memory>
#include <string>

#include "PageScript.h"
#include "app/Settings.h"
#include "base/FileUtil.h"
#include "images/ui/ImagePopup.h"
#include "images/ui/ImageViewer.h"
#include "images/ui/ImageViewerPage.h"
#include "images/ui/ThreadImages.h"
#include "net/ConnectOverrides.h"
#include "support/HttpTestServer.h"
#include "support/TempDataDir.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadView.h"

using namespace velkor;
using test::HttpTestServer;
using Script = HttpTestServer::Script;

namespace {

// A PNG Qt decodes, of `width` × `height` pixels, as a server sends it.
std::string PngAnswer(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(30, 140, 60));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "png");
  return "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n" + png.toStdString();
}

std::string Reply(const std::string& message) {
  return "name<><>2026/12/08<> " + message + " <>\n";
}

}  // namespace

class ThreadImagesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    server_.Route("img.test");
    const std::string board = dir_.Path() + "/log/img.test/b/";
    QVERIFY(MakeDirectories(board));
    QVERIFY(ReplaceFile(board + "1.dat", Reply("http://img.test/a.png") +
                                             Reply("http://img.test/b.png") +
                                             Reply("http://img.test/c.png http://img.test/d.jpg") +
                                             Reply("http://img.test/a.png")));
    images_ = std::make_unique<ThreadImages>(&window_);
    ThreadTab::SetExtension(images_.get());
    tab_ = new ThreadTab(nullptr, &window_);
    window_.resize(800, 600);
    tab_->resize(800, 600);
    window_.show();
    tab_->show();
    tab_->ShowThread(board, "1.dat", "midoku", 1, "t");
  }

  void cleanupTestCase() {
    ThreadTab::SetExtension(nullptr);
    images_.reset();
    ClearConnectOverrides();
  }

  // On click: nothing until a link is clicked; then its thumbnail, or a refusal's reason.
  void onClick() {
    QCOMPARE(AppSettings().imageLoad, Settings::ImageLoad::kOnClick);
    server_.AddConnection(Script().ReadRequest().Send(PngAnswer(300, 150)).Close());
    server_.AddConnection(
        Script().ReadRequest().Send("HTTP/1.1 200 OK\r\n\r\n<html>removed</html>").Close());
    WaitLoaded();
    QCOMPARE(Js("document.querySelectorAll('[data-velkor-images]').length").toInt(), 0);
    Click("a[href=\"http://img.test/c.png\"]");
    QTRY_COMPARE(Thumbnails(), 1);
    // 300×150 shows as 200×100, and it is really there.
    QCOMPARE(Js("document.querySelector('img').naturalWidth").toInt(), 200);
    Click("a[href=\"http://img.test/d.jpg\"]");
    QTRY_VERIFY(Js("document.body.innerText")
                    .toString()
                    .contains(QString::fromUtf8("エラー:画像ではなくHTMLページが返されました")));
    QCOMPARE(Js("document.querySelector('[data-velkor-images=\"3\"]').children.length").toInt(), 2);
    QCOMPARE(server_.Requests().size(), std::size_t{2});
  }

  // Automatically: every image of the page, once, a post linking an image twice shows it twice.
  void automatically() {
    AppSettings().imageLoad = Settings::ImageLoad::kAutomatic;
    server_.AddConnection(Script().ReadRequest().Send(PngAnswer(40, 30)).Close());
    server_.AddConnection(Script().ReadRequest().Send(PngAnswer(50, 20)).Close());
    tab_->Rerender("midoku");
    WaitLoaded();
    QTRY_COMPARE(Thumbnails(), 4);  // a.png twice, b.png, c.png; d.jpg keeps its reason
    QCOMPARE(server_.Requests().size(), std::size_t{4});
  }

  // Under the mosaic: blurred, revealed by the first click, the viewer on the next; the arrows
  // step through the thread's images.
  void mosaicAndViewer() {
    AppSettings().imageMosaic = true;
    tab_->Rerender("midoku");
    WaitLoaded();
    QTRY_COMPARE(Thumbnails(), 4);
    QVERIFY(Js("document.querySelector('a[href=\"velkor:/image/1\"] img').style.filter")
                .toString()
                .contains("blur"));
    QVERIFY2(!images_->LinkHovered(*tab_, "http://img.test/b.png"), "no pop-up under a mosaic");
    Click("a[href=\"velkor:/image/1\"]");
    QTRY_VERIFY(
        Js("document.querySelector('a[href=\"velkor:/image/1\"] img').style.filter").toString() ==
        "");
    QVERIFY(images_->Viewer() == nullptr);
    Click("a[href=\"velkor:/image/1\"]");
    QTRY_VERIFY(images_->Viewer() != nullptr && images_->Viewer()->isVisible());
    ImageViewerPage* page = images_->Viewer()->CurrentPage();
    QCOMPARE(page->Link().imageUrl, std::string("http://img.test/b.png"));
    QCOMPARE(page->Position(), std::size_t{1});
    QCOMPARE(page->Count(), std::size_t{4});  // a, b, c, d: each once, in page order
    QTRY_VERIFY(page->Shown());
    QTest::keyClick(images_->Viewer(), Qt::Key_Left);
    QCOMPARE(page->Link().imageUrl, std::string("http://img.test/a.png"));
    QTRY_VERIFY(page->Shown());
    QTest::keyClick(images_->Viewer(), Qt::Key_Right);
    QTest::keyClick(images_->Viewer(), Qt::Key_Right);
    QTest::keyClick(images_->Viewer(), Qt::Key_Right);
    QCOMPARE(page->Link().imageUrl, std::string("http://img.test/d.jpg"));
    QTRY_COMPARE(page->Message(), QString::fromUtf8("エラー:画像ではなくHTMLページが返されました"));
    images_->Viewer()->close();
    AppSettings().imageMosaic = false;
    // A revealed image (or any without the mosaic) pops up under the mouse.
    QVERIFY(images_->LinkHovered(*tab_, "http://img.test/b.png"));
    QVERIFY(images_->Popup()->isVisible());
    QVERIFY(!images_->LinkHovered(*tab_, std::string()));
    QVERIFY(!images_->Popup()->isVisible());
  }

  // Never: the page stays as rendered and the links are left to the tab.
  void never() {
    AppSettings().imageLoad = Settings::ImageLoad::kNever;
    tab_->Rerender("midoku");
    WaitLoaded();
    QTest::qWait(200);
    QCOMPARE(Js("document.querySelectorAll('[data-velkor-images]').length").toInt(), 0);
    QVERIFY(!images_->LinkFollowed(*tab_, "http://img.test/a.png"));
    QVERIFY(!images_->LinkHovered(*tab_, "http://img.test/a.png"));
    QCOMPARE(server_.Requests().size(), std::size_t{4});
    AppSettings().imageLoad = Settings::ImageLoad::kOnClick;
  }

 private:
  void WaitLoaded() { QTRY_VERIFY(!tab_->View()->IsLoading()); }

  QVariant Js(const QString& expression) { return test::ScriptResult(tab_, expression); }

  // Thumbnails on the page that have loaded.
  int Thumbnails() {
    return Js("Array.from(document.querySelectorAll('img[src^=\"velkor:/thumb/\"]'))"
              ".filter(function (i) { return i.complete && i.naturalWidth > 0; }).length")
        .toInt();
  }

  void Click(const QString& selector) {
    QVERIFY2(Js(QString("(function () { var a = document.querySelector('%1');"
                        " if (!a) return false; a.click(); return true; })()")
                    .arg(selector))
                 .toBool(),
             qPrintable(selector));
  }

  test::TempDataDir dir_;
  HttpTestServer server_;
  QWidget window_;
  std::unique_ptr<ThreadImages> images_;
  ThreadTab* tab_ = nullptr;
};

int main(int argc, char** argv) {
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  ThreadImagesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ThreadImagesTest.moc"
