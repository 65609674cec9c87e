#include "images/ui/ImageViewer.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QShortcut>
#include <QTabWidget>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/Settings.h"
#include "base/FileUtil.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "images/ui/ImageCanvas.h"
#include "images/ui/ImageService.h"
#include "images/ui/ImageViewerPage.h"
#include "threads/ThreadLinks.h"

namespace velkor {
namespace {

QString Latin(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The name offered when an image is saved: the last part of its URL's path, with the extension of
// its type when it has none of its own.
QString SuggestedName(const std::string& imageUrl, ImageType type) {
  std::string path = imageUrl.substr(0, imageUrl.find_first_of("?#"));
  std::string name = path.substr(path.rfind('/') + 1);
  if (name.empty() || !ImageTypeOfLinkName("http://x/" + name)) {
    name = (name.empty() ? std::string("image") : name) + "." + std::string(ImageTypeName(type));
  }
  return Latin(name);
}

}  // namespace

ImageViewer::ImageViewer(ImageService& service, QWidget* parent)
    : QWidget(parent, Qt::Window), service_(service) {
  setObjectName(QStringLiteral("imageViewer"));
  setWindowTitle(QString::fromUtf8("画像"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(800, 600);
  imageToolBar = new QToolBar(this);
  imageToolBar->setObjectName(QStringLiteral("imageToolBar"));
  const auto add = [this](const char* caption, const char* name) {
    QAction* action = imageToolBar->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  fitAction = add("ウィンドウに合わせる", "fitAction");
  actualSizeAction = add("100%", "actualSizeAction");
  imageToolBar->addSeparator();
  saveAction = add("名前を付けて保存...", "saveAction");
  copyUrlAction = add("URLをコピー", "copyUrlAction");
  browserAction = add("ブラウザで開く", "browserAction");
  imageTabs = new QTabWidget(this);
  imageTabs->setObjectName(QStringLiteral("imageTabs"));
  imageTabs->setTabsClosable(true);
  imageTabs->setDocumentMode(true);
  imageTabs->setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(imageToolBar);
  layout->addWidget(imageTabs, 1);

  connect(imageTabs, &QTabWidget::tabCloseRequested, this, [this](int index) {
    QWidget* page = imageTabs->widget(index);
    imageTabs->removeTab(index);
    delete page;
    if (imageTabs->count() == 0) close();
  });
  connect(fitAction, &QAction::triggered, this, [this] {
    if (ImageViewerPage* page = CurrentPage()) page->Canvas()->FitToWindow();
  });
  connect(actualSizeAction, &QAction::triggered, this, [this] {
    if (ImageViewerPage* page = CurrentPage()) page->Canvas()->ShowActualSize();
  });
  connect(saveAction, &QAction::triggered, this, &ImageViewer::SaveAs);
  connect(copyUrlAction, &QAction::triggered, this, [this] {
    if (ImageViewerPage* page = CurrentPage()) {
      QGuiApplication::clipboard()->setText(Latin(page->Link().imageUrl));
    }
  });
  connect(browserAction, &QAction::triggered, this, &ImageViewer::OpenInBrowser);
  const auto shortcut = [this](QKeySequence keys, auto action) {
    auto* made = new QShortcut(keys, this);
    made->setContext(Qt::WindowShortcut);
    connect(made, &QShortcut::activated, this, action);
  };
  shortcut(QKeySequence(Qt::Key_Left), [this] {
    if (ImageViewerPage* page = CurrentPage()) page->Step(-1);
  });
  shortcut(QKeySequence(Qt::Key_Right), [this] {
    if (ImageViewerPage* page = CurrentPage()) page->Step(1);
  });
  shortcut(QKeySequence(Qt::Key_Escape), [this] { close(); });
}

ImageViewerPage* ImageViewer::CurrentPage() const {
  return qobject_cast<ImageViewerPage*>(imageTabs->currentWidget());
}

void ImageViewer::Open(const std::vector<ImageLink>& list, std::size_t at) {
  if (at >= list.size()) return;
  for (int i = 0; i < imageTabs->count(); ++i) {
    auto* page = qobject_cast<ImageViewerPage*>(imageTabs->widget(i));
    if (page != nullptr && page->Link().imageUrl == list[at].imageUrl) {
      imageTabs->setCurrentIndex(i);
      show();
      raise();
      activateWindow();
      return;
    }
  }
  auto* page = new ImageViewerPage(service_, list, at);
  const int index = imageTabs->addTab(page, Latin(list[at].imageUrl));
  connect(page, &ImageViewerPage::CaptionChanged, this, [this, page](const QString& caption) {
    const int i = imageTabs->indexOf(page);
    if (i < 0) return;
    const QString name = caption.section(QLatin1Char('/'), -1);
    imageTabs->setTabText(i, name.isEmpty() ? caption : name);
    imageTabs->setTabToolTip(i, caption);
    if (i == imageTabs->currentIndex()) setWindowTitle(caption);
  });
  emit page->CaptionChanged(Latin(list[at].imageUrl));
  imageTabs->setCurrentIndex(index);
  show();
  raise();
  activateWindow();
  page->Canvas()->setFocus();
}

void ImageViewer::SaveAs() {
  ImageViewerPage* page = CurrentPage();
  if (page == nullptr) return;
  const ImageService::Image& image = service_.Find(page->Link().imageUrl);
  if (image.state != ImageService::Image::kReady) return;
  const QString file = AppDialogs().SaveFileName(
      this, QString::fromUtf8("名前を付けて保存"),
      SuggestedName(page->Link().imageUrl, image.entry.info.type), QString());
  if (file.isEmpty()) return;
  const std::optional<std::string> bytes = ReadWholeFile(service_.ImagePath(page->Link().imageUrl));
  if (!bytes || !ReplaceFile(QFile::encodeName(file).toStdString(), *bytes)) {
    AppDialogs().ShowMessage(this, QMessageBox::Warning, QString::fromUtf8("名前を付けて保存"),
                             QString::fromUtf8("画像を保存できませんでした: ") + file);
  }
}

void ImageViewer::OpenInBrowser() {
  ImageViewerPage* page = CurrentPage();
  if (page == nullptr || !IsExternalLinkAllowed(page->Link().link)) return;
  const QString link = Latin(page->Link().link);
  const std::string& program = AppSettings().browserApp;
  if (program.empty()) {
    QDesktopServices::openUrl(QUrl(link));
  } else {
    QProcess::startDetached(FromSjis(program), {link});
  }
}

}  // namespace velkor
