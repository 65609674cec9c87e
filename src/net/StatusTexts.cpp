#include "net/StatusTexts.h"

#include "base/Sjis.h"

namespace velkor::net_text {

#define VELKOR_NET_TEXT(name, utf8)             \
  const std::string& name() {                   \
    static const std::string text = Sjis(utf8); \
    return text;                                \
  }

VELKOR_NET_TEXT(ConnectTo, "に接続...")
VELKOR_NET_TEXT(Connected, "接続しました.")
VELKOR_NET_TEXT(HostLookupFailed, "エラー:ホストアドレス取得失敗")
VELKOR_NET_TEXT(SocketFailed, "エラー:Socket作成失敗")
VELKOR_NET_TEXT(ConnectFailed, "エラー:サーバへの接続失敗")
VELKOR_NET_TEXT(SendingRequest, "リクエスト送信.")
VELKOR_NET_TEXT(TimeoutWarning, "警告:タイムアウト")
VELKOR_NET_TEXT(SendFailed, "エラー:サーバへの送信失敗")
VELKOR_NET_TEXT(ReceiveFailed, "エラー:サーバからの受信失敗")
VELKOR_NET_TEXT(Aborted, "中断しました.")
VELKOR_NET_TEXT(TimedOut, "タイムアウト.")
VELKOR_NET_TEXT(HeaderTooLarge, "エラー:応答ヘッダが大きすぎます")
VELKOR_NET_TEXT(BodyTooLarge, "エラー:応答が大きすぎます")
VELKOR_NET_TEXT(DecodedTooLarge, "エラー:展開したデータが大きすぎます")
VELKOR_NET_TEXT(BadChunks, "エラー:分割転送の形式が不正です")
VELKOR_NET_TEXT(Moved, "移転しています.")
VELKOR_NET_TEXT(NotUpdated, "更新されていません.")
VELKOR_NET_TEXT(NotChanged, "変更されていません.")
VELKOR_NET_TEXT(GzipDecoding, "gzipデコード...")
VELKOR_NET_TEXT(GzipFailed, "gzipデコードに失敗.")
VELKOR_NET_TEXT(Ok, "ok.")
VELKOR_NET_TEXT(NoDifferential, "警告:差分取得できません")
VELKOR_NET_TEXT(Refetching, "ログ詰まりのため再取得します.")
VELKOR_NET_TEXT(UnsupportedScheme, "エラー:http/https以外のURLには対応していません")
VELKOR_NET_TEXT(TlsHandshakeFailed, "エラー:TLSハンドシェイク失敗")
VELKOR_NET_TEXT(TlsTimedOut, "エラー:TLSハンドシェイクがタイムアウトしました")
VELKOR_NET_TEXT(TlsUntrusted, "エラー:サーバ証明書を信頼できません")
VELKOR_NET_TEXT(TlsHostMismatch, "エラー:サーバ証明書のホスト名が一致しません")
VELKOR_NET_TEXT(BadHeader, "エラー:応答ヘッダが不正です")
VELKOR_NET_TEXT(UnknownEncoding, "エラー:対応していない圧縮形式です")
VELKOR_NET_TEXT(NoAnswer, "エラー:サーバからの応答を最後まで受け取れませんでした")
VELKOR_NET_TEXT(BadRequestField, "エラー:リクエストのヘッダが不正です")
VELKOR_NET_TEXT(DownloadFailed, "エラー:ダウンロードに失敗しました (")

#undef VELKOR_NET_TEXT

}  // namespace velkor::net_text
