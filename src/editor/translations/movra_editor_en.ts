<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>movra::editor::EditorWindow</name>
    <message>
        <location filename="../editor_window.cpp" line="47"/>
        <location filename="../editor_window.cpp" line="72"/>
        <source>Outline</source>
        <translation>Outline</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="60"/>
        <location filename="../editor_window.cpp" line="73"/>
        <source>Run output</source>
        <translation>Run output</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="74"/>
        <source>&amp;View</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="97"/>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="98"/>
        <source>&amp;New</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="99"/>
        <source>&amp;Open...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="100"/>
        <location filename="../editor_window.cpp" line="214"/>
        <source>Open model</source>
        <translation>Open model</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="101"/>
        <location filename="../editor_window.cpp" line="301"/>
        <source>Models (*.model);;All files (*)</source>
        <translation>Models (*.model);;All files (*)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="104"/>
        <source>Open &amp;Recent</source>
        <translation>Open &amp;Recent</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="107"/>
        <source>&amp;Save</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="108"/>
        <source>Save &amp;As...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="109"/>
        <source>&amp;Close Tab</source>
        <translation>&amp;Close Tab</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="111"/>
        <source>&amp;Quit</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="113"/>
        <source>&amp;Edit</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="114"/>
        <source>&amp;Undo</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="117"/>
        <source>&amp;Redo</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="121"/>
        <source>Cu&amp;t</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="124"/>
        <source>&amp;Copy</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="127"/>
        <source>&amp;Paste</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="131"/>
        <source>&amp;Find and Replace...</source>
        <translation>&amp;Find and Replace...</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="134"/>
        <source>Complete</source>
        <translation>Complete</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="137"/>
        <source>Go to &amp;Definition</source>
        <translation>Go to &amp;Definition</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="140"/>
        <source>Open &amp;Included File</source>
        <translation>Open &amp;Included File</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="144"/>
        <source>Apply the Proposed .vc &amp;Edit</source>
        <translation>Apply the Proposed .vc &amp;Edit</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="149"/>
        <location filename="../editor_window.cpp" line="153"/>
        <source>&amp;Run</source>
        <translation>&amp;Run</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="151"/>
        <source>&amp;Check</source>
        <translation>&amp;Check</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="154"/>
        <source>&amp;Interactive (a3)</source>
        <translation>&amp;Interactive (a3)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="156"/>
        <source>Interactive, Real &amp;Time (a4)</source>
        <translation>Interactive, Real &amp;Time (a4)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="159"/>
        <source>&amp;Stop</source>
        <translation>&amp;Stop</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="161"/>
        <source>Main</source>
        <translation>Main</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="177"/>
        <source>untitled %1</source>
        <translation>untitled %1</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="215"/>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 cannot be opened: %2</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="232"/>
        <location filename="../editor_window.cpp" line="263"/>
        <source>Recover unsaved work</source>
        <translation>Recover unsaved work</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="233"/>
        <source>A recovery copy of %1 holds changes that were never saved (the editor ended without saving them). Restore them?</source>
        <translation>A recovery copy of %1 holds changes that were never saved (the editor ended without saving them). Restore them?</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="258"/>
        <source>An editor that ended without saving left unsaved text. Open it in a new tab?</source>
        <translation>An editor that ended without saving left unsaved text. Open it in a new tab?</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="259"/>
        <source>An editor that ended without saving left unsaved text of %1, which no longer exists. Open it in a new tab?</source>
        <translation>An editor that ended without saving left unsaved text of %1, which no longer exists. Open it in a new tab?</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="277"/>
        <source>Save model</source>
        <translation>Save model</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="278"/>
        <source>%1 cannot be written: %2</source>
        <translation>%1 cannot be written: %2</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="300"/>
        <source>Save model as</source>
        <translation>Save model as</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="309"/>
        <source>Unsaved changes</source>
        <translation>Unsaved changes</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="310"/>
        <source>%1 has changes that are not saved. Save them?</source>
        <translation>%1 has changes that are not saved. Save them?</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="354"/>
        <source>movra editor</source>
        <translation>movra editor</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="355"/>
        <source>%1%2 - movra editor</source>
        <translation>%1%2 - movra editor</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="394"/>
        <source>(none)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="412"/>
        <source>File changed on disk</source>
        <translation>File changed on disk</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="413"/>
        <source>%1 was changed by another program, and this editor holds unsaved changes. Reload it and lose them?</source>
        <translation>%1 was changed by another program, and this editor holds unsaved changes. Reload it and lose them?</translation>
    </message>
    <message>
        <location filename="../editor_window.cpp" line="421"/>
        <source>%1 was reloaded: it changed on disk.</source>
        <translation>%1 was reloaded: it changed on disk.</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="14"/>
        <source>check</source>
        <translation>check</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="15"/>
        <source>interactive run (a3)</source>
        <translation>interactive run (a3)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="16"/>
        <source>real-time interactive run (a4)</source>
        <translation>real-time interactive run (a4)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="17"/>
        <source>run</source>
        <translation>run</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="22"/>
        <source>ended by a signal (status %1)</source>
        <translation>ended by a signal (status %1)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="25"/>
        <source>ended normally (status 0)</source>
        <translation>ended normally (status 0)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="27"/>
        <source>stopped by the user (status 5)</source>
        <translation>stopped by the user (status 5)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="29"/>
        <source>a hand-over block could not be read (status 19)</source>
        <translation>a hand-over block could not be read (status 19)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="31"/>
        <source>refused or aborted (status 51)</source>
        <translation>refused or aborted (status 51)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="33"/>
        <source>a result file could not be written (status 74)</source>
        <translation>a result file could not be written (status 74)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="35"/>
        <source>ended with status %1</source>
        <translation>ended with status %1</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="49"/>
        <source>Run</source>
        <translation>Run</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="50"/>
        <source>The editor cannot receive the simulator&apos;s reports: %1</source>
        <translation>The editor cannot receive the simulator&apos;s reports: %1</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="59"/>
        <source>Another simulator is still calculating, and only one calculation runs at a time. Stop it (Stop, or 中止 in its view menu) or wait until it ends, then start again.</source>
        <translation>Another simulator is still calculating, and only one calculation runs at a time. Stop it (Stop, or 中止 in its view menu) or wait until it ends, then start again.</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="62"/>
        <source>%1 finished simulator windows are open, as many as the simulator allows. Close one of them, then start again.</source>
        <translation>%1 finished simulator windows are open, as many as the simulator allows. Close one of them, then start again.</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="65"/>
        <source>%1: the %2 was not started. %3</source>
        <translation>%1: the %2 was not started. %3</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="66"/>
        <location filename="../editor_runs.cpp" line="94"/>
        <source>%1: not started</source>
        <translation>%1: not started</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="67"/>
        <source>Not started</source>
        <translation>Not started</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="71"/>
        <source>--- %1 of %2 ---</source>
        <translation>--- %1 of %2 ---</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="75"/>
        <source>%1: not started, the model has mistakes</source>
        <translation>%1: not started, the model has mistakes</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="93"/>
        <source>%1: the simulator could not be started: %2</source>
        <translation>%1: the simulator could not be started: %2</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="107"/>
        <source>%1: the simulator is open (%2)</source>
        <translation>%1: the simulator is open (%2)</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="144"/>
        <source>The simulator reported an error at line %1.</source>
        <translation>The simulator reported an error at line %1.</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="151"/>
        <source>%1: view window: %2</source>
        <translation>%1: view window: %2</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="152"/>
        <source>%1: scales: %2</source>
        <translation>%1: scales: %2</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="158"/>
        <source>%1: report %2: %3</source>
        <translation>%1: report %2: %3</translation>
    </message>
    <message>
        <location filename="../editor_runs.cpp" line="166"/>
        <source>%1: the simulator %2</source>
        <translation>%1: the simulator %2</translation>
    </message>
</context>
<context>
    <name>movra::editor::FindDialog</name>
    <message>
        <location filename="../find_dialog.cpp" line="11"/>
        <source>Find and Replace</source>
        <translation>Find and Replace</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="15"/>
        <source>Match case</source>
        <translation>Match case</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="16"/>
        <source>Find:</source>
        <translation>Find:</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="17"/>
        <source>Replace with:</source>
        <translation>Replace with:</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="20"/>
        <source>Find Next</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="21"/>
        <source>Replace</source>
        <translation>Replace</translation>
    </message>
    <message>
        <location filename="../find_dialog.cpp" line="22"/>
        <source>Replace All</source>
        <translation>Replace All</translation>
    </message>
</context>
<context>
    <name>movra::editor::ModelPane</name>
    <message>
        <location filename="../model_pane.cpp" line="317"/>
        <source>The caret is not on an .include line.</source>
        <translation>The caret is not on an .include line.</translation>
    </message>
    <message>
        <location filename="../model_pane.cpp" line="324"/>
        <source>The included file %1 cannot be read.</source>
        <translation>The included file %1 cannot be read.</translation>
    </message>
    <message>
        <location filename="../model_pane.cpp" line="339"/>
        <source>Go to Definition</source>
        <translation>Go to Definition</translation>
    </message>
    <message>
        <location filename="../model_pane.cpp" line="340"/>
        <source>Open Included File</source>
        <translation>Open Included File</translation>
    </message>
</context>
<context>
    <name>movra::editor::ModelTab</name>
    <message>
        <location filename="../model_tab.cpp" line="20"/>
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="22"/>
        <source>Dismiss</source>
        <translation>Dismiss</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="50"/>
        <source>The simulator proposes for line %1:&lt;br&gt;old: %2&lt;br&gt;new: %3</source>
        <translation>The simulator proposes for line %1:&lt;br&gt;old: %2&lt;br&gt;new: %3</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="56"/>
        <source>The model has no .vc line; the simulator proposes to insert at line %1:&lt;br&gt;%2</source>
        <translation>The model has no .vc line; the simulator proposes to insert at line %1:&lt;br&gt;%2</translation>
    </message>
    <message>
        <location filename="../model_tab.cpp" line="62"/>
        <source>The .vc line is in the included file %1 (line %2); it is not edited from here.</source>
        <translation>The .vc line is in the included file %1 (line %2); it is not edited from here.</translation>
    </message>
</context>
</TS>
