<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>movra::editor::EditorWindow</name>
    <message>
        <location filename="../editor_window.cpp" line="47"/>
        <location filename="../editor_window.cpp" line="72"/>
        <source>Outline</source>
        <translation>アウトライン</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="60"/>
        <location filename="../editor_window.cpp" line="73"/>
        <source>Run output</source>
        <translation>実行の出力</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="74"/>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="97"/>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="98"/>
        <source>&amp;New</source>
        <translation>新規(&amp;N)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="99"/>
        <source>&amp;Open...</source>
        <translation>開く(&amp;O)...</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="100"/>
        <location filename="../editor_window.cpp" line="214"/>
        <source>Open model</source>
        <translation>モデルを開く</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="101"/>
        <location filename="../editor_window.cpp" line="301"/>
        <source>Models (*.model);;All files (*)</source>
        <translation>モデル (*.model);;すべてのファイル (*)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="104"/>
        <source>Open &amp;Recent</source>
        <translation>最近使ったファイル(&amp;R)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="107"/>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="108"/>
        <source>Save &amp;As...</source>
        <translation>名前を付けて保存(&amp;A)...</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="109"/>
        <source>&amp;Close Tab</source>
        <translation>タブを閉じる(&amp;C)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="111"/>
        <source>&amp;Quit</source>
        <translation>終了(&amp;Q)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="113"/>
        <source>&amp;Edit</source>
        <translation>編集(&amp;E)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="114"/>
        <source>&amp;Undo</source>
        <translation>元に戻す(&amp;U)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="117"/>
        <source>&amp;Redo</source>
        <translation>やり直し(&amp;R)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="121"/>
        <source>Cu&amp;t</source>
        <translation>切り取り(&amp;T)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="124"/>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="127"/>
        <source>&amp;Paste</source>
        <translation>貼り付け(&amp;P)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="131"/>
        <source>&amp;Find and Replace...</source>
        <translation>検索と置換(&amp;F)...</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="134"/>
        <source>Complete</source>
        <translation>補完</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="137"/>
        <source>Go to &amp;Definition</source>
        <translation>定義へ移動(&amp;D)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="140"/>
        <source>Open &amp;Included File</source>
        <translation>インクルードファイルを開く(&amp;I)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="144"/>
        <source>Apply the Proposed .vc &amp;Edit</source>
        <translation>提案された .vc の変更を適用(&amp;E)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="149"/>
        <location filename="../editor_window.cpp" line="153"/>
        <source>&amp;Run</source>
        <translation>実行(&amp;R)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="151"/>
        <source>&amp;Check</source>
        <translation>チェック(&amp;C)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="154"/>
        <source>&amp;Interactive (a3)</source>
        <translation>対話実行 a3(&amp;I)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="156"/>
        <source>Interactive, Real &amp;Time (a4)</source>
        <translation>実時間対話実行 a4(&amp;T)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="159"/>
        <source>&amp;Stop</source>
        <translation>中止(&amp;S)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="161"/>
        <source>Main</source>
        <translation>メイン</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="177"/>
        <source>untitled %1</source>
        <translation>無題 %1</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="215"/>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 を開けません: %2</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="232"/>
        <location filename="../editor_window.cpp" line="263"/>
        <source>Recover unsaved work</source>
        <translation>保存されていない作業の復元</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="233"/>
        <source>A recovery copy of %1 holds changes that were never saved (the editor ended without saving them). Restore them?</source>
        <translation>%1 の復元用コピーに保存されていない変更があります（エディタが保存せずに終了しました）。復元しますか？</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="258"/>
        <source>An editor that ended without saving left unsaved text. Open it in a new tab?</source>
        <translation>保存せずに終了したエディタが未保存のテキストを残しました。新しいタブで開きますか？</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="259"/>
        <source>An editor that ended without saving left unsaved text of %1, which no longer exists. Open it in a new tab?</source>
        <translation>保存せずに終了したエディタが %1（もう存在しません）の未保存のテキストを残しました。新しいタブで開きますか？</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="277"/>
        <source>Save model</source>
        <translation>モデルの保存</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="278"/>
        <source>%1 cannot be written: %2</source>
        <translation>%1 に書き込めません: %2</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="300"/>
        <source>Save model as</source>
        <translation>名前を付けてモデルを保存</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="309"/>
        <source>Unsaved changes</source>
        <translation>保存されていない変更</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="310"/>
        <source>%1 has changes that are not saved. Save them?</source>
        <translation>%1 に保存されていない変更があります。保存しますか？</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="354"/>
        <source>movra editor</source>
        <translation>movra エディタ</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="355"/>
        <source>%1%2 - movra editor</source>
        <translation>%1%2 - movra エディタ</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="394"/>
        <source>(none)</source>
        <translation>（なし）</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="412"/>
        <source>File changed on disk</source>
        <translation>ディスク上のファイルが変更されました</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="413"/>
        <source>%1 was changed by another program, and this editor holds unsaved changes. Reload it and lose them?</source>
        <translation>%1 が他のプログラムによって変更されました。このエディタには保存されていない変更があります。再読み込みして変更を破棄しますか？</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="421"/>
        <source>%1 was reloaded: it changed on disk.</source>
        <translation>%1 はディスク上で変更されたため再読み込みしました。</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="14"/>
        <source>check</source>
        <translation>チェック</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="15"/>
        <source>interactive run (a3)</source>
        <translation>対話実行 (a3)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="16"/>
        <source>real-time interactive run (a4)</source>
        <translation>実時間対話実行 (a4)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="17"/>
        <source>run</source>
        <translation>実行</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="22"/>
        <source>ended by a signal (status %1)</source>
        <translation>シグナルで終了しました（状態 %1）</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="25"/>
        <source>ended normally (status 0)</source>
        <translation>正常に終了しました（状態 0）</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="27"/>
        <source>stopped by the user (status 5)</source>
        <translation>ユーザーが中止しました（状態 5）</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="29"/>
        <source>a hand-over block could not be read (status 19)</source>
        <translation>受け渡しブロックを読めませんでした（状態 19）</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="31"/>
        <source>refused or aborted (status 51)</source>
        <translation>拒否または中断されました（状態 51）</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="33"/>
        <source>a result file could not be written (status 74)</source>
        <translation>結果ファイルを書き込めませんでした（状態 74）</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="35"/>
        <source>ended with status %1</source>
        <translation>状態 %1 で終了しました</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="49"/>
        <source>Run</source>
        <translation>実行</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="50"/>
        <source>The editor cannot receive the simulator&apos;s reports: %1</source>
        <translation>エディタはシミュレータからの報告を受け取れません: %1</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="59"/>
        <source>Another simulator is still calculating, and only one calculation runs at a time. Stop it (Stop, or 中止 in its view menu) or wait until it ends, then start again.</source>
        <translation>別のシミュレータがまだ計算中です。計算は一度に一つしか実行できません。それを中止する（「中止」、またはその表示メニューの「中止」）か終わるまで待ってから、もう一度開始してください。</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="62"/>
        <source>%1 finished simulator windows are open, as many as the simulator allows. Close one of them, then start again.</source>
        <translation>計算を終えたシミュレータのウィンドウが %1 個開いており、これが上限です。どれかを閉じてから、もう一度開始してください。</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="65"/>
        <source>%1: the %2 was not started. %3</source>
        <translation>%1: %2は開始されませんでした。%3</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="66"/>
        <location filename="../editor_runs.cpp" line="94"/>
        <source>%1: not started</source>
        <translation>%1: 開始されませんでした</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="67"/>
        <source>Not started</source>
        <translation>開始されませんでした</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="71"/>
        <source>--- %1 of %2 ---</source>
        <translation>--- %2 の%1 ---</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="75"/>
        <source>%1: not started, the model has mistakes</source>
        <translation>%1: モデルに誤りがあるため開始されませんでした</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="93"/>
        <source>%1: the simulator could not be started: %2</source>
        <translation>%1: シミュレータを起動できませんでした: %2</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="107"/>
        <source>%1: the simulator is open (%2)</source>
        <translation>%1: シミュレータ実行中（%2）</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="144"/>
        <source>The simulator reported an error at line %1.</source>
        <translation>シミュレータが %1 行目のエラーを報告しました。</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="151"/>
        <source>%1: view window: %2</source>
        <translation>%1: 表示範囲: %2</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="152"/>
        <source>%1: scales: %2</source>
        <translation>%1: スケール: %2</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="158"/>
        <source>%1: report %2: %3</source>
        <translation>%1: 報告 %2: %3</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="166"/>
        <source>%1: the simulator %2</source>
        <translation>%1: シミュレータは%2</translation>
    </message>
</context>
<context>
    <name>movra::editor::FindDialog</name>
    <message>
        <location filename="../find_dialog.cpp" line="11"/>
        <source>Find and Replace</source>
        <translation>検索と置換</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="15"/>
        <source>Match case</source>
        <translation>大文字と小文字を区別</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="16"/>
        <source>Find:</source>
        <translation>検索:</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="17"/>
        <source>Replace with:</source>
        <translation>置換後:</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="20"/>
        <source>Find Next</source>
        <translation>次を検索</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="21"/>
        <source>Replace</source>
        <translation>置換</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="22"/>
        <source>Replace All</source>
        <translation>すべて置換</translation>
    </message>
</context>
<context>
    <name>movra::editor::ModelPane</name>
    <message>
        <location filename="../model_pane.cpp" line="317"/>
        <source>The caret is not on an .include line.</source>
        <translation>カーソルが .include 行にありません。</translation>
    </message>
    <message>
        <location filename="../model_pane.cpp" line="324"/>
        <source>The included file %1 cannot be read.</source>
        <translation>インクルードファイル %1 を読めません。</translation>
    </message>
    <message>
        <location filename="../model_pane.cpp" line="339"/>
        <source>Go to Definition</source>
        <translation>定義へ移動</translation>
    </message>
    <message>
        <location filename="../model_pane.cpp" line="340"/>
        <source>Open Included File</source>
        <translation>インクルードファイルを開く</translation>
    </message>
</context>
<context>
    <name>movra::editor::ModelTab</name>
    <message>
        <location filename="../model_tab.cpp" line="20"/>
        <source>Apply</source>
        <translation>適用</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="22"/>
        <source>Dismiss</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="50"/>
        <source>The simulator proposes for line %1:&lt;br&gt;old: %2&lt;br&gt;new: %3</source>
        <translation>シミュレータから %1 行目の変更の提案:&lt;br&gt;旧: %2&lt;br&gt;新: %3</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="56"/>
        <source>The model has no .vc line; the simulator proposes to insert at line %1:&lt;br&gt;%2</source>
        <translation>モデルに .vc 行がありません。シミュレータから %1 行目への挿入の提案:&lt;br&gt;%2</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="62"/>
        <source>The .vc line is in the included file %1 (line %2); it is not edited from here.</source>
        <translation>.vc 行はインクルードファイル %1（%2 行目）にあるため、ここからは変更しません。</translation>
    </message>
</context>
</TS>
