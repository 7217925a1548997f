#include "note/message_table.h"

#include <cstring>

namespace movra::note {

namespace {

// Grouped by where the reader or the simulator meets them: the model text, the
// statements, the checks after reading, the elements, the run, the window and
// start-up; then texts composed elsewhere and passed on whole.
constexpr MessageRow kRows[] = {
    {" File失敗5", "error/notice",
     "A shared-memory block (model text, or the editor's blocks) could not be released after it "
     "was read.",
     "Harmless for the run; if it repeats, look for stale blocks of a killed run in /dev/shm and "
     "remove your own."},
    {" 行が記録の数を超える？  %d > %d \n\n %s", "error",
     "The model text has more statement lines than the editor handed over records (first number: "
     "the line reached, second: the last record); the quoted line is the first one too many.",
     "The model text and its records disagree: run the model again from movra-note; if it "
     "persists, report the model file."},
    {" File失敗f1   %s%s%s", "error",
     "The simulator could not open the shared-memory block with the model text (its name follows, "
     "then why it was refused).",
     "Start the simulator through movra-note run/check only; if a block of another user is named, "
     "that user must remove it."},
    {" File失敗f2", "error", "The model-text block exists but could not be mapped into memory.",
     "Check free memory and the limits on /dev/shm, then run again."},
    {" ファイルが？  %s ", "refusal",
     "The control-key file named after the message cannot be opened.",
     "Check the path given to --keys (relative paths are taken from where movra-note runs) and its "
     "read permission."},
    {" 制御キーの行が長過ぎる？ (127字まで)  %d行目 \n\n %s ", "error",
     "A line of the control-key file is longer than 127 characters (the number is its line in the "
     "file, the file follows).",
     "Each row is one step of recorded keys: an integer, eleven reals and a hex word; remove what "
     "follows them on that line."},
    {" 要素の数が１００を超える ", "error", "The model has more elements than the simulator holds.",
     "Split the model or join elements (a body with several links, one beam instead of many); "
     "a wheel on a support set counts once per row of the set."},
    {" パラメタ文が１００を超える ", "error",
     "The model has more parameter statements (tables, support sets, function statements) than the "
     "simulator holds.",
     "Merge tables or function statements; every :u, .sd and :xxx statement counts, also those of "
     "included material files."},
    {" コマンド文が１００を超える ", "error",
     "The model has more command statements (.vc, .o, .oo, .or, .t) than the simulator holds.",
     "Put more items on one .o line (up to 11) instead of one line per item."},
    {" 力の描画が？ \n\n %s", "error",
     "The drawing annotation {f N} of the quoted element has a value outside -1..100.",
     "Write {f -1} (forces never drawn), {f 0} (off) or {f 1} (drawn)."},
    {" 転記id  c%3d が範囲外 \n%s", "error",
     "The transcription annotation {c N} of the quoted element names an id outside 0..9999 (the id "
     "is shown).",
     "Choose an id between 0 and 9999."},
    {" 転記id  c%3d がダブる \n%s", "error",
     "The transcription id {c N} shown is used by an earlier line already.",
     "Give every {c N} annotation its own id."},
    {" 出力パラメタｉｄが？ \n\n %s", "error",
     "The output annotation {h B c I ...} of the quoted element is malformed: the block id B must "
     "be 1000..9900 and every listed id a whole number of 1000 or more.",
     "Write e.g. {h 1000 c 1001 c 1002}; the c ids lie inside the block B..B+99."},
    {" 出力パラメタがダブル \n%s", "error",
     "The block id B of the output annotation {h B ...} is already taken by another element's "
     "annotation.",
     "Each element needs its own block of a hundred ids: use {h 1100 ...}, {h 1200 ...} and so "
     "on."},
    {" 台の組がリストの上方にない？ \n\n %s", "error",
     "The wheel names a support set (.sd) that is not defined above it in the model.",
     "Move the .sd statement above the wheel, or correct the support-set id in field 5."},
    {" 台の組が？ \n\n %s", "error",
     "The support set named by the wheel has no rows or more than 11.",
     "Give the .sd statement 1 to 11 rows (h, x0, x1)."},
    {"次の要素ｉｄが？・ \n\n %s", "error",
     "The keyword of the quoted line is not one the simulator knows.",
     "Check the keyword's spelling and case against docs/reference.md (for example `R`, not `r`)."},
    {" 節のｉｄが？　. \n\n %s \n\n %s \n\n iv:%d", "error",
     "A node of the quoted element is not a whole number (the keyword follows, iv: the value read "
     "so far).",
     "Write the element's nodes as whole numbers before the first comma: `R 1 2, 1k`."},
    {" 節のｉｄが？・ \n\n %s", "error",
     "A node of a mechanical element carries neither the suffix n (rigid) nor p (pin).",
     "Write mechanical nodes as 5n or 5p, touching the number; 0 and -1 also need it (0n)."},
    {" 節のｉｄが範囲外. \n\n %s", "error",
     "A node id of the quoted element is out of range: a mechanical node above 200, or any node "
     "below -2 or above 2000.",
     "Use node ids 0..200 (negative ids are the fixed grounds)."},
    {" パラメタIDは 1～9999 \n\n %s ... %d", "error",
     "A field of the quoted element refers to a parameter id outside 1..9999 (the id is shown "
     "after ...).",
     "Refer to parameters as p1..p9999."},
    {" 表ｉｄは 100～990 \n\n %s ... %d", "error",
     "A table id in the quoted line lies outside 100..990 or is not a multiple of ten (the id is "
     "shown after ...).",
     "Give tables (:u) ids 100, 110, ..., 990 and name the same id in the element."},
    {" パラメタ文のデータが多過ぎ？ ", "error",
     "The interactive mode's pointer smoothing (a second-order lag of its own) does not fit: the "
     "parameter rows are full.",
     "Use fewer or shorter tables and function statements, or run in the normal mode (a2)."},
    {" ｒの範囲が？.   %e \n\n %s", "error",
     "The radius of the circle-coordinates statement (:circle) is negative (shown).",
     "Give a radius of 0 or more."},
    {" 戻り値ｉｄがダブる.  %d \n\n %s", "error",
     "A return-value id of the quoted table is already used (shown).",
     "Every return value of every statement needs its own id."},
    {" 戻り値ｉｄは 10 ～ 999 ？.  %d %d \n\n %s", "error",
     "A return-value id of the quoted function table lies outside 10..99, whatever the text "
     "says (first number: its place in the list, second: the id).",
     "Use ids 10..99 for table return values (9 in places 3 and 4 means none)."},
    {" 表ｉｄがダブる.  %d \n\n %s", "error",
     "The id of the quoted table (:u) is already used by another statement (shown).",
     "Give each table its own id."},
    {" 項目数が？_ %d ≠ %d  %d \n\n %s ", "error",
     "A row of the quoted table has the wrong number of values (expected, read, the row number).",
     "Every row of a table carries the same number of values as its header says; check for a "
     "missing value or a blank inside a number."},
    {" ｘ_引数は昇順？_ \n\n %s \n %g %d  %d ", "error",
     "The first values (the argument x) of the quoted table do not rise from row to row (the x "
     "value, then the row and the count read).",
     "Sort the rows by their first value; two rows may not share the same x."},
    {" 項目数が？ %d ≠ %d  \n\n %s ", "error",
     "A row of the quoted function table has the wrong number of values (expected, read).",
     "Give every row the argument plus one value per return value."},
    {" ｘ_引数は昇順？ \n\n %s \n %g", "error",
     "The arguments of the quoted function table do not rise from row to row (the offending value "
     "is shown).",
     "Sort the rows by their first value; no two rows with the same argument."},
    {" :u のデータが多過ぎ？ \n\n %s", "error",
     "The quoted table has more data than the simulator's row pool holds.",
     "Use fewer rows (thin out the data) or fewer tables."},
    {" エラー?？ \n\n %s", "error",
     "The quoted support set or function statement has no data lines below its keyword line.",
     "Put its rows on the following indented lines."},
    {" パラメタ組ｉｄが？ %s \n\n %s", "error",
     "The id of the quoted support set is not a single number or parameter (the text read is "
     "shown).",
     "Write `.sd 300` (or `.sd p300`)."},
    {" パラメタ組は 100 ～ 990 ？ %d %d \n\n %s", "error",
     "The id of the quoted support set lies outside 100..990 (the statement's number, then the "
     "id).",
     "Use ids 100..990."},
    {" パラメタ組ｉｄがダブる.  %d %d \n\n %s", "error",
     "The id of the quoted support set is already used (the statement's number, then the id).",
     "Give each support set its own id."},
    {" データが？？ %d %d \n\n %s \n\n %s", "error",
     "A row of the quoted support set has fewer than three numbers (the row, the count read; then "
     "the block text).",
     "Each row is h, x0, x1."},
    {" !台は h>=0 ，x0<=x1 ？ \n\n %s", "error",
     "A row of the quoted support set has a negative height h or x0 > x1.",
     "Give h >= 0 and x0 <= x1 in every row."},
    {" パラメタ文のデータが多過ぎ？ \n\n %s", "error",
     "The quoted statement has more rows than the simulator's row pool holds.",
     "Use fewer rows or fewer support sets and tables."},
    {" エラー? \n\n %s", "error",
     "The quoted table (:u) has only its header line and no data rows.",
     "Put the rows on the following indented lines."},
    {"引数(式)が？ \n\n %s", "error",
     "The argument expression on the second line of the quoted function table cannot be evaluated "
     "or is empty.",
     "Write the argument (for example `t` or `p12`) on the line below the keyword."},
    {"行数が？ %d \n\n %s", "error",
     "The quoted table has too few continuation lines (the number of data rows counted is shown).",
     "A table needs at least one data row (a function table: the argument line and one row)."},
    {" 戻り値ｉｄが？_ %s \n\n %s", "error",
     "The return-value id on the first line of the quoted statement is not a single number or "
     "parameter (the text is shown).",
     "Write the statement's target id, e.g. `:int 20`."},
    {" 戻り値ｉｄは 10 ～ 999 ？..  %d %d \n\n %s", "error",
     "The target id of the quoted function statement lies outside 10..999 (the statement's number, "
     "then the id).",
     "Use a return-value id between 10 and 999."},
    {" メカ節の成分ｉｄ？_ \n\n %s", "error",
     "An output item asks for a component (1..4: x, y, angle, ...) of a node that is not "
     "mechanical.",
     "Components 1..4 exist only on mechanical nodes; for an electrical, fluid, magnetic or "
     "thermal node name its potential (digit 9)."},
    {" 値が？ %s \n\n %s", "error",
     "A field of the quoted .vc/.o/.or line cannot be evaluated or is not a number (the field's "
     "text is shown).",
     "Write a number or a single reference; a .vc half-size (field 3) must be above 0."},
    {" 範囲が？.   \n\n %s", "error",
     "The .oo range is a single value of 0 (one value v alone gives the range -v..v).",
     "Give one value v other than 0, two different values, or none."},
    {" 範囲が？.  \n\n %s", "error", "The .oo line gives a range whose ends are equal.",
     "Give two different values for low and high."},
    {" 範囲が？.   %e  %e \n\n %s", "error",
     "The range of the .or line (fields 1 and 2, shown) is a single 0 or two equal values (one "
     "value v alone gives -v..v).",
     "Give one value v other than 0, two different values, or leave both empty."},
    {" 出力並びのｉｄが？ \n\n %s", "error",
     "An output item refers to an id that no element or statement provides (the quoted line holds "
     "the item).",
     "Check the item against the element's {h ...} annotation or the statement's return ids; the "
     "element must come before the item's use."},
    {" 項目行が？_   %s \n\n %s", "error",
     "An output field is not a single reference (the field's text is shown).",
     "Name exactly one quantity per field: `p20`, `c1001`, `5.1`; not a sum or a number."},
    {" 電気節などの成分ｉｄ？. \n %d %d \n %s", "error",
     "A .o item asks for the potential (digit 9) of a mechanical node (node, its kind: 1 "
     "mechanical).",
     "Mechanical nodes have components 1..4 (x, y, angle, ...); use those."},
    {" 電気節などの成分ｉｄ？.. \n %d %d \n %s", "error",
     "A .oo item asks for the potential (digit 9) of a mechanical node (node, kind).",
     "Use components 1..4 of a mechanical node."},
    {" 電気節などの成分ｉｄ？... \n %d %d \n %s", "error",
     "A .or item asks for the potential (digit 9) of a mechanical node (node, kind).",
     "Use components 1..4 of a mechanical node."},
    {" 節は剛接？ \n\n %s", "error",
     "The quoted element needs rigid nodes (suffix n): the wheel's node 2, both ends of a gear "
     "pair st.",
     "Write those nodes with n (5n); a gear pair read with p is taken as rigid after this "
     "message."},
    {" 節のｉｄが？.. \n\n　%s", "error", "The body mj needs a suffix on its second node.",
     "Write the node with n or p (5n)."},
    {" 節のｉｄが？.... \n\n %s", "error",
     "The spring sp/sc needs a suffix (n or p) on both nodes.", "Write both nodes with n or p."},
    {" 節ｉｄに n か p が？ \n\n %s", "error",
     "The slider ls needs a suffix (n or p) on both nodes.", "Write both nodes with n or p."},
    {" 節ｉｄが？ \n\n %s", "error", "A link-type element needs a suffix (n or p) on both ends.",
     "Write both ends with n (rigid) or p (pin)."},
    {" 節に剛接？ \n\n %s", "error",
     "The quoted element must have rigid nodes (n) at both ends: contacts cb, gear mesh gs, force "
     "fc, rotary spring tr.",
     "Write both nodes with n; connect them to the mechanism through a link with pin ends where a "
     "pin is meant."},
    {" 半径が？ \n\n %s", "error", "A radius of the contact or gear mesh is 0.",
     "Give both radii (fields 1 and 2) above 0."},
    {" 節に剛接、リンク要素でピン接を用意？ \n\n %s", "error",
     "The pulley and belt pu needs rigid nodes at both ends.",
     "Write both nodes with n and put the pin joints into the links that carry the pulleys."},
    {" 節に剛接？ %d %d \n\n %s", "error",
     "The rigid joint pc needs rigid nodes (the two node ids shown).",
     "Write both nodes with n; release directions with {r x y a} instead of pins."},
    {" 節の用途が？ %d %d \n\n %s", "error",
     "A node of the switch Sw is neither mechanical nor electrical (node id, its kind: 3 fluid, 4 "
     "magnetic, 5 thermal).",
     "Connect the switch to electrical nodes (or a mechanical node as its control)."},
    {" 節ｉｄが他の節と重なる？ \n\n %s", "error",
     "A node id of the quoted element collides with another use of the same number: mechanical "
     "nodes of 100 and above or potential nodes of 1000 and above form keys that other unknowns "
     "use.",
     "Renumber the nodes: keep mechanical node ids below 100 and use each id for one domain only."},
    {" ｘ座標において Hp要素が節の間にない？ \n\n %s", "error",
     "The third node of the flow element Fi does not lie between its two nodes in x.",
     "Place the third node (.in) between the inlet and outlet nodes."},
    {" ｙ座標において Hp要素が節の間にない？ \n\n %s", "error",
     "The third node of the flow element Fi does not lie between its two nodes in y.",
     "Place the third node (.in) between the inlet and outlet nodes."},
    {" 面抵抗の次節がＷ？ \n\n %s", "error",
     "The surface-resistance radiation element (Hr shape 4) has more than three elements at its "
     "second node.",
     "A surface node joins the surface resistance to its radiation partners only; move other "
     "elements to another node."},
    {" 総括の壁がＷ？ \n\n %s", "error",
     "The overall wall (Hc shape 4) has more than two other elements at one of its stream nodes.",
     "Each side of the overall wall sits on one stream's inlet node; give it its own node."},
    {" 入口の接続がＷ？ \n\n %s", "error",
     "The inlet of the flow element Fi is not fed by an advection (Qs mode advection).",
     "Put an advection element at the Fi's first node."},
    {" 出口の接続がＷ？ \n\n %s", "error",
     "The outlet of the flow element Fi has no advection after it.",
     "Put an advection element at the Fi's second node."},
    {"電気グランドから浮いている？", "error",
     "The circuit has no node at a fixed potential: the electrical potentials cannot be "
     "determined.",
     "Connect at least one electrical element to node 0 (ground)."},
    {" この要素はまだ計算できない？ (型 %d, %s) \n\n %s", "error",
     "The quoted element's type (code, keyword shown) has no evaluator in this simulator.",
     "Replace it by an element the simulator computes (docs/reference.md lists them)."},
    {"データが０？ \n\n %s \n", "error",
     "The amplifier's gain, output resistance or input resistance is 0 or too small.",
     "Give the amplifier a gain above 0 and both resistances above 0."},
    {"範囲が？ \n\n %s \n\n %e %e", "error",
     "The amplifier's upper output limit is not above its lower limit (upper, lower shown after "
     "the line).",
     "Give field 1 (upper) above field 2 (lower)."},
    {"データが？ \n\n %s \n", "error", "The voltage source's internal resistance is negative.",
     "Give an internal resistance of 0 or more."},
    {"@ 条件データが？ \n\n %s", "error",
     "No channel gain follows from the MOSFET's on-point: the gate drive Von (field 3) is not "
     "above the threshold Vt (field 1), or 2·(Von - Vt) is not above Ion·Ron (fields 4 and 2).",
     "Give an on-point from the data sheet: Von well above Vt, and Ion·Ron below Von - Vt."},
    {"@ 条件データが？ Ion·Ron > Von-Vt %e %e \n\n %s", "error",
     "The MOSFET's stated on-point lies where its channel is pinched off (Ion·Ron and Von - Vt "
     "shown): the square law cannot show the stated on-resistance there.",
     "Give Ion·Ron (fields 4 and 2) below Von - Vt (fields 3 and 1): a larger gate drive or a "
     "smaller test current."},
    {" 固定子・回転子の節が？ %g %g \n\n %s", "error",
     "The DC motor's fields 4 and 5 (shown) do not name mechanical nodes with a rotation for its "
     "stator and rotor, or both are left out.",
     "Put the ids of two rigid mechanical nodes of the model in fields 4 and 5."},
    {"データが？ b \n\n %s", "error",
     "The transistor's data (b: the current gain) is missing or not above 0.",
     "Give a gain above 0."},
    {" ２次側の節が？ %g %g \n\n %s", "error",
     "The coupled two-port's fields 3 and 4 (shown) do not name nodes of the model for its second "
     "side.",
     "Put the ids of the two secondary nodes in fields 3 and 4."},
    {"ストローク相当が不足？ \n\n %s", "error",
     "A chamber of the fluid cylinder has reached zero length: the piston ran past an end of its "
     "stroke.",
     "Lengthen the stroke, start the piston nearer the middle, or stop the load with a contact."},
    {" 本体・ロッドの節が？ %g %g \n\n %s", "error",
     "The fluid cylinder's fields 6 and 7 (shown) do not name mechanical nodes (whole numbers 0 "
     "to 200) for its body and its rod end.",
     "Put the body's node in field 6 and the rod end's node in field 7."},
    {"データが？hl  %e %e %e %e %e \n\n %s", "error",
     "The liquid line's data are invalid (diameter, length, density, viscosity and roughness "
     "shown).",
     "Diameter, length, density and viscosity must be above 0."},
    {"面租度が？hl  %e %e \n\n %s", "error",
     "The liquid line's roughness is out of range (roughness, diameter shown).",
     "Give a roughness of 0 or more and below the diameter."},
    {"データが？ho \n\n %s", "error", "The liquid orifice's data are invalid.",
     "Give a diameter above 0 and a discharge coefficient above 0 and at most 1."},
    {"データが？ao \n\n %s", "error", "The air orifice's data are invalid.",
     "Give a diameter above 0 and a discharge coefficient above 0 and at most 1."},
    {"データが？al \n\n %s", "error", "The air line's data are invalid.",
     "Give length and diameter above 0."},
    {"データが？ \n\n %s", "error",
     "A field of the quoted element is missing, 0 or negative where it must be positive.",
     "Check the element's fields against docs/reference.md; a missing comma shifts every field "
     "after it."},
    {" 急な枝の比透磁率が回復線の比透磁率以下？ %e %e \n\n %s", "error",
     "The steep branch of the core's loop is not steeper than its recoil line (both relative "
     "permeabilities shown).",
     "Give the steep branch a larger relative permeability than the recoil line."},
    {"データが空？ \n\n %s", "error", "The magnetic core's material table is empty.",
     "Fill the material table (:u) the core names."},
    {"データが？ %e %e %e \n\n %s", "error",
     "The core's material data are invalid (area, length, steep permeability shown).",
     "Area, length and steep permeability must be above 0; remanence and coercivity 0 or more."},
    {" L が 0 ？ \n\n %s", "error",
     "The elastic beam's length is 0: its two nodes lie at the same place.",
     "Move one node (.in) or give the length explicitly."},
    {" L が 0 を越えた？ %e \n\n %s", "error",
     "The elastic beam's driven length (starting length plus field 6, shown) has passed through "
     "0: the beam would turn over within one step.",
     "Keep the formula in field 6 from driving the length to 0 or beyond."},
    {" 材料データが？？ %e %e %e %e %e %e \n\n %s", "error",
     "The elastic beam's material data are invalid (fields 1 to 6 shown): fields 1 and 2 must be 0 "
     "or more, fields 3 and 4 above 0.",
     "Check the beam's fields against docs/reference.md."},
    {"データが負 ？ \n\n %s", "error", "A mass or moment of inertia of the body is negative.",
     "Give mass and inertia of 0 or more."},
    {"全データが空？ \n\n %s", "error", "The body has neither mass nor moment of inertia.",
     "Give the body at least a mass or an inertia."},
    {"ギャップが０？ \n\n %s", "error", "The contact's gap is 0.", "Give a gap above 0."},
    {"中心距離が？ \n\n %s", "error",
     "The gear mesh's two nodes lie at (nearly) the same place: there is no centre distance.",
     "Place the two gear centres apart (.in)."},
    {"ｒが？ \n\n %s", "error",
     "The gear element's pitch radius (field 1) is missing or not above 0.",
     "Give the radius of the gear at the first node."},
    {"中心距離、又はｒが？ \n\n %s", "error",
     "The gear element's centre distance (from the node positions) is not larger than its radius.",
     "Place the nodes further apart or give a smaller radius: the other gear's radius is the "
     "distance minus this one."},
    {"円錐や円筒で一節がピン接？ \n\n %s", "error", "A cone or cylinder contact has a pin node.",
     "Both nodes of the roller must be rigid (n)."},
    {"面巾が？ \n\n %s", "error", "The roller's face width is missing or 0.",
     "Give a face width above 0."},
    {"データが？--pu \n\n %s", "error",
     "The elastic belt's data are invalid: field 3 must be above 0, fields 4 and 6 0 or more.",
     "Check the belt's fields against docs/reference.md."},
    {"軸間距離、又は ｒ が？ \n\n %s", "error",
     "The belt's centre distance or a radius is wrong (the belt cannot wrap).",
     "Make the centre distance larger than the difference of the radii."},
    {" ri  rj が ？ %e %e \n %s", "error", "The gear radii ri and rj are wrong (both shown).",
     "Give both radii above 0."},
    {"データが旧 ？ データは＃１から見た値！ \n\n %s", "error",
     "The rigid joint is written in the older convention (its data seen from the other node).",
     "Give the joint's data as seen from node #1."},
    {" 案内の向きが？ 滑り節が案内の節と同じ位置 \n\n %s", "error",
     "The slider's node lies on its guide node: the guide direction is undefined.",
     "Place the sliding node apart from the guide nodes."},
    {" 拘束が満たせない？ %.3g (同じ節を別に拘束する要素と矛盾？) \n\n %s \n%s", "error",
     "After the starting solution this rigid joint or link is off what it holds by the amount "
     "shown (m or rad, more than 1 mm or 1 mrad): another joint or link holds one of its nodes "
     "elsewhere. The joint's line comes first, then the other joints and links on its nodes.",
     "Keep one of them: hold a node in each direction once, write a pin (p) where it should turn, "
     "or release directions of a pc joint with {r x y a}."},
    {"表ｉｄが？_e \n\n %s", "error",
     "The thermal element names no material table (field 1 is not a table id).",
     "Put the material's :u id (100..990) in field 1."},
    {"表ｉｄが空　　:u で未設定？ \n\n %s", "error",
     "The material table named by the thermal element is not defined.",
     "Define the :u table (or include the materials file) above the element."},
    {"数値が？ \n\n %s", "error",
     "A number of the convection element (Ne, Fe, Fi) is not valid: a size not above 0, a field "
     "not finite, or a shape no correlation covers.",
     "Check the element's shape and size fields against docs/reference.md."},
    {"数値が？  \n\n %s", "error",
     "A number of the convection gap element (Ni) is not valid: a size not above 0 or a shape no "
     "correlation covers.",
     "Check the gap's shape and size fields against docs/reference.md."},
    {"形状データが？ \n\n %s", "error",
     "The spheres of the convection gap are wrong: the inner diameter must be above 0 and not "
     "above the outer.",
     "Give the inner sphere first and smaller."},
    {"物性データが？．\n\n %s", "error",
     "A material property read from the element's table is missing or negative at this "
     "temperature.",
     "Check the material table (:u) covers the temperatures of the run and holds no negative "
     "values."},
    {"形状 or 流速が？ \n\n %s", "error",
     "The body in a flow (Fe) has a shape other than plate, cylinder or sphere, or a negative "
     "velocity.",
     "Give shape and velocity as docs/reference.md lists them."},
    {"形状や流速が？ \n\n %s", "error",
     "The flow element Fi must have the tube shape and a mass flow of 0 or more.",
     "Give the tube shape and a mass flow of 0 or more."},
    {"入口 or 出口が移流でない？ \n\n %s", "error",
     "The flow element's inlet or outlet is not an advection element.",
     "Connect Fi between two advection links."},
    {"形状寸法が？ \n\n %s", "error", "The flow element's dimensions are wrong.",
     "Give its dimensions above 0."},
    {"長さが？　%e %e %e \n\n %s", "error",
     "The first length L1 of the radiation element is not above 0 (r1, L1 and the distance shown).",
     "Give the cylinder's length above 0."},
    {"要素の方向が？　凸～凹の順？ +r %e %e %e \n\n %s", "error",
     "The first surface of the radiation element has a negative (concave) radius (r1, r2, distance "
     "shown); the element runs from the convex surface (+r) to the concave one.",
     "Swap the element's nodes so that the convex surface comes first."},
    {"凸面と凹面間は距離不要？ %e %e \n\n %s", "error",
     "A cylinder inside a concave surface needs no centre distance (r2 and the distance shown).",
     "Leave the distance 0 or empty."},
    {"凹面の r1 は負の値？ %e %e %e \n\n %s", "error",
     "Two convex cylinders overlap: the centre distance is not above r1 + r2 (r1, r2, distance "
     "shown); an enclosing surface is written with a negative radius.",
     "Give a distance above r1 + r2, or write the enclosing radius negative."},
    {"長さが？　 L1:%e L2:%e \n\n %s", "error",
     "A cylinder inside a concave one must have the same length (L1, L2 shown).",
     "Give both surfaces the same length."},
    {"形状ｉｄが？ \n\n %s", "error", "The radiation element's shape id is unknown.",
     "Use one of the shape ids listed in docs/reference.md."},
    {"絶対零度より低い温度？ %e %e \n\n %s", "error",
     "A temperature of the radiation element lies below absolute zero (both temperatures in °C "
     "shown).",
     "Check starting temperatures and sources; the radiation law needs kelvin above 0."},
    {"物性データが？ %e %e \n\n %s", "error",
     "An emissivity read from the material table lies outside 0..1 (both shown).",
     "Correct the material table's emissivity column."},
    {"物性データが？ \n\n %s", "error", "The surface's emissivity is above 1.",
     "Give an emissivity between 0 and 1."},
    {"一節 or 次節が表面抵抗でない？ \n\n %s", "error",
     "A node of the radiation element has no radiation element (Hr) as its surface resistance.",
     "Put a surface resistance (Hr, surface shape) at both of its nodes."},
    {"表面抵抗の形状ｉｄでない？ %d \n\n %s", "error",
     "The element at the radiation element's node is not of a surface-resistance shape (the shape "
     "shown).",
     "Use the surface-resistance shape id there."},
    {"移流のデータが？．\n\n %s", "error", "The advection's mass flow is negative.",
     "Give a mass flow of 0 or more; reverse the nodes for the other direction."},
    {"総括の壁面？ %d %d \n\n %s", "error",
     "The overall wall's two partners are not both flow elements Fi (their type codes shown; Fi is "
     "47).",
     "Put one flow element on each side of the overall wall."},
    {"壁面の方向が横と縦？ %d %d \n\n %s", "error",
     "The two streams of the overall wall run one across and one along (their orientations shown).",
     "Lay both flow elements the same way: both horizontal or both vertical."},
    {"形状が？ \n\n %s", "error",
     "The wall's shape, or the heat-flow source's mode, in field 2 is not one the element knows.",
     "Use a shape or mode listed in docs/reference.md."},
    {"形状データが？. \n\n %s", "error",
     "The slab wall's shape data are wrong: field 3 must be 0 or more and field 4 above 0.",
     "Check the wall's fields against docs/reference.md."},
    {"形状データが..？ \n\n %s", "error",
     "The spherical wall's shape data are wrong: the outer radius (field 4) must be above the "
     "inner (field 3, 0 or more).",
     "Give the inner radius below the outer."},
    {"形状データが？... %e %e %e \n\n %s", "error",
     "The cylindrical wall's shape data are wrong (fields 3, 4 and 5 shown).",
     "Give the inner radius below the outer and a length above 0."},
    {" 変数の番号が範囲外？  %d \n\n %s", "error",
     "An unknown's key of the quoted element lies outside the simulator's map (the key is shown).",
     "Lower the node ids (mechanical below 100, others below 1000)."},
    {" 変数の数が５００を超える ", "error", "The model has more than 500 unknowns.",
     "Reduce nodes and elements; each mechanical node has three unknowns, each electrical one."},
    {" npd over! %d", "error",
     "The model needs more state slots than the simulator holds (the count is shown).",
     "Reduce elements with states (wheels, gear pairs, cores)."},
    {" pwm の分割数が？ (1～%d の整数)  %e \n\n %s", "error",
     "Row 8 of .t (PWM steps per part) is not a whole number in 1..limit (the limit and the value "
     "shown).",
     "Give a whole number of steps per PWM half, or leave row 8 empty."},
    {"pwm周波数が大き過ぎ？  >1MHz？ \n\n %s", "error", "The PWM frequency in .t is above 1 MHz.",
     "Give the frequency in hertz; 1e6 at most."},
    {"pwm周波数*dt が整数でない？　%e \n\n %s", "error",
     "The PWM frequency times dt is not a whole number (the fraction left over is shown).",
     "Choose dt so that it holds a whole number of PWM periods."},
    {"pwm周波数が？　\n\n %s", "error", "The PWM statement gives no period above 0.",
     "Give the :pwm statement a frequency or period."},
    {"pwm周期が刻み巾より大きい？　\n\n %s", "error", "The PWM period is longer than the step dt.",
     "Make dt a whole multiple of the PWM period."},
    {"pwm周期が小さ過ぎ？　\n\n %s", "error", "The PWM period is below 1 µs.",
     "Use a PWM period of 1 µs or more."},
    {"刻み巾が pwm 周期の整数倍でない？   P=%e で計算？ \n\n %s", "error",
     "dt is not a whole multiple of the PWM period (the period used instead is shown); check mode "
     "stops here.",
     "Make dt a whole multiple of the PWM period, or accept the adjusted period."},
    {"出力の間隔が広過ぎ？　\n\n %s", "error", "The output interval of .t is longer than the run.",
     "Make t1 - t0 at least interval × dt."},
    {"刻み巾 dt が小さ過ぎ？　%d  %e \n\n %s", "error",
     "The time step dt of .t is below 1e-9 s (the line's record and dt shown).",
     "Give a larger dt."},
    {" .t が？　　範囲外の値 \n\n %s", "error",
     "A value of .t is out of range (method not 0..2, t0 > t1, or the PWM grid failed).",
     "Check the .t rows: method, t0 <= t1, dt, interval."},
    {" .t が？　　出力点が多過ぎる \n\n %d", "error",
     "The run would record too many frames and no output interval fits (the search limit shown).",
     "Give a larger output interval or a shorter run."},
    {" 発散？　%e \n\n %s", "error", "The integrator (:int) output diverged (the value shown).",
     "Check its input and the run's time step; bound it with a limiter."},
    {" 発散？  %e \n\n %s", "error", "The differentiator (:dif) output diverged (the value shown).",
     "Check its input for steps; filter it with :lag before differentiating."},
    {" データが？　%e \n\n %s", "error", "The lag's time constant is negative (shown).",
     "Give a time constant of 0 or more."},
    {" 発散？54　\n\n %s", "error", "The first-order lag (:lag) cannot be stepped (divergence 54).",
     "Check its time constant against dt."},
    {" データが？　%e %e \n\n %s", "error",
     "The second-order lag's ω or ζ is negative (both shown).", "Give ω and ζ of 0 or more."},
    {" 発散？55　\n\n %s", "error",
     "The second-order lag (:lag2) cannot be stepped (divergence 55).",
     "Check ω and ζ against dt."},
    {" ωが？  %e \n\n %s", "error",
     "The frequency or rate of the wave or event generator is negative (shown).",
     "Give a frequency of 0 or more."},
    {" データが？　%e %e %e \n\n %s", "error",
     "A function statement's data are out of range; the values shown depend on the block: "
     "selection (input, 1, 8: the input must lie in 1..8), table lookup (table id, column, x: no "
     "such :u table or column), circle point (radius, x, field 2: a negative radius), rate limiter "
     "(rate, x, y: a negative rate).",
     "Check the statement's fields against docs/reference.md."},
    {" データが？　%e %e %e %e \n\n %s", "error",
     "The curve statement has fewer than two points whose arguments rise (fields 2, 4, 6 and 8 "
     "shown).",
     "Give at least two points (x, y) with rising x."},
    {" 発散？%d　%d %d %d %e \n\n %s", "error",
     "A function statement's output diverged (the divergence number names the block: 52 generator, "
     "53 shape, 54 lag, 55 second-order lag, 56 sum, 61 PI controller, 62 accumulator; then the "
     "target id, the input key, the sub-mode and the value).",
     "Check its input and gains; a controller gain too high for dt diverges."},
    {" データ式が？_  %d  \n\n %s ", "error",
     "A field expression of the quoted element cannot be evaluated during the run (the field "
     "number is shown).",
     "Check the references in that field: the parameter or return value must exist."},
    {"引数が？---  \n\n %s ", "error",
     "The argument expression of the quoted function statement cannot be evaluated.",
     "Check the references in the argument line."},
    {"入力式が？  ０除算？ %d  %s \n\n %s ", "error",
     "The input expression of the quoted statement divides by zero (status, the expression shown).",
     "Guard the division or check the value that becomes 0."},
    {"入力式が？.   %d  %s \n\n %s ", "error",
     "The input expression of the quoted statement cannot be evaluated (status, the expression "
     "shown).",
     "Check its references and syntax."},
    {" データ式が？  \n\n %s ", "error", "A data line of the quoted statement cannot be evaluated.",
     "Check its references and syntax."},
    {" 中止 / 解けない？ kt=%d  %d  %d %e \n%s\n\n %s", "error",
     "The run stopped: the system became singular again within two steps (kt: step number, "
     "halvings of the step, consecutive failures, update norm); after the numbers it names the "
     "undetermined unknown and quotes its element.",
     "Give the named unknown something that fixes it: a ground, a body with mass, a missing joint "
     "or spring."},
    {" 中止 / 初期に収束しない！  kt=%d  %d  %d  %e  %e", "error",
     "The initial solution could not converge twice in a row (kt=0, halvings, consecutive "
     "failures, update norm).",
     "Check starting values: node positions, initial voltages, and stiff elements."},
    {" 中止 / 収束しない！ kt=%d  %d  %d  %e  %e", "error",
     "The run stopped: Newton did not converge twice within two steps (kt: step, halvings, "
     "consecutive failures, update norm).",
     "Reduce dt or soften stiff elements; check for a switch that chatters."},
    {" 初期に解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s", "error",
     "The initial solution is singular (ig: solver status 1 = a column with no pivot, 2 = a pivot "
     "below 1e-14; then step 0, halvings, consecutive failures, update norm); after the numbers it "
     "names the undetermined unknown (its number in the system, its node and quantity) and quotes "
     "the element that holds it.",
     "Give the named unknown something that fixes it: a ground for a floating node, mass for a "
     "free body, a joint or spring."},
    {" 初期に解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s\n\n 中止：Y　　　誤差大のまま継続：N",
     "question",
     "The initial solution is singular (as for ig=... without Y/N); answer Y to abort, N to go on "
     "with a large error.",
     "Answer Y and fix the named unknown (ground, mass, joint)."},
    {" 解けない？_G  ig=%d  %d  %d  %d  %e \n%s\n\n %s\n\n 中止：Y　　　誤差大のまま継続：N",
     "question",
     "A step is singular (ig: solver status 1 no pivot / 2 tiny pivot, then step kt, halvings, "
     "consecutive failures, update norm); after the numbers it names the undetermined unknown.",
     "Answer Y and fix the named unknown; N goes on with a large error."},
    {" 初期に収束しない！_  ss=%e %d  %d  %d  %e  %e", "error",
     "The initial solution did not converge (ss: update norm; Newton iterations, halvings, "
     "consecutive failures, norm).",
     "Check starting values (node positions, initial states); a nonlinear element may start far "
     "off."},
    {" 初期に収束しない！_  ss=%e  %d  %d  %d  %e %e\n 中止：Y　　　誤差大のまま継続：N",
     "question",
     "The initial solution did not converge (ss: update norm; iterations, halvings, failures); Y "
     "aborts, N halves the step and tries again.",
     "Check starting values; answer N to let the step halve."},
    {" 収束しない！_  ss=%e  %d  %d  %d  %d %e\n 中止：Y　　　誤差大のまま継続：N", "question",
     "A step did not converge (ss: update norm, elements still voting against, step kt, halvings, "
     "consecutive failures, norm).",
     "Y stops the run; N goes on with a large error. Reduce dt or look at the element that "
     "chatters."},
    {" 中止 / 初期に解けない？  kt=%d  %d  %d  %e \n%s\n\n %s", "error",
     "The run stopped before the first step: the initial system is singular twice (kt=0, halvings, "
     "consecutive failures, update norm); after the numbers it names the undetermined unknown.",
     "Fix the named unknown (ground, mass, joint)."},
    {" File失敗0", "error/notice",
     "At start-up: the editor's record block (quillC) could not be opened (why follows). During a "
     "run: the frame ring could not be created.",
     "Start the simulator through movra-note; remove a stale block of another user; check /dev/shm "
     "for space."},
    {"初期にＨＤ容量不足... imn= %d \n", "error",
     "The first frame draws more than the display list holds (the list's fill is shown).",
     "Draw less: fewer elements with forces drawn ({f -1}), fewer output items."},
    {"File失敗1", "error", "The frame ring could not be mapped.",
     "Check free memory and /dev/shm."},
    {"ＨＤ容量不足... imn= %d \n", "error",
     "A frame draws more than the display list holds (the list's fill is shown); the run stops and "
     "keeps what it recorded.",
     "Draw less: fewer forces, fewer items."},
    {"データ量が過多 \n\n %d", "error",
     "The model's statement drawings do not fit in the display list (the list's fill is shown).",
     "Use fewer drawn statements or elements."},
    {" コントロールキーの記録が？ ", "error",
     "Replaying control keys: the first output item did not move, so the recording does not drive "
     "this model.",
     "Use a control-key file recorded with this model."},
    {"ggn スケールが？ %d %d   %e %e  %d %d", "error",
     "A graph has no range: the item's values never changed (item number, its slot, high, low, "
     "item count, launch mode).",
     "Give the item a fixed range in .or/.oo, or drop an item that stays constant."},
    {" Can't open out.txt ", "error", "out.txt could not be written.",
     "Check that the output folder exists and is writable."},
    {" Can't open %s ", "error", "The file named could not be written.",
     "Check that the folder exists and is writable."},
    {"バージョンが不一致？  %s  %d  0:%s  1:%s  2:%s  3:%s", "notice",
     "The simulator's command line is not what this version expects (version, argument count, then "
     "the arguments).",
     "Start movra-sim through movra-note of the same build."},
    {" File失敗C0", "notice",
     "The editor's count block (quillC0) could not be opened (why follows).",
     "Start the simulator through movra-note; remove a stale block of another user."},
    {" File失敗1", "notice", "A hand-over block could not be mapped.",
     "Check free memory and /dev/shm, then run again."},
    {" 文の数が多過ぎる？  %d > %d ", "notice",
     "The editor handed over more statements than the simulator holds (count, limit).",
     "Shorten the model."},
    {" File失敗123", "notice", "A hand-over block could not be released.", "Harmless for the run."},
    {" File失敗C", "notice", "The editor's node block (hMapN) could not be opened (why follows).",
     "Start the simulator through movra-note; remove a stale block of another user."},
    {" 節を中央に表示する場合、節の移動不可", "error",
     "A node cannot be dragged while the view follows it (.vc centre).",
     "Drag another node, or let the view stand still."},
    {"ファイルが開かない_", "notice", "The model text could not be taken over at start-up.",
     "Run through movra-note; check /dev/shm."},
    {"実行ファイルのパスが？", "notice", "The simulator cannot find its own program file.",
     "Run movra-sim from its build or install folder."},
    {"　先のファイルを計算中　\n", "notice",
     "Another simulator is still calculating; only one may calculate at a time.",
     "Wait for it to finish (or stop it), then start again."},
    {"タスクバーの movra のボタンは１０まで", "notice",
     "Ten finished simulator windows are open already.",
     "Close some simulator windows, then start again."},
    {"%s %s を使わない：%s", "notice",
     "A shared-memory block, folder, file or socket was found but not used: another user owns it "
     "or its mode lets others in (what, its path, why).",
     "Remove it if it is yours; otherwise its owner must, or set XDG_RUNTIME_DIR to a private "
     "folder."},
};

struct Conversion {
  char letter = 0;    // d, x, e, s, ... ; 0 for a literal character
  size_t length = 1;  // characters of the format it takes
};

Conversion conversionAt(std::string_view format, size_t at) {
  if (format[at] != '%' || at + 1 >= format.size()) return {};
  size_t end = at + 1;
  if (format[end] == '%') return {};
  while (end < format.size() && std::strchr("-+ #0123456789.lhzjt", format[end]) != nullptr) ++end;
  if (end >= format.size()) return {};
  return {format[end], end + 1 - at};
}

// The characters a conversion of this letter can print (after its padding).
bool printable(char letter, char c) {
  switch (letter) {
    case 'd':
    case 'i':
    case 'u':
      return (c >= '0' && c <= '9') || c == '-';
    case 'x':
    case 'X':
      return std::strchr("0123456789abcdefABCDEF", c) != nullptr && c != 0;
    case 'e':
    case 'E':
    case 'f':
    case 'g':
    case 'G':
      return std::strchr("0123456789+-.eEinfaINFA", c) != nullptr && c != 0;
    default:
      return false;
  }
}

bool isPercent(std::string_view format, size_t at) {
  return format[at] == '%' && at + 1 < format.size() && format[at + 1] == '%';
}

bool matchFrom(std::string_view format, size_t f, std::string_view text, size_t t) {
  while (f < format.size()) {
    const Conversion conversion = conversionAt(format, f);
    if (conversion.letter == 's') {
      size_t next = f + conversion.length;
      // Two strings in a row match what one matches: saves the search.
      while (next < format.size() && conversionAt(format, next).letter == 's')
        next += conversionAt(format, next).length;
      for (size_t end = t; end <= text.size(); ++end) {
        if (matchFrom(format, next, text, end)) return true;
      }
      return false;
    }
    if (conversion.letter != 0) {
      size_t end = t;
      while (end < text.size() && text[end] == ' ') ++end;  // width padding
      const size_t first = end;
      while (end < text.size() && printable(conversion.letter, text[end])) ++end;
      for (; end > first; --end) {
        if (matchFrom(format, f + conversion.length, text, end)) return true;
      }
      return false;
    }
    const size_t step = isPercent(format, f) ? 2 : 1;  // "%%" prints one '%'
    if (t >= text.size() || text[t] != format[f + step - 1]) return false;
    f += step;
    ++t;
  }
  return t == text.size();
}

size_t fixedCharacters(std::string_view format) {
  size_t count = 0;
  for (size_t f = 0; f < format.size();) {
    const Conversion conversion = conversionAt(format, f);
    if (conversion.letter != 0) {
      f += conversion.length;
    } else {
      f += isPercent(format, f) ? 2 : 1;
      ++count;
    }
  }
  return count;
}

// A format as C source, so that its blanks and line breaks can be seen.
std::string quotedFormat(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\n') {
      quoted += "\\n";
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace

std::span<const MessageRow> messageTable() {
  return kRows;
}

bool matchesFormat(std::string_view format, std::string_view text) {
  return matchFrom(format, 0, text, 0);
}

const MessageRow* findMessageRow(std::string_view text) {
  const MessageRow* best = nullptr;
  size_t bestFixed = 0;
  for (const MessageRow& row : kRows) {
    const size_t fixed = fixedCharacters(row.text);
    if ((best == nullptr || fixed > bestFixed) && matchesFormat(row.text, text)) {
      best = &row;
      bestFixed = fixed;
    }
  }
  return best;
}

std::string messageHint(std::string_view text) {
  const MessageRow* row = findMessageRow(text);
  if (row == nullptr) return "";
  return std::string("hint: ") + row->meaning + " " + row->todo;
}

std::string messageTableMarkdown() {
  std::string table = "| Message | Shown as | Meaning | Usual causes and what to do |\n";
  table += "|---|---|---|---|\n";
  for (const MessageRow& row : kRows) {
    table += "| `" + quotedFormat(row.text) + "` | " + row.shown + " | " + row.meaning + " | " +
             row.todo + " |\n";
  }
  return table;
}

}  // namespace movra::note
