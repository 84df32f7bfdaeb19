<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>Devices</name>
    <message>
        <source>You have been added to the group %1 since this login began: log out and in again so that it counts.</source>
        <translation>このログインの開始後にグループ %1 に追加されています。反映させるには、いったんログアウトしてから再度ログインしてください。</translation>
    </message>
    <message>
        <source>It belongs to the group %1, which you are not in. Join it with
    sudo usermod -aG %1 $USER
then log out and in again: a new login is needed for the group to count.</source>
        <extracomment>The second line is a command to type: only &quot;%1&quot; in it changes.</extracomment>
        <translation>このデバイスはグループ %1 に属していますが、あなたはこのグループのメンバーではありません。次のコマンドでグループに参加し、
    sudo usermod -aG %1 $USER
その後いったんログアウトしてから再度ログインしてください。グループを反映させるには新しいログインが必要です。</translation>
    </message>
    <message>
        <source>Another program holds it (one this user cannot see, or one that has let go since).</source>
        <translation>別のプログラムが使用しています（このユーザーからは見えないプログラムか、その後すでに解放したプログラムです）。</translation>
    </message>
    <message>
        <source>a program</source>
        <translation>プログラム</translation>
    </message>
    <message>
        <source>%1 (pid %2)</source>
        <extracomment>A program that holds the device: its name and process id.</extracomment>
        <translation>%1 (PID %2)</translation>
    </message>
    <message>
        <source>, </source>
        <extracomment>Between the programs that hold the device.</extracomment>
        <translation>、</translation>
    </message>
    <message>
        <source>Held by %1.</source>
        <translation>%1 が使用しています。</translation>
    </message>
    <message>
        <source>ModemManager probes new USB serial devices and lets go after a while; to keep it away from this adapter, give it ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot; in a udev rule.</source>
        <translation>ModemManager は新しい USB シリアルデバイスを調べ、しばらくすると解放します。このアダプターに触れさせないようにするには、udev ルールで ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot; を指定してください。</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <translation>デバイス: %1</translation>
    </message>
    <message>
        <source>Device: %1 (%2)</source>
        <extracomment>The device&apos;s path and the node it leads to.</extracomment>
        <translation>デバイス: %1 (%2)</translation>
    </message>
    <message>
        <source>%1 is not there</source>
        <translation>%1 が存在しません</translation>
    </message>
    <message>
        <source>%1 leads to a path, which is not there</source>
        <translation>%1 のリンク先が存在しません</translation>
    </message>
    <message>
        <source>%1 leads to %2, which is not there</source>
        <extracomment>%1 is a link, %2 the path it leads to.</extracomment>
        <translation>%1 のリンク先 %2 が存在しません</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a regular file)</source>
        <translation>%1 はシリアルデバイスではありません（通常のファイル）</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a folder)</source>
        <translation>%1 はシリアルデバイスではありません（フォルダー）</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a named pipe)</source>
        <translation>%1 はシリアルデバイスではありません（名前付きパイプ）</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a socket)</source>
        <translation>%1 はシリアルデバイスではありません（ソケット）</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a block device)</source>
        <translation>%1 はシリアルデバイスではありません（ブロックデバイス）</translation>
    </message>
    <message>
        <source>%1 is not a serial device</source>
        <translation>%1 はシリアルデバイスではありません</translation>
    </message>
    <message>
        <source>%1 is a terminal that is not ready yet</source>
        <translation>%1 はまだ準備ができていない端末です</translation>
    </message>
    <message>
        <source>USB serial adapter</source>
        <translation>USB シリアルアダプター</translation>
    </message>
    <message>
        <source>pseudo-terminal</source>
        <translation>疑似端末</translation>
    </message>
    <message>
        <source>%1 driver</source>
        <extracomment>%1 is the kernel driver&apos;s name, such as serial8250.</extracomment>
        <translation>%1 ドライバー</translation>
    </message>
    <message>
        <source>no driver known</source>
        <translation>ドライバー不明</translation>
    </message>
</context>
<context>
    <name>PortErrors</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>File not found</source>
        <translation>ファイルが見つかりません</translation>
    </message>
    <message>
        <source>Path not found</source>
        <translation>パスが見つかりません</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>開いているファイルが多すぎます</translation>
    </message>
    <message>
        <source>File access denied</source>
        <translation>ファイルへのアクセスが拒否されました</translation>
    </message>
    <message>
        <source>Invalid file handle</source>
        <translation>無効なファイルハンドルです</translation>
    </message>
    <message>
        <source>Insufficient memory</source>
        <translation>メモリが不足しています</translation>
    </message>
    <message>
        <source>Invalid drive</source>
        <translation>無効なドライブです</translation>
    </message>
    <message>
        <source>No more files</source>
        <translation>これ以上ファイルはありません</translation>
    </message>
    <message>
        <source>Attempt to read beyond end of file</source>
        <translation>ファイルの終わりを越えて読み取ろうとしました</translation>
    </message>
    <message>
        <source>Disk is full</source>
        <translation>ディスクがいっぱいです</translation>
    </message>
    <message>
        <source>File/device not assigned</source>
        <translation>ファイル/デバイスが割り当てられていません</translation>
    </message>
    <message>
        <source>File/device not open</source>
        <translation>ファイル/デバイスが開かれていません</translation>
    </message>
    <message>
        <source>File/device not open for input</source>
        <translation>ファイル/デバイスが入力用に開かれていません</translation>
    </message>
    <message>
        <source>File/device not open for output</source>
        <translation>ファイル/デバイスが出力用に開かれていません</translation>
    </message>
    <message>
        <source>Disk is write-protected</source>
        <translation>ディスクが書き込み禁止になっています</translation>
    </message>
    <message>
        <source>Unknown disk unit</source>
        <translation>不明なディスクユニットです</translation>
    </message>
    <message>
        <source>Drive is not ready</source>
        <translation>ドライブの準備ができていません</translation>
    </message>
    <message>
        <source>Unknown command</source>
        <translation>不明なコマンドです</translation>
    </message>
    <message>
        <source>Data error</source>
        <translation>データエラー</translation>
    </message>
    <message>
        <source>Bad request structure length</source>
        <translation>要求構造体の長さが正しくありません</translation>
    </message>
    <message>
        <source>Seek error</source>
        <translation>シークエラー</translation>
    </message>
    <message>
        <source>Unknown media type</source>
        <translation>不明なメディアの種類です</translation>
    </message>
    <message>
        <source>Disk sector not found</source>
        <translation>ディスクのセクターが見つかりません</translation>
    </message>
    <message>
        <source>Printer is out of paper</source>
        <translation>プリンターの用紙がありません</translation>
    </message>
    <message>
        <source>Device write error</source>
        <translation>デバイスの書き込みエラー</translation>
    </message>
    <message>
        <source>Device read error</source>
        <translation>デバイスの読み取りエラー</translation>
    </message>
    <message>
        <source>General failure</source>
        <translation>一般的なエラー</translation>
    </message>
    <message>
        <source>Bad handle passed to com function</source>
        <translation>通信関数に不正なハンドルが渡されました</translation>
    </message>
    <message>
        <source>Bad argument passed to function</source>
        <translation>関数に不正な引数が渡されました</translation>
    </message>
    <message>
        <source>Got quit message</source>
        <translation>終了メッセージを受け取りました</translation>
    </message>
    <message>
        <source>Terminal buffer greater than 65521</source>
        <translation>端末バッファーが 65521 を超えています</translation>
    </message>
    <message>
        <source>ComPort component not assigned</source>
        <translation>ComPort コンポーネントが割り当てられていません</translation>
    </message>
    <message>
        <source>Internal error creating window class</source>
        <translation>ウィンドウクラスの作成中に内部エラーが発生しました</translation>
    </message>
    <message>
        <source>Modem component not assigned</source>
        <translation>モデムコンポーネントが割り当てられていません</translation>
    </message>
    <message>
        <source>Phonebook component not assigned</source>
        <translation>電話帳コンポーネントが割り当てられていません</translation>
    </message>
    <message>
        <source>Component not compatible with WinSock</source>
        <translation>コンポーネントは WinSock と互換性がありません</translation>
    </message>
    <message>
        <source>ie_BadId - Specified comport doesn&apos;t exist</source>
        <translation>ie_BadId - 指定された COM ポートは存在しません</translation>
    </message>
    <message>
        <source>ie_Baudrate - unsupported baud rate</source>
        <translation>ie_Baudrate - サポートされていないボーレートです</translation>
    </message>
    <message>
        <source>ie_Bytesize - invalid byte size</source>
        <translation>ie_Bytesize - 無効なバイトサイズです</translation>
    </message>
    <message>
        <source>ie_Default - error in default parameters</source>
        <translation>ie_Default - 既定のパラメーターにエラーがあります</translation>
    </message>
    <message>
        <source>ie_Hardware - Specified comport in use</source>
        <translation>ie_Hardware - 指定された COM ポートは使用中です</translation>
    </message>
    <message>
        <source>ie_Memory - unable to allocate queues</source>
        <translation>ie_Memory - キューを割り当てられません</translation>
    </message>
    <message>
        <source>ie_NOpen - device not open</source>
        <translation>ie_NOpen - デバイスが開かれていません</translation>
    </message>
    <message>
        <source>ie_Open - device already open</source>
        <translation>ie_Open - デバイスはすでに開かれています</translation>
    </message>
    <message>
        <source>No more handles, can&apos;t open port</source>
        <translation>ハンドルが不足しているため、ポートを開けません</translation>
    </message>
    <message>
        <source>No timers available</source>
        <translation>使用できるタイマーがありません</translation>
    </message>
    <message>
        <source>The ComNumber property of the TQpComPort has not been set</source>
        <translation>TQpComPort の ComNumber プロパティが設定されていません</translation>
    </message>
    <message>
        <source>Comport was not opened by Tapi</source>
        <translation>COM ポートは Tapi によって開かれていません</translation>
    </message>
    <message>
        <source>No device layer specified</source>
        <translation>デバイスレイヤーが指定されていません</translation>
    </message>
    <message>
        <source>Function not supported by driver</source>
        <translation>ドライバーがこの関数をサポートしていません</translation>
    </message>
    <message>
        <source>EnableCommNotification failed</source>
        <translation>EnableCommNotification が失敗しました</translation>
    </message>
    <message>
        <source>Failed to put entire block</source>
        <translation>ブロック全体を書き込めませんでした</translation>
    </message>
    <message>
        <source>Failed to get entire block</source>
        <translation>ブロック全体を読み取れませんでした</translation>
    </message>
    <message>
        <source>Output buffer too small for block</source>
        <translation>出力バッファーがブロックに対して小さすぎます</translation>
    </message>
    <message>
        <source>Buffer is empty</source>
        <translation>バッファーが空です</translation>
    </message>
    <message>
        <source>Tracing not enabled</source>
        <translation>トレースが有効になっていません</translation>
    </message>
    <message>
        <source>Logging not enabled</source>
        <translation>ログ記録が有効になっていません</translation>
    </message>
    <message>
        <source>Base address not set</source>
        <translation>ベースアドレスが設定されていません</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this entry?</source>
        <translation>このエントリを削除してもよろしいですか？</translation>
    </message>
    <message>
        <source>No more trigger slots</source>
        <translation>トリガースロットに空きがありません</translation>
    </message>
    <message>
        <source>Data trigger too long</source>
        <translation>データトリガーが長すぎます</translation>
    </message>
    <message>
        <source>Bad trigger handle</source>
        <translation>不正なトリガーハンドルです</translation>
    </message>
    <message>
        <source>Start string is empty</source>
        <translation>開始文字列が空です</translation>
    </message>
    <message>
        <source>Packet size cannot be smaller than start string</source>
        <translation>パケットサイズを開始文字列より小さくすることはできません</translation>
    </message>
    <message>
        <source>CharCount packets must have an end-condition</source>
        <translation>CharCount パケットには終了条件が必要です</translation>
    </message>
    <message>
        <source>End string is empty</source>
        <translation>終了文字列が空です</translation>
    </message>
    <message>
        <source>Packet size cannot be zero</source>
        <translation>パケットサイズを 0 にすることはできません</translation>
    </message>
    <message>
        <source>Packet too long</source>
        <translation>パケットが長すぎます</translation>
    </message>
    <message>
        <source>Port Toolkit Error</source>
        <translation>ポートツールキットのエラー</translation>
    </message>
    <message>
        <source>Error loading Winsock DLL</source>
        <translation>Winsock DLL の読み込みエラー</translation>
    </message>
    <message>
        <source>Incorrect version of Winsock</source>
        <translation>Winsock のバージョンが正しくありません</translation>
    </message>
    <message>
        <source>Winsock not initialized - %s</source>
        <extracomment>%s stands for the reason and must stay as it is.</extracomment>
        <translation>Winsock が初期化されていません - %s</translation>
    </message>
    <message>
        <source>Specified port is not valid</source>
        <translation>指定されたポートは無効です</translation>
    </message>
    <message>
        <source>Cannot change parameter while socket is connected</source>
        <translation>ソケットの接続中はパラメーターを変更できません</translation>
    </message>
    <message>
        <source>Cannot resolve destination address</source>
        <translation>宛先アドレスを解決できません</translation>
    </message>
    <message>
        <source>SOCKS request rejected or failed</source>
        <translation>SOCKS 要求が拒否されたか、失敗しました</translation>
    </message>
    <message>
        <source>SOCKS server cannot reach the client&apos;s identification service</source>
        <translation>SOCKS サーバーがクライアントの識別サービスに到達できません</translation>
    </message>
    <message>
        <source>SOCKS server rejected the user identifier</source>
        <translation>SOCKS サーバーがユーザー識別子を拒否しました</translation>
    </message>
    <message>
        <source>Unexpected answer from the SOCKS server</source>
        <translation>SOCKS サーバーから予期しない応答がありました</translation>
    </message>
    <message>
        <source>General SOCKS server failure</source>
        <translation>SOCKS サーバーの一般的なエラー</translation>
    </message>
    <message>
        <source>Connection not allowed by the SOCKS server&apos;s rules</source>
        <translation>SOCKS サーバーのルールにより接続が許可されていません</translation>
    </message>
    <message>
        <source>Network unreachable from the SOCKS server</source>
        <translation>SOCKS サーバーからネットワークに到達できません</translation>
    </message>
    <message>
        <source>Host unreachable from the SOCKS server</source>
        <translation>SOCKS サーバーからホストに到達できません</translation>
    </message>
    <message>
        <source>Connection refused by the destination host</source>
        <translation>宛先ホストが接続を拒否しました</translation>
    </message>
    <message>
        <source>TTL expired at the SOCKS server</source>
        <translation>SOCKS サーバーで TTL が切れました</translation>
    </message>
    <message>
        <source>Command not supported by the SOCKS server</source>
        <translation>SOCKS サーバーがこのコマンドをサポートしていません</translation>
    </message>
    <message>
        <source>Address type not supported by the SOCKS server</source>
        <translation>SOCKS サーバーがこのアドレスの種類をサポートしていません</translation>
    </message>
    <message>
        <source>SOCKS server replied with an IPv6 address</source>
        <translation>SOCKS サーバーが IPv6 アドレスで応答しました</translation>
    </message>
    <message>
        <source>Invalid SOCKS server reply</source>
        <translation>SOCKS サーバーの応答が無効です</translation>
    </message>
    <message>
        <source>None</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>Interrupted function call</source>
        <translation>関数呼び出しが中断されました</translation>
    </message>
    <message>
        <source>Bad file number</source>
        <translation>不正なファイル番号です</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>アクセス許可がありません</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>不明なエラー</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>無効な引数です</translation>
    </message>
    <message>
        <source>Warning : the socket would block on this call</source>
        <translation>警告: この呼び出しではソケットがブロックされます</translation>
    </message>
    <message>
        <source>A blocking call is in progress</source>
        <translation>ブロッキング呼び出しが実行中です</translation>
    </message>
    <message>
        <source>WSAEALREADY: watch out, Al is ready</source>
        <translation>WSAEALREADY: 操作はすでに実行中です</translation>
    </message>
    <message>
        <source>Socket descriptor is (1) not a socket, or (2) is of wrong type</source>
        <translation>ソケット記述子が (1) ソケットではないか、(2) 種類が正しくありません</translation>
    </message>
    <message>
        <source>The destination address is required for this operation</source>
        <translation>この操作には宛先アドレスが必要です</translation>
    </message>
    <message>
        <source>The datagram was too large to fit into the buffer and was truncated</source>
        <translation>データグラムが大きすぎてバッファーに収まらないため、切り詰められました</translation>
    </message>
    <message>
        <source>WSAEPROTOTYPE</source>
        <translation>WSAEPROTOTYPE</translation>
    </message>
    <message>
        <source>The option is unknown or not supported</source>
        <translation>オプションが不明か、サポートされていません</translation>
    </message>
    <message>
        <source>Either (1) not enough buffer space to create socket (2) protocol not supported</source>
        <translation>(1) ソケットを作成するためのバッファー領域が不足しているか、(2) プロトコルがサポートされていません</translation>
    </message>
    <message>
        <source>Specified socket type not supported in this address family</source>
        <translation>指定されたソケットの種類はこのアドレスファミリではサポートされていません</translation>
    </message>
    <message>
        <source>Operation is not supported by this socket</source>
        <translation>このソケットはこの操作をサポートしていません</translation>
    </message>
    <message>
        <source>Specified protocol family is not supported</source>
        <translation>指定されたプロトコルファミリはサポートされていません</translation>
    </message>
    <message>
        <source>Specified address family is not supported by this protocol</source>
        <translation>指定されたアドレスファミリはこのプロトコルではサポートされていません</translation>
    </message>
    <message>
        <source>The address is already in use for this operation</source>
        <translation>このアドレスはすでに使用されています</translation>
    </message>
    <message>
        <source>The address is not available from this machine</source>
        <translation>このアドレスはこのマシンからは使用できません</translation>
    </message>
    <message>
        <source>The network subsystem has failed</source>
        <translation>ネットワークサブシステムに障害が発生しました</translation>
    </message>
    <message>
        <source>The network is unreachable from this machine at this time</source>
        <translation>現在、このマシンからネットワークに到達できません</translation>
    </message>
    <message>
        <source>The network has been reset</source>
        <translation>ネットワークがリセットされました</translation>
    </message>
    <message>
        <source>The virtual circuit has been aborted due to timeout, etc</source>
        <translation>タイムアウトなどにより仮想回線が中止されました</translation>
    </message>
    <message>
        <source>The virtual circuit has been reset by the partner</source>
        <translation>仮想回線が相手側によってリセットされました</translation>
    </message>
    <message>
        <source>The descriptor is not a socket, or no buffer space is available</source>
        <translation>記述子がソケットではないか、バッファー領域が不足しています</translation>
    </message>
    <message>
        <source>The socket is already connected</source>
        <translation>ソケットはすでに接続されています</translation>
    </message>
    <message>
        <source>The socket is not connected</source>
        <translation>ソケットが接続されていません</translation>
    </message>
    <message>
        <source>The socket has been shutdown</source>
        <translation>ソケットはシャットダウンされています</translation>
    </message>
    <message>
        <source>WSAETOOMANYREFS</source>
        <translation>WSAETOOMANYREFS</translation>
    </message>
    <message>
        <source>The operation timed out</source>
        <translation>操作がタイムアウトしました</translation>
    </message>
    <message>
        <source>The attempt to connect was forcibly refused</source>
        <translation>接続が強制的に拒否されました</translation>
    </message>
    <message>
        <source>WSAELOOP: see WSAELOOP</source>
        <translation>WSAELOOP: WSAELOOP を参照してください</translation>
    </message>
    <message>
        <source>The name is too long</source>
        <translation>名前が長すぎます</translation>
    </message>
    <message>
        <source>The host machine is down</source>
        <translation>ホストマシンが停止しています</translation>
    </message>
    <message>
        <source>The host machine is unreachable</source>
        <translation>ホストマシンに到達できません</translation>
    </message>
    <message>
        <source>WSAENOTEMPTY</source>
        <translation>WSAENOTEMPTY</translation>
    </message>
    <message>
        <source>WSAEPROCLIM</source>
        <translation>WSAEPROCLIM</translation>
    </message>
    <message>
        <source>WSAEUSERS</source>
        <translation>WSAEUSERS</translation>
    </message>
    <message>
        <source>WSAEDQUOT</source>
        <translation>WSAEDQUOT</translation>
    </message>
    <message>
        <source>WSAESTALE</source>
        <translation>WSAESTALE</translation>
    </message>
    <message>
        <source>WSAEREMOTE</source>
        <translation>WSAEREMOTE</translation>
    </message>
    <message>
        <source>Network subsystem unusable</source>
        <translation>ネットワークサブシステムを使用できません</translation>
    </message>
    <message>
        <source>Version requested by WSAStartUp not supported by loaded Winsock DLL</source>
        <translation>WSAStartUp が要求したバージョンは、読み込まれた Winsock DLL ではサポートされていません</translation>
    </message>
    <message>
        <source>WSAStartUp not yet called</source>
        <translation>WSAStartUp がまだ呼び出されていません</translation>
    </message>
    <message>
        <source>WSAEDISCON</source>
        <translation>WSAEDISCON</translation>
    </message>
    <message>
        <source>Host not found</source>
        <translation>ホストが見つかりません</translation>
    </message>
    <message>
        <source>Host not found, or SERVERFAIL, can try again</source>
        <translation>ホストが見つからないか SERVERFAIL です。再試行できます</translation>
    </message>
    <message>
        <source>Non recoverable errors, FORMERR, REFUSED, NOTIMP</source>
        <translation>回復できないエラー（FORMERR、REFUSED、NOTIMP）</translation>
    </message>
    <message>
        <source>Valid name, but no data record of requested type</source>
        <translation>名前は有効ですが、要求された種類のデータレコードがありません</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>メモリが不足しています</translation>
    </message>
    <message>
        <source>Port exception</source>
        <translation>ポート例外</translation>
    </message>
</context>
<context>
    <name>Program</name>
    <message>
        <source>QUILL-2 Controller: drives a remote antenna selector.</source>
        <translation>QUILL-2 コントローラー: リモートアンテナセレクターを制御します。</translation>
    </message>
    <message>
        <source>FILE</source>
        <extracomment>The value of --settings; its description and the help text name it too.</extracomment>
        <translation>FILE</translation>
    </message>
    <message>
        <source>Use FILE as the settings file.</source>
        <translation>FILE を設定ファイルとして使用します。</translation>
    </message>
    <message>
        <source>List the serial ports with their COM numbers and devices, then exit.</source>
        <translation>シリアルポートを COM 番号とデバイスとともに一覧表示して終了します。</translation>
    </message>
    <message>
        <source>No serial ports found.</source>
        <translation>シリアルポートが見つかりません。</translation>
    </message>
    <message>
        <source>QUILL-2 Controller: drives a remote antenna selector.

Settings file: %1
  (quill.ini beside the executable when that file exists or its folder is writable,
  otherwise $XDG_CONFIG_HOME/quill/quill.ini, by default ~/.config/quill/quill.ini;
  an installed program always uses the latter; --settings FILE names another one)
Serial ports are chosen by COM number: /dev/ttyS&lt;n&gt; is COM&lt;n+1&gt;, /dev/ttyUSB&lt;n&gt;
  COM&lt;n+33&gt;, /dev/ttyACM&lt;n&gt; COM&lt;n+65&gt;; other devices get one in the settings file&apos;s
  [ComMap] section or in the QUILL_COM_MAP environment variable
  (COM5=/dev/pts/3;COM6=/dev/ttyV1).
The windows need a display (DISPLAY or WAYLAND_DISPLAY); without one, run it as
  &quot;xvfb-run quill&quot;.
More in &quot;man quill&quot;.</source>
        <translation>QUILL-2 コントローラー: リモートアンテナセレクターを制御します。

設定ファイル: %1
  （そのファイルがあるかフォルダーに書き込める場合は実行ファイルと同じ場所の quill.ini、
  それ以外は $XDG_CONFIG_HOME/quill/quill.ini、既定では ~/.config/quill/quill.ini。
  インストールされたプログラムは常に後者を使用。--settings FILE で別のファイルを指定）
シリアルポートは COM 番号で選択します: /dev/ttyS&lt;n&gt; は COM&lt;n+1&gt;、/dev/ttyUSB&lt;n&gt; は
  COM&lt;n+33&gt;、/dev/ttyACM&lt;n&gt; は COM&lt;n+65&gt; です。その他のデバイスには、設定ファイルの
  [ComMap] セクションまたは環境変数 QUILL_COM_MAP で番号を割り当てます
  （COM5=/dev/pts/3;COM6=/dev/ttyV1）。
ウィンドウの表示にはディスプレイ（DISPLAY または WAYLAND_DISPLAY）が必要です。ない場合は
  「xvfb-run quill」として実行してください。
詳しくは「man quill」を参照してください。</translation>
    </message>
    <message>
        <source>DISPLAY and WAYLAND_DISPLAY are not set</source>
        <translation>DISPLAY と WAYLAND_DISPLAY が設定されていません</translation>
    </message>
    <message>
        <source>nothing answers at DISPLAY=%1</source>
        <translation>DISPLAY=%1 から応答がありません</translation>
    </message>
    <message>
        <source>nothing answers at WAYLAND_DISPLAY=%1, and DISPLAY is not set</source>
        <translation>WAYLAND_DISPLAY=%1 から応答がなく、DISPLAY も設定されていません</translation>
    </message>
    <message>
        <source>nothing answers at DISPLAY=%1 or WAYLAND_DISPLAY=%2</source>
        <translation>DISPLAY=%1 からも WAYLAND_DISPLAY=%2 からも応答がありません</translation>
    </message>
    <message>
        <source>no display found (%1); set DISPLAY or WAYLAND_DISPLAY to a running display, or start it as &quot;xvfb-run quill&quot;</source>
        <extracomment>%1 says what was looked at and found silent.</extracomment>
        <translation>ディスプレイが見つかりません（%1）。DISPLAY または WAYLAND_DISPLAY に動作中のディスプレイを設定するか、「xvfb-run quill」として起動してください</translation>
    </message>
    <message>
        <source>the window system did not start</source>
        <translation>ウィンドウシステムが起動しませんでした</translation>
    </message>
    <message>
        <source>the window system did not start on DISPLAY=%1</source>
        <translation>DISPLAY=%1 でウィンドウシステムが起動しませんでした</translation>
    </message>
    <message>
        <source>the window system did not start on WAYLAND_DISPLAY=%1; its plugin comes with qt6-wayland</source>
        <translation>WAYLAND_DISPLAY=%1 でウィンドウシステムが起動しませんでした。そのプラグインは qt6-wayland に含まれています</translation>
    </message>
    <message>
        <source>the Wayland display (WAYLAND_DISPLAY=%1) runs, but the toolkit&apos;s Wayland plugin is not installed: install qt6-wayland (sudo apt install qt6-wayland), or run the program under X (DISPLAY)</source>
        <translation>Wayland ディスプレイ（WAYLAND_DISPLAY=%1）は動作していますが、ツールキットの Wayland プラグインがインストールされていません。qt6-wayland をインストールする（sudo apt install qt6-wayland）か、X（DISPLAY）上でプログラムを実行してください</translation>
    </message>
    <message>
        <source>another instance uses %1 but does not answer</source>
        <translation>別のインスタンスが %1 を使用していますが、応答しません</translation>
    </message>
    <message>
        <source>%1; remote control is off</source>
        <extracomment>%1 says why the session bus cannot be used.</extracomment>
        <translation>%1。リモート操作は無効です</translation>
    </message>
</context>
<context>
    <name>QtDialogs</name>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
</context>
<context>
    <name>QuillCtl</name>
    <message>
        <source>Commands:
  list                  each running controller: its settings file, bus name and link state
                        (--json: an array of objects)
  status                the controller&apos;s state in one line (--json: an object)
  select N [--radio R]  select antenna N (1-8) for radio R (default: the followed radio)
  auto [--radio R]      switch automatic mode on for radio R (default: the followed radio)
  follow R              follow radio R (1 or 2) in the main window
  watch                 print the state, then each change, one line per property, until
                        interrupted (--json: one object per change)
  show                  bring the main window to the front

Without --settings, the commands reach the one controller running; when several run, name
one with --settings.

Exit status: 0 done, 1 refused by the controller, several running without --settings, or a
wrong command line, 2 no controller running.</source>
        <extracomment>The command names, options and exit numbers stay as they are.</extracomment>
        <translation>コマンド:
  list                  実行中の各コントローラーの設定ファイル、バス名、リンク状態を表示
                        （--json: オブジェクトの配列）
  status                コントローラーの状態を 1 行で表示（--json: オブジェクト）
  select N [--radio R]  無線機 R のアンテナ N（1～8）を選択（既定: 表示中の無線機）
  auto [--radio R]      無線機 R を自動モードに切り替え（既定: 表示中の無線機）
  follow R              メインウィンドウに無線機 R（1 または 2）を表示
  watch                 状態を表示し、その後は中断されるまで変化のたびにプロパティごとに
                        1 行ずつ表示（--json: 変化ごとにオブジェクト 1 つ）
  show                  メインウィンドウを最前面に表示

--settings を指定しない場合、コマンドは実行中の唯一のコントローラーに送られます。複数が
実行中の場合は、--settings で 1 つを指定してください。

終了ステータス: 0 完了、1 コントローラーによる拒否、--settings なしで複数が実行中、または
コマンドラインの誤り、2 実行中のコントローラーなし。</translation>
    </message>
    <message>
        <source>no controller running (%1)</source>
        <extracomment>%1 is the bus name that was called, or why none can be.</extracomment>
        <translation>実行中のコントローラーがありません（%1）</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>接続済み</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>%1, %2 %3, following radio %4</source>
        <extracomment>%1 is the link state, %2 the mode (LAN, COM/USB), %3 the address or port, %4 the radio&apos;s number.</extracomment>
        <translation>%1、%2 %3、無線機 %4 を表示中</translation>
    </message>
    <message>
        <source>no mode</source>
        <translation>モードなし</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自動</translation>
    </message>
    <message>
        <source>manual</source>
        <translation>手動</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <extracomment>An antenna&apos;s number and its name.</extracomment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>radio %1: band %2, %3, antenna %4</source>
        <extracomment>%1 is the radio&apos;s number, %2 its band, %3 &quot;Auto&quot; or &quot;manual&quot;, %4 the antenna.</extracomment>
        <translation>無線機 %1: バンド %2、%3、アンテナ %4</translation>
    </message>
    <message>
        <source>cannot watch: %1</source>
        <translation>監視できません: %1</translation>
    </message>
    <message>
        <source>the controller has ended</source>
        <translation>コントローラーが終了しました</translation>
    </message>
    <message>
        <source>no controller running</source>
        <translation>実行中のコントローラーがありません</translation>
    </message>
    <message>
        <source>no controller running for %1 (%2)</source>
        <extracomment>%1 is the settings file, %2 the bus name its controller would have.</extracomment>
        <translation>%1 を使用する実行中のコントローラーがありません（%2）</translation>
    </message>
    <message numerus="yes">
        <source>%n controllers are running; name one with --settings FILE:</source>
        <extracomment>Followed by one line per controller: its settings file and bus name.</extracomment>
        <translation>
            <numerusform>%n 個のコントローラーが実行中です。--settings FILE で 1 つを指定してください:</numerusform>
        </translation>
    </message>
    <message>
        <source>Drives a running QUILL-2 Controller over the session bus.</source>
        <translation>実行中の QUILL-2 コントローラーをセッションバス経由で操作します。</translation>
    </message>
    <message>
        <source>FILE</source>
        <extracomment>The value of --settings, also named in the help and in messages.</extracomment>
        <translation>FILE</translation>
    </message>
    <message>
        <source>R</source>
        <extracomment>The value of --radio, also named in the help.</extracomment>
        <translation>R</translation>
    </message>
    <message>
        <source>Reach the controller that uses FILE as its settings file.</source>
        <translation>FILE を設定ファイルとして使用しているコントローラーを操作対象にします。</translation>
    </message>
    <message>
        <source>The radio (1 or 2) for select and auto.</source>
        <translation>select と auto の対象とする無線機（1 または 2）。</translation>
    </message>
    <message>
        <source>Print JSON (list, status and watch).</source>
        <translation>JSON で出力します（list、status、watch）。</translation>
    </message>
    <message>
        <source>command</source>
        <extracomment>The name of the command argument in the usage line.</extracomment>
        <translation>コマンド</translation>
    </message>
    <message>
        <source>list, status, select, auto, follow, watch or show</source>
        <translation>list、status、select、auto、follow、watch、show のいずれか</translation>
    </message>
    <message>
        <source>%1 (see --help)</source>
        <extracomment>%1 says what is wrong with the command line.</extracomment>
        <translation>%1（--help を参照してください）</translation>
    </message>
    <message>
        <source>no command</source>
        <translation>コマンドが指定されていません</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>不明なコマンド %1</translation>
    </message>
    <message>
        <source>%1: wrong number of arguments</source>
        <translation>%1: 引数の数が正しくありません</translation>
    </message>
    <message>
        <source>--radio takes a number</source>
        <translation>--radio には番号を指定してください</translation>
    </message>
    <message>
        <source>no controller running (no session bus)</source>
        <translation>実行中のコントローラーがありません（セッションバスがありません）</translation>
    </message>
    <message>
        <source>no controller running (the session bus cannot be reached)</source>
        <translation>実行中のコントローラーがありません（セッションバスに接続できません）</translation>
    </message>
    <message>
        <source>follow takes a radio number</source>
        <translation>follow には無線機の番号を指定してください</translation>
    </message>
    <message>
        <source>select takes an antenna number</source>
        <translation>select にはアンテナの番号を指定してください</translation>
    </message>
</context>
<context>
    <name>Recovery</name>
    <message>
        <source>%1 names no device: it is not reopened by itself</source>
        <translation>%1 に対応するデバイスがありません。自動では開き直しません</translation>
    </message>
    <message>
        <source>%1 (%2) is a pseudo-terminal&apos;s number, which goes to the next terminal any program opens: it is not reopened by itself (a link made anew for each new terminal is followed)</source>
        <translation>%1 (%2) は疑似端末の番号で、次にいずれかのプログラムが開く端末に割り当てられます。そのため自動では開き直しません（新しい端末ごとに作り直されるリンクであれば追従します）</translation>
    </message>
    <message>
        <source>Cannot watch for %1 to come back: %2</source>
        <extracomment>%2 is the system&apos;s reason.</extracomment>
        <translation>%1 の復帰を監視できません: %2</translation>
    </message>
    <message>
        <source>Waiting for %1 (%2) to come back</source>
        <translation>%1 (%2) の復帰を待っています</translation>
    </message>
    <message>
        <source>%1 (%2) still leads where it did before the loss, to a terminal that may be another program&apos;s: waiting for the link to be made anew</source>
        <translation>%1 (%2) は切断前と同じ端末を指したままで、その端末は別のプログラムのものかもしれません。リンクが作り直されるのを待っています</translation>
    </message>
    <message>
        <source>%1 is back (%2): reopened</source>
        <translation>%1 が復帰しました (%2)。開き直しました</translation>
    </message>
    <message>
        <source>%1&apos;s adapter is back as %2: reopened</source>
        <extracomment>%2 is the number the same adapter has now.</extracomment>
        <translation>%1 のアダプターが %2 として復帰しました。開き直しました</translation>
    </message>
    <message>
        <source>%1 is back but cannot be opened: %2</source>
        <extracomment>%2 is why it cannot be opened.</extracomment>
        <translation>%1 は復帰しましたが、開けません: %2</translation>
    </message>
</context>
<context>
    <name>Remote</name>
    <message>
        <source>No port is open</source>
        <translation>ポートが開かれていません</translation>
    </message>
    <message>
        <source>No communications mode is chosen</source>
        <translation>通信モードが選択されていません</translation>
    </message>
    <message>
        <source>The controller is closing</source>
        <translation>コントローラーは終了処理中です</translation>
    </message>
    <message>
        <source>A message box is waiting for the user</source>
        <translation>メッセージボックスがユーザーの応答を待っています</translation>
    </message>
    <message>
        <source>The controller is starting</source>
        <translation>コントローラーは起動中です</translation>
    </message>
    <message>
        <source>A command is being sent</source>
        <translation>コマンドを送信中です</translation>
    </message>
    <message>
        <source>The last command has not left yet</source>
        <translation>直前のコマンドがまだ送信されていません</translation>
    </message>
    <message>
        <source>no session bus (DBUS_SESSION_BUS_ADDRESS is not set)</source>
        <translation>セッションバスがありません（DBUS_SESSION_BUS_ADDRESS が設定されていません）</translation>
    </message>
    <message>
        <source>the session bus cannot be reached (%1)</source>
        <extracomment>%1 is the bus library&apos;s reason.</extracomment>
        <translation>セッションバスに接続できません（%1）</translation>
    </message>
    <message>
        <source>the session bus does not answer (%1)</source>
        <translation>セッションバスが応答しません（%1）</translation>
    </message>
    <message>
        <source>the session bus refused the controller object</source>
        <translation>セッションバスがコントローラーオブジェクトを拒否しました</translation>
    </message>
    <message>
        <source>the bus name %1 cannot be claimed (%2)</source>
        <translation>バス名 %1 を取得できません（%2）</translation>
    </message>
    <message>
        <source>the session bus has gone; remote control is off until it comes back</source>
        <translation>セッションバスが失われました。復帰するまでリモート操作は無効です</translation>
    </message>
    <message>
        <source>the session bus is back; remote control is on (%1)</source>
        <extracomment>%1 is the bus name the controller is found by.</extracomment>
        <translation>セッションバスが復帰しました。リモート操作は有効です（%1）</translation>
    </message>
    <message>
        <source>another controller holds %1; remote control stays off</source>
        <translation>別のコントローラーが %1 を保持しています。リモート操作は無効のままです</translation>
    </message>
    <message numerus="yes">
        <source>Busy: %n calls are waiting already</source>
        <translation>
            <numerusform>ビジー: すでに %n 件の呼び出しが待機中です</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Busy: %n calls are waiting already (%1)</source>
        <extracomment>%1 is why the first waiting call waits.</extracomment>
        <translation>
            <numerusform>ビジー: すでに %n 件の呼び出しが待機中です（%1）</numerusform>
        </translation>
    </message>
    <message>
        <source>Busy: waited %1 s for its turn</source>
        <translation>ビジー: %1 s 待っても順番が回ってきませんでした</translation>
    </message>
    <message>
        <source>Busy: waited %1 s for its turn (%2)</source>
        <extracomment>%2 is why the first waiting call waits.</extracomment>
        <translation>ビジー: %1 s 待っても順番が回ってきませんでした（%2）</translation>
    </message>
    <message>
        <source>Radio %1 is out of range (1 to 2)</source>
        <translation>無線機 %1 は範囲外です（1～2）</translation>
    </message>
    <message>
        <source>Antenna %1 is out of range (1 to 8)</source>
        <translation>アンテナ %1 は範囲外です（1～8）</translation>
    </message>
    <message>
        <source>The device has not answered the previous command yet</source>
        <translation>デバイスがまだ前のコマンドに応答していません</translation>
    </message>
    <message>
        <source>Radio %1 is not the followed radio; follow it first</source>
        <translation>無線機 %1 は表示中の無線機ではありません。先にその無線機に切り替えてください</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>the name is empty</source>
        <translation>名前が空です</translation>
    </message>
    <message>
        <source>the name holds a line break</source>
        <translation>名前に改行が含まれています</translation>
    </message>
    <message>
        <source>the name starts or ends with a blank</source>
        <translation>名前の先頭または末尾に空白があります</translation>
    </message>
    <message>
        <source>a key name cannot hold &quot;=&quot;</source>
        <translation>キー名に「=」は使用できません</translation>
    </message>
    <message>
        <source>a key name cannot start with &quot;;&quot; or &quot;#&quot;</source>
        <translation>キー名を「;」または「#」で始めることはできません</translation>
    </message>
    <message>
        <source>a key name cannot start with &quot;[&quot;</source>
        <translation>キー名を「[」で始めることはできません</translation>
    </message>
    <message>
        <source>Unable to write to %1</source>
        <translation>%1 に書き込めません</translation>
    </message>
    <message>
        <source>Cannot store section &quot;%1&quot; in %2: %3</source>
        <extracomment>%2 is the settings file, %3 why the name cannot be stored.</extracomment>
        <translation>セクション「%1」を %2 に保存できません: %3</translation>
    </message>
    <message>
        <source>Cannot store key &quot;%1&quot; in %2: %3</source>
        <translation>キー「%1」を %2 に保存できません: %3</translation>
    </message>
</context>
<context>
    <name>TComSelectForm</name>
    <message>
        <source>Select Port</source>
        <translation>ポートの選択</translation>
    </message>
    <message>
        <source>The configured serial port is not valid.</source>
        <translation>指定のシリアルポートは無効です。</translation>
    </message>
    <message>
        <source>Please choose another port.</source>
        <translation>別のポートを選択してください。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>TCommControl</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Communications</source>
        <translation>通信</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>無効</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>Available Ports</source>
        <translation>使用可能なポート</translation>
    </message>
    <message>
        <source>Reopen the port when it comes back</source>
        <translation>復帰したらポートを開き直す</translation>
    </message>
    <message>
        <source>Communications Mode</source>
        <translation>通信モード</translation>
    </message>
    <message>
        <source>LAN</source>
        <translation>LAN</translation>
    </message>
    <message>
        <source>COM/USB</source>
        <translation>COM/USB</translation>
    </message>
    <message>
        <source>LAN Settings</source>
        <translation>LAN 設定</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP アドレス</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>ポート</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>ターミナル</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>ログ</translation>
    </message>
    <message>
        <source>Try %1 %2</source>
        <translation>試行 %1 %2</translation>
    </message>
    <message>
        <source>Sent: %1</source>
        <translation>送信: %1</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>接続中</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>接続済み</translation>
    </message>
    <message>
        <source>Updating</source>
        <translation>更新中</translation>
    </message>
    <message>
        <source>Communications failed</source>
        <translation>通信に失敗しました</translation>
    </message>
    <message>
        <source>COM%1 lost at %2; its error boxes close by themselves when it is back</source>
        <translation>COM%1 が %2 に切断されました。復帰すると、そのエラーボックスは自動的に閉じます</translation>
    </message>
    <message>
        <source>COM%1 back at %2, %3 s after the loss; its error boxes were closed</source>
        <translation>COM%1 が %2 に復帰しました（切断から %3 s）。そのエラーボックスを閉じました</translation>
    </message>
    <message>
        <source>COM%1 back at %2, %3 s after the loss</source>
        <translation>COM%1 が %2 に復帰しました（切断から %3 s）</translation>
    </message>
    <message>
        <source>Using COM%1</source>
        <translation>COM%1 使用中</translation>
    </message>
    <message>
        <source>the link is not in COM/USB mode</source>
        <translation>リンクが COM/USB モードではありません</translation>
    </message>
    <message>
        <source>Error opening COM%1</source>
        <translation>COM%1 を開けませんでした</translation>
    </message>
    <message>
        <source>COM%1 names no device</source>
        <translation>COM%1 に対応するデバイスがありません</translation>
    </message>
    <message>
        <source>COM%1: %2</source>
        <translation>COM%1: %2</translation>
    </message>
    <message>
        <source>Port: %1</source>
        <translation>ポート: %1</translation>
    </message>
    <message>
        <source>Port: %1, which names no device</source>
        <translation>ポート: %1（対応するデバイスがありません）</translation>
    </message>
    <message>
        <source>Port: %1 (%2)</source>
        <translation>ポート: %1 (%2)</translation>
    </message>
    <message>
        <source>Keep this adapter as COM%1</source>
        <translation>このアダプターを常に COM%1 にする</translation>
    </message>
    <message>
        <source>Keep this adapter as COMn</source>
        <translation>このアダプターを常に COMn にする</translation>
    </message>
    <message>
        <source>COM%1 is kept for %2</source>
        <translation>COM%1 を %2 に割り当てました</translation>
    </message>
    <message>
        <source>Dropped a line longer than %1 characters</source>
        <translation>%1 文字を超える行を破棄しました</translation>
    </message>
    <message>
        <source>Tries: %1</source>
        <translation>試行回数: %1</translation>
    </message>
    <message>
        <source>Error opening COM port</source>
        <translation>COM ポートを開けませんでした</translation>
    </message>
    <message>
        <source>COM disabled</source>
        <translation>COM 無効</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>the button&apos;s full text</comment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>the button&apos;s full text</comment>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>TGetComPorts</name>
    <message>
        <source>Disable</source>
        <translation>無効</translation>
    </message>
</context>
<context>
    <name>TQpCustomTerminal</name>
    <message>
        <source>Cannot open file &quot;%1&quot;. %2</source>
        <translation>ファイル「%1」を開けません。%2</translation>
    </message>
    <message>
        <source>Capture to &quot;%1&quot; stopped: %2</source>
        <translation>「%1」へのキャプチャーを停止しました: %2</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>貼り付け(&amp;P)</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>すべて選択(&amp;A)</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>クリア(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;New line after carriage return</source>
        <translation>キャリッジリターンの後に改行(&amp;N)</translation>
    </message>
</context>
<context>
    <name>TQuillMain</name>
    <message>
        <source>Antenna %1</source>
        <translation>アンテナ %1</translation>
    </message>
    <message>
        <source>last known value, the link is down</source>
        <translation>最後に確認した値（リンク切断中）</translation>
    </message>
    <message>
        <source>QUILL-2 Controller V1.0</source>
        <translation>QUILL-2 コントローラー V1.0</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状態</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>切断</translation>
    </message>
    <message>
        <source>Link: Disconnected</source>
        <translation>リンク: 切断</translation>
    </message>
    <message>
        <source>Band</source>
        <translation>バンド</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自動</translation>
    </message>
    <message>
        <source>Radio #1</source>
        <translation>無線機 #1</translation>
    </message>
    <message>
        <source>Radio #2</source>
        <translation>無線機 #2</translation>
    </message>
    <message>
        <source>Antennas</source>
        <translation>アンテナ</translation>
    </message>
    <message>
        <source>Link: Connected</source>
        <translation>リンク: 接続済み</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1、%2</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>接続済み</translation>
    </message>
    <message>
        <source>Antenna %1 Name</source>
        <translation>アンテナ %1 の名前</translation>
    </message>
    <message>
        <source>New name:</source>
        <translation>新しい名前:</translation>
    </message>
</context>
</TS>
