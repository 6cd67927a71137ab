<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>CKorvidAppDlg</name>
    <message>
        <source>Backup Files</source>
        <translation>ファイルのバックアップ</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>ヘルプ</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation>最大化</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Frame Back</source>
        <translation>コマ戻し</translation>
    </message>
    <message>
        <source>Rewind</source>
        <translation>巻き戻し</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Fast Forward</source>
        <translation>早送り</translation>
    </message>
    <message>
        <source>Frame Forward</source>
        <translation>コマ送り</translation>
    </message>
    <message>
        <source>Change Video Ratio</source>
        <translation>表示サイズの切り替え</translation>
    </message>
    <message>
        <source>Recover Index File</source>
        <translation>インデックスファイルの復旧</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>ファイルを開く</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>フォルダを開く</translation>
    </message>
    <message>
        <source>Assign Start Point</source>
        <translation>開始点の指定</translation>
    </message>
    <message>
        <source>Assign End Point</source>
        <translation>終了点の指定</translation>
    </message>
    <message>
        <source>Export Movie Clip</source>
        <translation>動画の書き出し</translation>
    </message>
    <message>
        <source>Export Still Image</source>
        <translation>静止画の書き出し</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>プレビュー</translation>
    </message>
    <message>
        <source>Filter A(Alarm)</source>
        <translation>フィルター A(アラーム)</translation>
    </message>
    <message>
        <source>Filter M(Motion)</source>
        <translation>フィルター M(モーション)</translation>
    </message>
    <message>
        <source>Filter E(Emergency)</source>
        <translation>フィルター E(緊急)</translation>
    </message>
    <message>
        <source>Filter T(Time)</source>
        <translation>フィルター T(タイマー)</translation>
    </message>
    <message>
        <source>No Template File</source>
        <translation>テンプレートファイルがありません</translation>
    </message>
    <message>
        <source>Back to Original Size</source>
        <translation>元のサイズに戻す</translation>
    </message>
    <message>
        <source>Do you want to exit?</source>
        <translation>終了しますか？</translation>
    </message>
    <message>
        <source>Video is not opened.</source>
        <translation>ビデオが開かれていません。</translation>
    </message>
    <message>
        <source>Available only while playing video</source>
        <translation>ビデオの再生中のみ使用できます</translation>
    </message>
    <message>
        <source>The skin picture %1 cannot be read.</source>
        <translation>スキン画像 %1 を読み込めません。</translation>
    </message>
    <message>
        <source>In order to restore index file,
please open the target folder first.</source>
        <translation>インデックスファイルを復旧するには、
先に対象のフォルダを開いてください。</translation>
    </message>
    <message>
        <source>Index Recovery Completed (%1 files)</source>
        <translation>インデックスの復旧が完了しました (%1 ファイル)</translation>
    </message>
    <message>
        <source>Left out:</source>
        <translation>除外したファイル:</translation>
    </message>
    <message>
        <source>Please choose a folder</source>
        <translation>フォルダを選択してください</translation>
    </message>
    <message>
        <source>QMR3 Video File</source>
        <translation>QMR3 ビデオファイル</translation>
    </message>
    <message>
        <source>QMR3 Files (*.qmr3)</source>
        <translation>QMR3 ファイル (*.qmr3)</translation>
    </message>
    <message>
        <source>No recording found in %1</source>
        <translation>%1 に録画がありません</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... ほか %1 件</translation>
    </message>
    <message>
        <source>Read Video List</source>
        <translation>録画リストを読み込み中</translation>
    </message>
    <message>
        <source>Read Video Info</source>
        <translation>録画情報を読み込み中</translation>
    </message>
    <message>
        <source>This function is not available in this version.</source>
        <translation>この機能はこのバージョンでは使用できません。</translation>
    </message>
    <message>
        <source>No video selected</source>
        <translation>ビデオが選択されていません</translation>
    </message>
    <message>
        <source>Preparing Preview...</source>
        <translation>プレビューを準備中...</translation>
    </message>
    <message>
        <source>The temporary folder %1 cannot be written.</source>
        <translation>一時フォルダ %1 に書き込めません。</translation>
    </message>
    <message>
        <source>The picture on screen cannot be taken.</source>
        <translation>表示中の画像を取得できません。</translation>
    </message>
    <message>
        <source>No later event</source>
        <translation>これより後のイベントはありません</translation>
    </message>
    <message>
        <source>No earlier event</source>
        <translation>これより前のイベントはありません</translation>
    </message>
    <message>
        <source>Next event (E) / Previous event (Shift+E)</source>
        <translation>次のイベント (E) / 前のイベント (Shift+E)</translation>
    </message>
</context>
<context>
    <name>CPlaybackController</name>
    <message>
        <source>Video file is not prepareed.</source>
        <translation>ビデオファイルの準備ができていません。</translation>
    </message>
    <message>
        <source>Playing Video..</source>
        <translation>ビデオを再生中..</translation>
    </message>
    <message>
        <source>The QMR3 file is corrupted!</source>
        <translation>QMR3 ファイルが破損しています!</translation>
    </message>
    <message>
        <source>Invalid Start Position.</source>
        <translation>開始位置が正しくありません。</translation>
    </message>
    <message>
        <source>The recording %1 cannot be read.</source>
        <translation>録画 %1 を読み込めません。</translation>
    </message>
    <message>
        <source>The recording %1 cannot be played.</source>
        <translation>録画 %1 を再生できません。</translation>
    </message>
    <message>
        <source>Event %1</source>
        <translation>イベント %1</translation>
    </message>
</context>
<context>
    <name>CSetupDialog</name>
    <message>
        <source>Setup</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Show Motion Area</source>
        <translation>モーション発生の表示</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>表示</translation>
    </message>
    <message>
        <source>Read Event Information</source>
        <translation>イベントデータの読込</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>読込</translation>
    </message>
    <message>
        <source>Version : </source>
        <translation>バージョン : </translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Play on into the next recording</source>
        <translation>次の録画へ続けて再生</translation>
    </message>
    <message>
        <source>Play on</source>
        <translation>続けて再生</translation>
    </message>
</context>
<context>
    <name>CThumbnailCtrl</name>
    <message>
        <source>pcs</source>
        <translation>個</translation>
    </message>
    <message>
        <source>File Information</source>
        <translation>ファイル情報</translation>
    </message>
    <message>
        <source>Total Number of Files</source>
        <translation>総ファイル数</translation>
    </message>
    <message>
        <source>Total Memory Size</source>
        <translation>総容量</translation>
    </message>
    <message>
        <source>Total Recording Time</source>
        <translation>総録画時間</translation>
    </message>
    <message>
        <source>Total Recording Period</source>
        <translation>総録画期間</translation>
    </message>
    <message>
        <source>day(s)</source>
        <translation>日</translation>
    </message>
    <message>
        <source>Start Time</source>
        <translation>開始時刻</translation>
    </message>
    <message>
        <source>Finish Time</source>
        <translation>終了時刻</translation>
    </message>
    <message>
        <source>Event Information (File Count)</source>
        <translation>イベント情報 (ファイル数)</translation>
    </message>
    <message>
        <source>m</source>
        <translation>分</translation>
    </message>
    <message>
        <source>s</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>Damaged</source>
        <translation>破損</translation>
    </message>
    <message>
        <source>Loading...</source>
        <translation>読み込み中...</translation>
    </message>
    <message>
        <source>No recordings for this filter</source>
        <translation>このフィルタに該当する録画はありません</translation>
    </message>
    <message>
        <source>No recordings opened</source>
        <translation>録画が開かれていません</translation>
    </message>
    <message>
        <source>Preparing Pictures (%1/%2)</source>
        <translation>画像を準備中 (%1/%2)</translation>
    </message>
</context>
<context>
    <name>CAsyncFrameGrabber</name>
    <message>
        <source>ffmpeg was not found next to the program or on the PATH; pictures of recordings cannot be made.</source>
        <translation>ffmpeg がプログラムのフォルダにも PATH にも見つかりません。録画の画像を作成できません。</translation>
    </message>
</context>
<context>
    <name>CPreviewVideoCtrl</name>
    <message>
        <source>Prepare Previews</source>
        <translation>プレビューを準備中</translation>
    </message>
    <message>
        <source>Preparing (%1/%2)</source>
        <translation>準備中 (%1/%2)</translation>
    </message>
    <message>
        <source>Interval : 1 Sec</source>
        <translation>間隔 : 1 秒</translation>
    </message>
    <message>
        <source>Interval : 2 Sec</source>
        <translation>間隔 : 2 秒</translation>
    </message>
    <message>
        <source>Interval : 3 Sec</source>
        <translation>間隔 : 3 秒</translation>
    </message>
    <message>
        <source>Interval : 5 Sec</source>
        <translation>間隔 : 5 秒</translation>
    </message>
    <message>
        <source>Interval : 10 Sec</source>
        <translation>間隔 : 10 秒</translation>
    </message>
    <message>
        <source>Interval : 20 Sec</source>
        <translation>間隔 : 20 秒</translation>
    </message>
    <message>
        <source>Interval : 30 Sec</source>
        <translation>間隔 : 30 秒</translation>
    </message>
    <message>
        <source>Interval : 60 Sec</source>
        <translation>間隔 : 60 秒</translation>
    </message>
    <message>
        <source>First Page</source>
        <translation>最初のページ</translation>
    </message>
    <message>
        <source>Previous Page</source>
        <translation>前のページ</translation>
    </message>
    <message>
        <source>Previous Frame</source>
        <translation>前のフレーム</translation>
    </message>
    <message>
        <source>Next Frame</source>
        <translation>次のフレーム</translation>
    </message>
    <message>
        <source>Next Page</source>
        <translation>次のページ</translation>
    </message>
    <message>
        <source>Last Page</source>
        <translation>最後のページ</translation>
    </message>
    <message>
        <source>Auto Preview</source>
        <translation>自動プレビュー</translation>
    </message>
    <message>
        <source>Preview Speed : 1 Sec</source>
        <translation>プレビュー速度 : 1 秒</translation>
    </message>
    <message>
        <source>Preview Speed : 2 Sec</source>
        <translation>プレビュー速度 : 2 秒</translation>
    </message>
    <message>
        <source>Preview Speed : 3 Sec</source>
        <translation>プレビュー速度 : 3 秒</translation>
    </message>
    <message>
        <source>Preview Speed : 5 Sec</source>
        <translation>プレビュー速度 : 5 秒</translation>
    </message>
    <message>
        <source>Back to Preview</source>
        <translation>プレビューに戻る</translation>
    </message>
    <message>
        <source>Play Video</source>
        <translation>ビデオを再生</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>戻る</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>No pictures in this recording</source>
        <translation>この録画には画像がありません</translation>
    </message>
</context>
<context>
    <name>CExportImageDlg</name>
    <message>
        <source>Export Still Image</source>
        <translation>静止画の書き出し</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Save as JPEG file</source>
        <translation>JPEG ファイルとして保存</translation>
    </message>
    <message>
        <source>Show the caption in the preview</source>
        <translation>キャプションをプレビューに表示</translation>
    </message>
    <message>
        <source>Original Size</source>
        <translation>元のサイズ</translation>
    </message>
    <message>
        <source>There is no picture to save.</source>
        <translation>保存する画像がありません。</translation>
    </message>
    <message>
        <source>The JPEG picture could not be written.</source>
        <translation>JPEG 画像を書き込めませんでした。</translation>
    </message>
    <message>
        <source>Save Still Image</source>
        <translation>静止画の保存</translation>
    </message>
    <message>
        <source>JPEG file</source>
        <translation>JPEG ファイル</translation>
    </message>
    <message>
        <source>All Files</source>
        <translation>すべてのファイル</translation>
    </message>
    <message>
        <source>The still image could not be saved to %1.</source>
        <translation>静止画を %1 に保存できませんでした。</translation>
    </message>
</context>
<context>
    <name>CHelpDlg</name>
    <message>
        <source>Korvid Help</source>
        <translation>Korvid ヘルプ</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>The help book cannot be found in %1.
Please install Korvid again to get it back.</source>
        <translation>ヘルプが見つかりません (%1)。
Korvid をインストールし直してください。</translation>
    </message>
    <message>
        <source>help.ini file can&apos;t be opened</source>
        <translation>help.ini ファイルを開けません</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... ほか %1 件</translation>
    </message>
    <message>
        <source>Some entries of the help book could not be read and were left out:</source>
        <translation>ヘルプの次の項目は読み込めなかったため省きました:</translation>
    </message>
</context>
<context>
    <name>CHelpCtrl</name>
    <message>
        <source>The page image %1 of &quot;%2&quot; is missing.</source>
        <translation>「%2」のページ画像 %1 がありません。</translation>
    </message>
</context>
<context>
    <name>CExportAviDlg</name>
    <message>
        <source>Export Movie Clip</source>
        <translation>動画の書き出し</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>書き出し</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>形式</translation>
    </message>
    <message>
        <source>Bit rate</source>
        <translation>ビットレート</translation>
    </message>
</context>
<context>
    <name>CAviConvertDlg</name>
    <message>
        <source>Stop</source>
        <translation>中止</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>AVI Conversion</source>
        <translation>AVI 変換</translation>
    </message>
    <message>
        <source>Exporting Avi file....</source>
        <translation>AVI ファイルを書き出しています....</translation>
    </message>
    <message>
        <source>AVI Export Progressing</source>
        <translation>AVI 書き出し中</translation>
    </message>
    <message>
        <source>The clip could not be exported: %1</source>
        <translation>動画を書き出せませんでした: %1</translation>
    </message>
    <message>
        <source>unknown format</source>
        <translation>不明な形式</translation>
    </message>
    <message>
        <source>AVI Export Finished</source>
        <translation>AVI 書き出し完了</translation>
    </message>
    <message>
        <source>Converting to WMV...</source>
        <translation>WMV に変換中...</translation>
    </message>
    <message>
        <source>Converting to MP4...</source>
        <translation>MP4 に変換中...</translation>
    </message>
    <message>
        <source>ffmpeg could not be started: %1</source>
        <translation>ffmpeg を起動できませんでした: %1</translation>
    </message>
    <message>
        <source>The clip is shorter than the range: %1</source>
        <translation>動画は範囲より短くなりました: %1</translation>
    </message>
    <message>
        <source>The export was stopped; no file was written.</source>
        <translation>書き出しを中止しました。ファイルは作成されていません。</translation>
    </message>
</context>
<context>
    <name>VideoExport</name>
    <message>
        <source>Please determine range for export.</source>
        <translation>書き出す範囲を指定してください。</translation>
    </message>
    <message>
        <source>The start and the end of the range are the same second. Move one of them first.</source>
        <translation>範囲の開始と終了が同じ秒です。どちらかを動かしてください。</translation>
    </message>
    <message>
        <source>Export Movie Clip</source>
        <translation>動画の書き出し</translation>
    </message>
</context>
<context>
    <name>CPanelDayTimeline</name>
    <message>
        <source>Click to play the recording at that time; the wheel zooms in to one hour</source>
        <translation>クリックでその時刻の録画を再生します。ホイールで1時間まで拡大します</translation>
    </message>
    <message>
        <source>24 hours</source>
        <translation>24時間</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 時間</translation>
    </message>
</context>
<context>
    <name>CBackupDlg</name>
    <message>
        <source>Backup Files</source>
        <translation>バックアップ</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Previous page</source>
        <translation>前のページ</translation>
    </message>
    <message>
        <source>Next page</source>
        <translation>次のページ</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>すべて選択</translation>
    </message>
    <message>
        <source>Remove All</source>
        <translation>すべて解除</translation>
    </message>
    <message>
        <source>Select Marked</source>
        <translation>マーク分を選択</translation>
    </message>
    <message>
        <source>Choose Folder</source>
        <translation>フォルダ選択</translation>
    </message>
    <message>
        <source>Format:QMR3</source>
        <translation>フォーマット:QMR3</translation>
    </message>
    <message>
        <source>Format:AVI</source>
        <translation>フォーマット:AVI</translation>
    </message>
    <message>
        <source>Format:WMV</source>
        <translation>フォーマット:WMV</translation>
    </message>
    <message>
        <source>Merge:Yes</source>
        <translation>結合:する</translation>
    </message>
    <message>
        <source>Merge:No </source>
        <translation>結合:しない</translation>
    </message>
    <message>
        <source>Please choose a folder</source>
        <translation>フォルダを選択してください</translation>
    </message>
    <message>
        <source>Backup is ongoing.</source>
        <translation>バックアップ中です。</translation>
    </message>
    <message>
        <source>Backup to </source>
        <translation>バックアップ先 </translation>
    </message>
    <message>
        <source>Please choose files.</source>
        <translation>ファイルを選択してください。</translation>
    </message>
    <message>
        <source>The folder %1 cannot be created.</source>
        <translation>フォルダ %1 を作成できません。</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>中止</translation>
    </message>
    <message>
        <source>Do you want to stop backup?</source>
        <translation>バックアップ中です。中断しますか？</translation>
    </message>
    <message>
        <source>Backup Completed</source>
        <translation>バックアップが完了しました</translation>
    </message>
    <message>
        <source>Backup Stopped</source>
        <translation>バックアップを中断しました</translation>
    </message>
    <message>
        <source>Backup Failed</source>
        <translation>バックアップに失敗しました</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... ほか %1 件</translation>
    </message>
    <message>
        <source>Backed up (%1):</source>
        <translation>バックアップ済み (%1):</translation>
    </message>
    <message>
        <source>Already in the folder with the same contents (%1):</source>
        <translation>同じ内容のファイルが既にあります (%1):</translation>
    </message>
    <message>
        <source>Skipped, a different file of that name is kept (%1):</source>
        <translation>スキップ (同名の別のファイルを残しました) (%1):</translation>
    </message>
    <message>
        <source>Failed (%1):</source>
        <translation>失敗 (%1):</translation>
    </message>
    <message>
        <source>Written with warnings (%1):</source>
        <translation>警告付きで書き出し (%1):</translation>
    </message>
    <message>
        <source>%1 already exists and is not the same as the new file.

Replace it, keep both (the new file gets a numbered name) or skip this one?</source>
        <translation>%1 は既に存在し、新しいファイルと内容が異なります。

置き換える、両方残す (新しいファイルに番号付きの名前を付けます)、またはスキップを選んでください。</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>置き換える</translation>
    </message>
    <message>
        <source>Keep both</source>
        <translation>両方残す</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>スキップ</translation>
    </message>
    <message>
        <source>Exporting</source>
        <translation>書き出し中</translation>
    </message>
    <message>
        <source>Merging</source>
        <translation>結合中</translation>
    </message>
    <message>
        <source>Converting to WMV</source>
        <translation>WMV に変換中</translation>
    </message>
</context>
</TS>
