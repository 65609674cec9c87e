#pragma once

// The status texts of the network transport, in CP932.

#include <string>

namespace velkor::net_text {

const std::string& ConnectTo();         // "に接続..." (after the host name)
const std::string& Connected();         // "接続しました."
const std::string& HostLookupFailed();  // "エラー:ホストアドレス取得失敗"
const std::string& SocketFailed();      // "エラー:Socket作成失敗"
const std::string& ConnectFailed();     // "エラー:サーバへの接続失敗"
const std::string& SendingRequest();    // "リクエスト送信."
const std::string& TimeoutWarning();    // "警告:タイムアウト"
const std::string& SendFailed();        // "エラー:サーバへの送信失敗"
const std::string& ReceiveFailed();     // "エラー:サーバからの受信失敗"
const std::string& Aborted();           // "中断しました."
const std::string& TimedOut();          // "タイムアウト."
const std::string& HeaderTooLarge();    // "エラー:応答ヘッダが大きすぎます"
const std::string& BodyTooLarge();      // "エラー:応答が大きすぎます"
const std::string& DecodedTooLarge();   // "エラー:展開したデータが大きすぎます"
const std::string& BadChunks();         // "エラー:分割転送の形式が不正です"
const std::string& Moved();             // "移転しています."
const std::string& NotUpdated();        // "更新されていません."
const std::string& NotChanged();        // "変更されていません."
const std::string& GzipDecoding();      // "gzipデコード..."
const std::string& GzipFailed();        // "gzipデコードに失敗."
const std::string& Ok();                // "ok."
const std::string& NoDifferential();    // "警告:差分取得できません"
const std::string& Refetching();        // "ログ詰まりのため再取得します."
const std::string& UnsupportedScheme();  // "エラー:http/https以外のURLには対応していません"
const std::string& TlsHandshakeFailed();  // "エラー:TLSハンドシェイク失敗"
const std::string& TlsTimedOut();  // "エラー:TLSハンドシェイクがタイムアウトしました"
const std::string& TlsUntrusted();  // "エラー:サーバ証明書を信頼できません"
const std::string& TlsHostMismatch();  // "エラー:サーバ証明書のホスト名が一致しません"
const std::string& BadHeader();        // "エラー:応答ヘッダが不正です"
const std::string& UnknownEncoding();  // "エラー:対応していない圧縮形式です"
const std::string& NoAnswer();  // "エラー:サーバからの応答を最後まで受け取れませんでした"
const std::string& BadRequestField();  // "エラー:リクエストのヘッダが不正です"
const std::string&
DownloadFailed();  // "エラー:ダウンロードに失敗しました (" (a number and ")" follow)

}  // namespace velkor::net_text
