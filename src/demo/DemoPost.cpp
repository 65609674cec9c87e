#include "demo/DemoPost.h"

#include <algorithm>
#include <cstdio>

#include "base/Integer.h"
#include "base/Sjis.h"
#include "demo/DemoServer.h"

namespace velkor::demo {
namespace {

// The fields a post form carries, in the order the confirmation page sends them back.
constexpr std::string_view kFormFields[] = {"bbs",  "key",     "time",   "FROM",
                                            "mail", "MESSAGE", "subject"};

// FNV-1a: the demo's tickets, IDs and form tokens need to be stable, not secret.
unsigned long long Hash(std::string_view text) {
  unsigned long long h = 0xCBF29CE484222325ull;
  for (char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001B3ull;
  }
  return h;
}

std::string Hex(unsigned long long value) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", value);
  return text;
}

std::string Field(const std::vector<std::pair<std::string, std::string>>& fields,
                  std::string_view name, bool* present = nullptr) {
  for (const auto& [key, value] : fields) {
    if (key == name) {
      if (present) *present = true;
      return value;
    }
  }
  if (present) *present = false;
  return std::string();
}

bool IsTrailByte(char c) {
  auto b = static_cast<unsigned char>(c);
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The text without lead bytes that lack their second byte (a reader would take the next byte,
// perhaps the "<" of a dat field separator, as their second).
std::string WholeCharacters(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsLeadByte(text[i])) {
      out += text[i];
    } else if (i + 1 < text.size() && IsTrailByte(text[i + 1])) {
      out += text.substr(i++, 2);
    }
  }
  return out;
}

// A field as it goes into a dat line: "<", ">" and '"' as entities ("&" stays, so character
// references survive), zero bytes dropped; line breaks become " <br> " in a message and are
// dropped elsewhere. Two-byte characters pass whole.
std::string DatText(std::string_view text, bool message) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out += text.substr(i++, 2);
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (c == '\r' || c == '\n') {
      bool pair = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
      if (message && !pair) out += " <br> ";
    } else if (c != '\0') {
      out += c;
    }
  }
  return out;
}

// A value inside a double-quoted HTML attribute, line breaks kept as character references (a
// parser would fold a raw CR LF).
std::string AttributeText(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\n':
        out += "&#10;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::size_t LineCount(std::string_view text) {
  std::size_t lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
      ++lines;
    }
  }
  return lines;
}

// The poster's ID on a board for the Japan day of `now`: 8 characters and "0".
std::string PosterId(std::string_view ticket, std::string_view board, long long now) {
  static constexpr std::string_view kChars =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  long long day = (now + 9 * 3600) / (24 * 3600);
  unsigned long long h =
      Hash(std::string(ticket) + "|" + std::string(board) + "|" + std::to_string(day));
  std::string id;
  for (int i = 0; i < 8; ++i, h >>= 6) id += kChars[h & 63];
  return id + "0";
}

// The token the confirmation form carries: it binds the cookie to the fields as first sent.
std::string FormToken(std::string_view ticket,
                      const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string text(ticket);
  for (std::string_view name : kFormFields) {
    bool present = false;
    std::string value = Field(fields, name, &present);
    if (present) text += "\n" + std::string(name) + "=" + value;
  }
  return Hex(Hash(text));
}

std::string PageHead(std::string_view kind, std::string_view title) {
  return "<html lang=\"ja\">\n<!-- 2ch_X:" + std::string(kind) + " -->\n<head>\n<title>" +
         std::string(title) +
         "</title>\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
         "charset=Shift_JIS\">\n</head>\n";
}

DemoPostAnswer ErrorPage(std::string_view reason) {
  static const std::string title = Sjis("ＥＲＲＯＲ！");
  return {"", PageHead("error", title) + "<body>\n<b>" + Sjis("ERROR: ") + std::string(reason) +
                  "</b><br>\n<br>\n" + Sjis("ブラウザの戻るボタンで戻ってください。") +
                  "<br>\n</body>\n</html>\n"};
}

}  // namespace

DemoPostAnswer DemoPost::Answer(const DemoRequest& request, long long now) {
  static const std::string kBadForm = Sjis("フォーム情報が正しくありません。");
  std::string contentType = AsciiLowerCopy(request.Header("Content-Type").value_or(""));
  if (contentType.rfind("application/x-www-form-urlencoded", 0) != 0) return ErrorPage(kBadForm);
  if (request.Header("User-Agent").value_or("").rfind("Monazilla/", 0) != 0) {
    return ErrorPage(Sjis("専用ブラウザ以外からは書き込めません。"));
  }
  std::string scheme = network_.Scheme() + "://";
  if (request.Header("Referer").value_or("").rfind(scheme, 0) != 0) {
    return ErrorPage(Sjis("投稿データが壊れています。"));
  }
  auto fields = DemoRequest::FormFields(request.Body());
  for (auto& field : fields) field.second = WholeCharacters(field.second);
  const std::string bbs = Field(fields, "bbs");
  const DemoBoardSettings* settings = network_.Settings(request.Host(), bbs);
  if (!settings) return ErrorPage(Sjis("板情報が正しくありません。"));
  auto time = ParseInteger(Field(fields, "time"), 0, now, IntegerSyntax::kDigits);
  if (!time || *time < now - kMaxFormAge) {
    return ErrorPage(Sjis("時刻情報が正しくありません。ページを読み込み直してください。"));
  }

  bool hasKey = false;
  const std::string keyText = Field(fields, "key", &hasKey);
  const std::string subject = Field(fields, "subject");
  long long key = 0;
  if (hasKey) {
    auto parsed = ParseInteger(keyText, 1, 99999999999LL, IntegerSyntax::kDigits);
    switch (parsed ? network_.ThreadState(bbs, *parsed) : DemoThreadState::kMissing) {
      case DemoThreadState::kMissing:
        return ErrorPage(Sjis("該当するスレッドは存在しません。"));
      case DemoThreadState::kArchived:
        return ErrorPage(Sjis("このスレッドは過去ログ倉庫に格納されています。"));
      case DemoThreadState::kFull:
        return ErrorPage(Sjis("このスレッドは1000を超えました。新しいスレッドを立ててください。"));
      case DemoThreadState::kOpen:
        key = *parsed;
        break;
    }
  } else if (TrimView(subject).empty()) {
    return ErrorPage(Sjis("サブジェクトが存在しません！"));
  } else if (subject.size() > static_cast<std::size_t>(settings->subjectCount)) {
    return ErrorPage(Sjis("サブジェクトが長すぎます！"));
  }
  const std::string name = Field(fields, "FROM");
  const std::string mail = Field(fields, "mail");
  const std::string message = Field(fields, "MESSAGE");
  if (TrimView(message).empty()) return ErrorPage(Sjis("本文がありません！"));
  if (message.size() > static_cast<std::size_t>(settings->messageCount)) {
    return ErrorPage(Sjis("本文が長すぎます！"));
  }
  if (LineCount(message) > static_cast<std::size_t>(2 * settings->lineNumber)) {
    return ErrorPage(Sjis("改行が多すぎます！"));
  }
  if (name.size() > static_cast<std::size_t>(settings->nameCount)) {
    return ErrorPage(Sjis("名前が長すぎます！"));
  }
  if (mail.size() > static_cast<std::size_t>(settings->mailCount)) {
    return ErrorPage(Sjis("メール欄が長すぎます！"));
  }

  std::string ticket = request.Cookie("MonaTicket").value_or("");
  auto poster = posters_.find(ticket);
  if (poster == posters_.end() || request.Cookie("acorn") != poster->second.acorn) {
    ++issued_;
    ticket = Hex(Hash("MonaTicket " + std::to_string(issued_) + " " + std::to_string(now)));
    std::string acorn = Hex(Hash("acorn " + ticket));
    posters_[ticket] = Poster{acorn, 0};
    std::string host = request.Host();
    std::string domain = host.substr(std::min(host.find('.'), host.size()));
    std::string attributes =
        "; expires=" + HttpDate(now + kCookieLifetime) + "; path=/; domain=" + domain + "\r\n";
    std::string form = "<form method=\"POST\" action=\"../test/bbs.cgi?guid=ON\">\n";
    for (std::string_view field : kFormFields) {
      bool present = false;
      std::string value = Field(fields, field, &present);
      if (!present) continue;
      form += "<input type=\"hidden\" name=\"" + std::string(field) + "\" value=\"" +
              AttributeText(value) + "\">\n";
    }
    form +=
        "<input type=\"hidden\" name=\"feature\" value=\"confirmed:" + FormToken(ticket, fields) +
        "\">\n<input type=\"submit\" value=\"" + Sjis("上記全てを承諾して書き込む") +
        "\" name=\"submit\">\n</form>\n";
    static const std::string title = Sjis("■ 書き込み確認 ■");
    static const std::string text = Sjis(
        "<font size=\"+1\" color=\"#FF0000\"><b>書きこみ＆クッキー確認</b></font><br>\n<br>\n"
        "・投稿者は、投稿に関して発生する責任が全て投稿者に帰すことを承諾します。<br>\n"
        "・投稿者は、話題と無関係な広告の投稿に関して、相応の費用を支払うことを承諾します。<br>\n"
        "・投稿者は、投稿された内容について、掲示板運営者がコピー、保存、引用、転載等の利用"
        "することを許諾します。<br>\n<br>\n");
    return {
        "Set-Cookie: MonaTicket=" + ticket + attributes + "Set-Cookie: acorn=" + acorn + attributes,
        PageHead("cookie", title) + "<body>\n" + text + form + "</body>\n</html>\n"};
  }
  bool confirmed = false;
  std::string feature = Field(fields, "feature", &confirmed);
  if (confirmed && feature != "confirmed:" + FormToken(ticket, fields)) {
    return ErrorPage(kBadForm);
  }
  if (interval_ > 0 && poster->second.lastPost > 0 && now - poster->second.lastPost < interval_) {
    return ErrorPage(Sjis("連続投稿ですか？？ ") +
                     std::to_string(interval_ - (now - poster->second.lastPost)) +
                     Sjis("秒待ってください。"));
  }

  std::string shownName = name.empty() ? settings->noName : DatText(name, false);
  std::string title = hasKey ? std::string() : DatText(subject, false);
  std::string line = shownName + "<>" + DatText(mail, false) + "<>" +
                     DemoDate(now, static_cast<int>(Hash(ticket + std::to_string(now)) % 100)) +
                     " ID:" + PosterId(ticket, bbs, now) + "<> " + DatText(message, true) + " <>" +
                     title + "\n";
  int number = 1;
  if (hasKey) {
    number = network_.AppendReply(bbs, key, line, mail.find("sage") == std::string::npos, now);
  } else {
    network_.StartThread(bbs, title, line, now);
  }
  poster->second.lastPost = now;
  static const std::string done = Sjis(
      "<body>書きこみが終わりました。<br><br>\n"
      "画面を切り替えるまでしばらくお待ち下さい。<br><br>\n</body>\n</html>\n");
  static const std::string posted = Sjis("書きこみました。");
  return {"x-Resnum: " + std::to_string(number) + "\r\n", PageHead("true", posted) + done};
}

}  // namespace velkor::demo
