#pragma once

#include <QDialog>

#include "app/Settings.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace velkor {

class KeyPage;

// The settings dialog, made for one use. Creation fills the controls from AppSettings(), the
// configuration file (TabMultiLine, TabStyle) and the given font sizes of the side-bar trees and
// the thread list. "OK" writes every value to config.ini (flushed), reads the settings back into
// AppSettings() and Display(), and accepts; "キャンセル" and the close box write nothing. The page
// "画像" holds the image settings and "画像キャッシュを削除", which empties the image cache at
// once.
class TSettingForm : public QDialog {
  Q_OBJECT

 public:
  TSettingForm(QWidget* parent, int boardFontSize, int threadFontSize);

  // The display settings read back after "OK" (font sizes of the trees, the list and the thread
  // pages, tab style and lines); the caller applies them together with AppSettings().newTabOpen.
  // Default values before "OK".
  const DisplaySettings& Display() const { return display_; }

  QTabWidget* PageControl;
  QWidget* configTabSheet;
  QGroupBox* threadGroupBox;
  QCheckBox* newTabCheckBox;
  QCheckBox* tabMultiLineCheckBox;
  QGroupBox* tabStyleRadioGroup;
  QButtonGroup* tabStyleButtons;
  QLabel* autoReloadLabel;
  QSpinBox* autoReloadSpinEdit;
  QLabel* browserLabel;
  QLineEdit* browserEdit;
  QPushButton* browserButton;
  QPushButton* defaultBrowserButton;
  QCheckBox* restoreSessionCheckBox;  // "起動時に前回の板とタブを開く"

  QWidget* lookFeelTabSheet;
  QGroupBox* bbsMenuGroupBox;
  QLabel* bbsMenuFontLabel;
  QPushButton* bbsMenuFontButton;
  QLabel* subscribeLabel;
  QPushButton* colorSubscribeButton;
  QGroupBox* pageGroupBox;  // "スレッド表示": the thread pages' text
  QLabel* pageFontLabel;
  QPushButton* pageFontButton;
  QGroupBox* subjectGroupBox;
  QLabel* subjectFontLabel;
  QPushButton* threadFontButton;
  QLabel* threadNewLabel;
  QPushButton* coloNewThreadButton;
  QLabel* threadUnreadLabel;
  QPushButton* colorUnreadButton;
  QLabel* threadLogExistLabel;
  QPushButton* colorLogExistButton;
  QLabel* threadNologLabel;
  QPushButton* colorNologButton;
  QLabel* thread1000OverLabel;
  QPushButton* colorOver1000Button;
  QLabel* threadPastLabel;
  QPushButton* colorPastButton;

  QWidget* TabSheet1;
  QCheckBox* subjectGzipCheckBox;
  QCheckBox* debugLogCheckBox;
  QGroupBox* GroupBox3;
  QCheckBox* cache1CB;
  QLineEdit* cache1Edit;
  QLabel* cache1Label;
  QLineEdit* cacheserver1Edit;
  QCheckBox* cache2CB;
  QWidget* cache2Panel;
  QLineEdit* cache2Edit;
  QLabel* cache2Label;
  QLineEdit* cacheserver2Edit;

  // "キー": the keys of the window's commands ([Keys]).
  KeyPage* keyTabSheet;
  QWidget* imageTabSheet;
  QGroupBox* imageLoadRadioGroup;
  QButtonGroup* imageLoadButtons;
  QCheckBox* imageMosaicCheckBox;
  QLabel* imageCacheLabel;
  QSpinBox* imageCacheSpinBox;
  QPushButton* imageCacheClearButton;
  QLabel* imageCacheClearLabel;

  QPushButton* okButton;
  QPushButton* cancelButton;

 private slots:
  void okButtonClick();
  void cancelButtonClick();
  void browserButtonClick();
  void defaultBrowserButtonClick();
  void bbsMenuFontButtonClick();
  void coloNewThreadButtonClick();
  void cache1CBClick();
  void imageCacheClearButtonClick();

 private:
  void BuildConfigPage();
  void BuildLookFeelPage();
  void BuildNetworkPage();
  void BuildImagePage();
  void ShowValues();
  void CollectValues();
  QLabel* SampleLabel(int tag) const;
  static void SetSampleColour(QLabel* label, Colour colour);
  static Colour SampleColour(const QLabel* label);
  static void SetFontSize(QPushButton* button, int size);

  SettingsDialogValues values_;
  DisplaySettings display_;
};

}  // namespace velkor
