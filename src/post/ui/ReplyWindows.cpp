#include "post/ui/ReplyWindows.h"

#include <QPlainTextEdit>
#include <algorithm>

#include "boards/BoardCatalog.h"
#include "post/OwnPosts.h"
#include "post/ui/TReplyForm.h"
#include "subjects/BoardDir.h"
#include "threads/ui/ThreadTab.h"

namespace velkor {

ResultWith<std::vector<int>> ReplyWindows::OwnReplies(const std::string& boardDir,
                                                      const std::string& datName) {
  return ReadOwnPosts(boardDir, datName);
}

Outcome ReplyWindows::MarkOwnReply(const std::string& boardDir, const std::string& datName,
                                   int number, bool own) {
  return MarkOwnPost(boardDir, datName, number, own);
}

TReplyForm* ReplyWindows::Window(const std::string& boardDir, const std::string& datName) const {
  for (const QPointer<TReplyForm>& form : windows_) {
    if (!form.isNull() && form->BoardDir() == boardDir && form->DatName() == datName) {
      return form.data();
    }
  }
  return nullptr;
}

TReplyForm* ReplyWindows::Add(TReplyForm* form) {
  std::erase_if(windows_, [](const QPointer<TReplyForm>& window) { return window.isNull(); });
  windows_.emplace_back(form);
  connect(form, &TReplyForm::BoardListRefreshed, this, &ReplyWindows::BoardListRefreshed);
  return form;
}

void ReplyWindows::OpenReplyWindow(ThreadTab& tab, int replyNumber) {
  if (tab.BoardDir().empty() || tab.DatName().empty()) return;
  TReplyForm* form = Window(tab.BoardDir(), tab.DatName());
  if (form == nullptr) {
    form = Add(new TReplyForm(BoardUrlOfLogDir(tab.BoardDir()), tab.BoardDir(), tab.DatName(),
                              tab.Caption(), &tab, tab.window()));
  }
  form->show();
  form->raise();
  form->activateWindow();
  form->InsertAnchor(replyNumber);
  form->messageEdit->setFocus();
}

TReplyForm* ReplyWindows::OpenNewThreadWindow(const std::string& boardUrl, QWidget* parent) {
  const std::optional<std::string> boardDir = SafeBoardDir(boardUrl);
  if (!boardDir) return nullptr;
  TReplyForm* form = Window(*boardDir, std::string());
  if (form == nullptr) {
    form = Add(new TReplyForm(boardUrl, *boardDir, std::string(), std::string(), nullptr, parent));
  }
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

void ReplyWindows::CloseAll() {
  const std::vector<QPointer<TReplyForm>> windows = windows_;
  for (const QPointer<TReplyForm>& form : windows) {
    if (!form.isNull()) form->close();
  }
}

ReplyWindows& PostWindows() {
  static ReplyWindows windows;
  return windows;
}

}  // namespace velkor
