#!/usr/bin/env bash
# cmake --install into a scratch DESTDIR, then the installed programs run the
# examples from another folder with the clone and the build tree hidden (a
# private mount namespace puts empty folders over them), a user's own model finds
# the material tables by name, results never land in the installation, and the
# desktop entry, the MIME type and the man page pass their checks.
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d /tmp/movra-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
prefix=$stage/usr
for file in bin/movra-note bin/movra-sim share/movra/materials/air.model \
  share/movra/examples/rc_circuit.model share/movra/examples/composite_wall.model \
  share/man/man1/movra-note.1 share/man/man1/movra-sim.1 \
  share/bash-completion/completions/movra-note share/applications/movra.desktop \
  share/mime/packages/movra.xml share/icons/hicolor/scalable/apps/movra.svg; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done

# The desktop entry and the MIME type, as their own tools see them.
report=$(desktop-file-validate "$prefix/share/applications/movra.desktop" 2>&1) ||
  fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
mkdir -p "$work/mime/packages"
cp "$prefix/share/mime/packages/movra.xml" "$work/mime/packages/"
report=$(XDG_DATA_HOME=$work update-mime-database "$work/mime" 2>&1) || fail "update-mime-database: $report"
[ -z "$report" ] || fail "update-mime-database: $report"
grep -q ':text/x-movra-model:\*\.model$' "$work/mime/globs2" || fail "*.model is not text/x-movra-model"
grep -qx 'MimeType=text/x-movra-model;' "$prefix/share/applications/movra.desktop" ||
  fail "the desktop entry does not open text/x-movra-model"
grep -qx 'Exec=movra-note edit %F' "$prefix/share/applications/movra.desktop" ||
  fail "the desktop entry does not open models in the editor"

# Every option of the usage text is in the man page; the versions are the project's.
help=$("$prefix/bin/movra-note" --help)
for option in $(grep -o -- '--[a-z]*' <<<"$help" | sort -u); do
  grep -qF -- "\\-\\-${option#--}" "$prefix/share/man/man1/movra-note.1" ||
    fail "movra-note.1 does not describe $option"
done
for command in $(sed -n 's/^.*movra-note \([a-z][a-z]*\).*/\1/p' <<<"$help"); do
  grep -q "^\.B movra-note $command" "$prefix/share/man/man1/movra-note.1" ||
    fail "movra-note.1 does not describe the command $command"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$("$prefix/bin/movra-note" --version)" = "movra-note $version" ] || fail "movra-note --version"
[ "$("$prefix/bin/movra-sim" --version)" = "movra-sim $version" ] || fail "movra-sim --version"

# The reference: the build tree's programs on the same example.
MOVRA_SHM_TAG=install-$$ "$build/bin/movra-note" run "$source/examples/rc_circuit.model" \
  --batch "$work/reference" >/dev/null

# A user's own model in a folder of its own: a copied example whose
# "../materials/X" has no materials beside it, and one that names the tables bare.
mkdir -p "$work/user/models" "$work/user/home" "$work/user/runtime"
chmod 700 "$work/user/runtime"
cp "$prefix/share/movra/examples/composite_wall.model" "$work/user/models/copied.model"
sed 's|\.\./materials/||' "$prefix/share/movra/examples/composite_wall.model" >"$work/user/models/bare.model"
grep -q '^\.include air\.model' "$work/user/models/bare.model" || fail "no bare include to test"
find "$stage" | sort >"$work/installed-before"

cat >"$work/runs.sh" <<'RUNS'
set -euo pipefail
prefix=$1 work=$2
shift 2
for hidden in "$@"; do mount -t tmpfs none "$hidden"; [ -z "$(ls -A "$hidden")" ]; done
cd "$work/user"
export HOME=$work/user/home XDG_RUNTIME_DIR=$work/user/runtime MOVRA_SHM_TAG=install-$$
unset XDG_DATA_HOME DISPLAY WAYLAND_DISPLAY MOVRA_OUTPUT_DIR
note=$prefix/bin/movra-note
"$note" run "$prefix/share/movra/examples/rc_circuit.model" --batch rc
"$note" run "$prefix/share/movra/examples/composite_wall.model" --batch wall
"$note" run models/copied.model --batch copied
"$note" run models/bare.model --batch bare
"$note" check models/bare.model
# The editor needs a display and says so without one.
if "$note" edit models/bare.model 2>edit.err; then exit 1; fi
grep -q "needs a display" edit.err
# Without --batch (and without a display): the user's results folder.
"$note" run "$prefix/share/movra/examples/rc_circuit.model"
RUNS
hide=("$source")
case "$build/" in "$source"/*) ;; *) hide+=("$build") ;; esac
if unshare -rm true 2>/dev/null; then
  unshare -rm bash "$work/runs.sh" "$prefix" "$work" "${hide[@]}" >"$work/log" 2>&1 ||
    fail "installed runs: $(cat "$work/log")"
elif unshare -m true 2>/dev/null; then
  unshare -m bash "$work/runs.sh" "$prefix" "$work" "${hide[@]}" >"$work/log" 2>&1 ||
    fail "installed runs: $(cat "$work/log")"
else
  echo "no private mount namespace here: the installed programs run with the clone in place" >&2
  bash "$work/runs.sh" "$prefix" "$work" >"$work/log" 2>&1 || fail "installed runs: $(cat "$work/log")"
fi

cmp "$work/reference/out.txt" "$work/user/rc/out.txt" || fail "the installed run's out.txt differs"
for run in wall copied bare; do
  [ -s "$work/user/$run/out.txt" ] || fail "$run: no out.txt: $(cat "$work/log")"
done
cmp "$work/user/wall/out.txt" "$work/user/bare/out.txt" || fail "bare material names read other tables"
cmp "$work/user/wall/out.txt" "$work/user/copied/out.txt" || fail "the copied example read other tables"
results=$work/user/home/.local/share/movra/results/rc_circuit
cmp "$work/reference/out.txt" "$results/out.txt" || fail "no out.txt in $results: $(cat "$work/log")"
grep -qF "wrote $results/out.txt" "$work/log" || fail "the closing line does not name $results"
find "$stage" | sort | diff "$work/installed-before" - || fail "a run wrote into the installation"
echo "installed programs ran from $work/user with ${hide[*]} hidden"
