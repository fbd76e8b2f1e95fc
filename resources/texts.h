// The program's own Japanese texts, UTF-8 in the source. Kept in one place so
// the core, kurvane-measure and the windows say exactly the same thing.
#pragma once

namespace kurvane::texts {

// Run failures shown in the message area.
inline constexpr const char* kImageNotWanted =
    "画像ファイルの為、データを読み込みません。\r\n\r\n『画像を読み込む』をチェックしてから\r\n実行してみてください。";
inline constexpr const char* kBadAddress =
    "入力されたアドレスか、ページ上に間違ったアドレスの形式ありました。確認してみてください。";
inline constexpr const char* kSocketError = "ソケットエラー。通信の状態を確認してみてください。\r\n";
inline constexpr const char* kCannotConnect = "ネットワークに接続できません。";
inline constexpr const char* kCannotSend = "データを送信できません。";
// The error box when the image queue cannot take another entry.
inline constexpr const char* kCannotInsertLine = "行を挿入できません";

// File errors, by cause.
inline constexpr const char* kFileNotFound = "ファイルが見つかりません";
inline constexpr const char* kBadFileName = "不正なファイル名です";
inline constexpr const char* kTooManyOpenFiles = "オープンしたファイルが多すぎます";
inline constexpr const char* kAccessDenied = "ファイルへのアクセスが拒否されました";
inline constexpr const char* kIoErrorFormat = "I/O エラー (%d)";

// Start-up without the template.
inline constexpr const char* kNoTemplate = "header.cfg が読み込めません。";

// Report lines.
inline constexpr const char* kReportSent = "総送信バイト数：";
inline constexpr const char* kReportReceived = "総受信バイト数：";
inline constexpr const char* kReportTotal = "総送受信バイト数：";
inline constexpr const char* kReportGifCount = "GIF画像数：";
inline constexpr const char* kReportPackets = "パケット数：";
inline constexpr const char* kReportCharge = "利用料金：";
inline constexpr const char* kYen = "円";
inline constexpr const char* kReportNote1 = "※ここではひとつのホームページごとにパケット数を計算し";
inline constexpr const char* kReportNote2 = "　ていますが、実際には月ごとに計算されます。";
inline constexpr const char* kReportNote3 = "　したがって、実際より高く表示されることがあります。";
inline constexpr const char* kReportNote4 = "正確さを求めるのではなく、あくまでも目安としてお使いく";
inline constexpr const char* kReportNote5 = "ださい。";

// Status bar panels.
inline constexpr const char* kPanelSent = "送信： ";
inline constexpr const char* kPanelReceived = "受信： ";
inline constexpr const char* kPanelCharge = "利用料金： ";
inline constexpr const char* kPanelBytes = "Bytes";

// The windows: captions, labels, menus and message boxes.
inline constexpr const char* kAppTitle = "Kurvane";
inline constexpr const char* kForm1Caption = "Kurvaneプログラム";
inline constexpr const char* kGothicFont = "ＭＳ ゴシック";
inline constexpr const char* kPGothicFont = "ＭＳ Ｐゴシック";
inline constexpr const char* kLabel1 = "アドレス";
inline constexpr const char* kButton1 = "開始";
inline constexpr const char* kGroupBox2 = "設定";
inline constexpr const char* kCheckBox1 = "画像(gif)を読込む";
inline constexpr const char* kLabel4 = "パケットサイズ：";
inline constexpr const char* kLabel5 = "バイト";
inline constexpr const char* kLabel2 = "ポート番号：";
inline constexpr const char* kLabel3 = "パケット単価：";
inline constexpr const char* kGroupBox1 = "メッセージ";
inline constexpr const char* kIntroLine1 = "アドレスを入力したら、『開始』ボタンを押してください。";
inline constexpr const char* kIntroLine3 = "また、コロン（:）を使って、ポート番号を指定しないでく";
inline constexpr const char* kIntroLine4 = "ださい。";
inline constexpr const char* kFile1 = "ファイル(&F)";
inline constexpr const char* kExit1 = "終了(&X)";
inline constexpr const char* kTools1 = "ツール(&T)";
inline constexpr const char* kCounter1 = "カウンター(&C)";
inline constexpr const char* kReset1 = "カウンターリセット(&R)";
inline constexpr const char* kN2 = "ヘッダー編集(&H)...";
inline constexpr const char* kHelp1 = "ヘルプ(&H)";
inline constexpr const char* kAbout1 = "バージョン情報(&A)...";
inline constexpr const char* kAboutText = "Kurvaneプログラム Version 1.0";
inline constexpr const char* kInformationCaption = "情報";
inline constexpr const char* kWarningCaption = "警告";
inline constexpr const char* kOkButton = "OK";
inline constexpr const char* kYesButton = "はい(&Y)";
inline constexpr const char* kNoButton = "いいえ(&N)";
inline constexpr const char* kResetQuestion = "カウンターをリセットします。\rよろしいですか？";

// The template editor.
inline constexpr const char* kForm2Caption = "ヘッダー編集";
inline constexpr const char* kSaveButton = "保存";
inline constexpr const char* kCancelButton = "キャンセル";
inline constexpr const char* kInsertUriButton = "接続先のURIを挿入";
inline constexpr const char* kInsertHostButton = "接続先のホスト名を挿入";
inline constexpr const char* kTrimOnSave = "保存時に文末の空白およびCRLFを取り除く";
inline constexpr const char* kResourcePlaceholder = "&Resource&";
inline constexpr const char* kHostAndPortPlaceholder = "&HostandPort&";

}  // namespace kurvane::texts
