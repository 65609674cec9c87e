// Decoding cached images: each of the demo's pictures (every type, animated ones, the hostile
// files) and large ones, as the window decodes them, off any widget.

#include <QImage>
#include <QtTest>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "demo/DemoImages.h"
#include "images/ImageCache.h"
#include "images/ui/ImageDecoder.h"
#include "support/TempDataDir.h"

using namespace velkor;

class ImageDecoderTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { LimitImageDecoding(); }

  // The thumbnail and the whole image of each picture; the hostile ones are refused by the header
  // checks with their reason, before any decoder sees them. The type always comes from the bytes:
  // the JPEG named .png decodes as the JPEG it is.
  void decodesEachPictureOrRefusesIt_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");  // invalid: refused
    QTest::addColumn<bool>("animated");
    QTest::addColumn<QString>("reason");
    const struct {
      const char* name;
      QSize size;
      bool animated;
      const char* reason;
    } rows[] = {
        {"sky.png", {64, 48}, false, ""},
        {"rings.jpg", {32, 32}, false, ""},
        {"still.gif", {40, 24}, false, ""},
        {"blink.gif", {48, 32}, true, ""},
        {"dots.webp", {40, 40}, false, ""},
        {"dots-moving.webp", {40, 40}, true, ""},
        {"tiles.bmp", {30, 18}, false, ""},
        {"liar.png", {32, 32}, false, ""},
        {"cut.png", {}, false, "エラー:画像が途中で切れています"},
        {"removed.jpg", {}, false, "エラー:画像ではなくHTMLページが返されました"},
        {"huge.png", {}, false, "エラー:画像が大きすぎます(100000×100000、5000万画素まで)"},
    };
    const demo::DemoImages pictures;
    for (const auto& row : rows) {
      const demo::DemoImage* picture = pictures.Find(std::string("/i/") + row.name);
      QVERIFY2(picture != nullptr, row.name);
      QTest::newRow(row.name) << QByteArray::fromStdString(picture->bytes) << row.size
                              << row.animated << QString::fromUtf8(row.reason);
    }
  }

  void decodesEachPictureOrRefusesIt() {
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(bool, animated);
    QFETCH(QString, reason);
    const std::string path = dir_.Path() + "/picture.img";
    QVERIFY(ReplaceFile(path, bytes.toStdString()));
    const ResultWith<QByteArray> thumbnail = MakeThumbnail(path);
    const ResultWith<DecodedImage> whole = DecodeImageFile(path);
    if (!size.isValid()) {
      QVERIFY(!thumbnail.IsOk());
      QCOMPARE(QString::fromStdString(SjisToUtf8Lossy(thumbnail.Reason())), reason);
      QCOMPARE(QString::fromStdString(SjisToUtf8Lossy(whole.Reason())), reason);
      return;
    }
    QVERIFY2(thumbnail.IsOk(), SjisToUtf8Lossy(thumbnail.Reason()).c_str());
    QCOMPARE(QImage::fromData(thumbnail.Value(), "png").size(), size);
    QVERIFY2(whole.IsOk(), SjisToUtf8Lossy(whole.Reason()).c_str());
    QCOMPARE(whole.Value().image.size(), size);
    QCOMPARE(!whole.Value().bytes.isEmpty(), animated);
  }

  // Thumbnails keep the proportions within 200×200; small images keep their size.
  void thumbnailSizes_data() {
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("thumbnail");
    QTest::newRow("small") << QSize(64, 48) << QSize(64, 48);
    QTest::newRow("wide") << QSize(4000, 3000) << QSize(200, 150);
    QTest::newRow("tall") << QSize(300, 1200) << QSize(50, 200);
    QTest::newRow("strip") << QSize(50000, 10) << QSize(200, 1);
  }

  void thumbnailSizes() {
    QFETCH(QSize, image);
    QFETCH(QSize, thumbnail);
    QCOMPARE(ThumbnailSize(image), thumbnail);
  }

  // A large image is scaled down for its thumbnail.
  void thumbnailOfALargeJpeg() {
    QImage large(3000, 2000, QImage::Format_RGB32);
    large.fill(QColor(10, 120, 200));
    const std::string path = dir_.Path() + "/large.img";
    QVERIFY(large.save(QString::fromStdString(path), "jpeg"));
    const ResultWith<QByteArray> thumbnail = MakeThumbnail(path);
    QVERIFY(thumbnail.IsOk());
    const QImage small = QImage::fromData(thumbnail.Value(), "png");
    QCOMPARE(small.size(), QSize(200, 133));
    QVERIFY(qAbs(QColor(small.pixel(100, 66)).blue() - 200) < 8);
  }

 private:
  test::TempDataDir dir_;
};

QTEST_GUILESS_MAIN(ImageDecoderTest)
#include "ImageDecoderTest.moc"
