#!/usr/bin/env bash
# Installs the build into a staging folder with DESTDIR, as the Debian package
# lays it out under /usr, checks what landed where, and starts the installed
# programs from there: pluvion-cli on the start-up storm, and the window
# offscreen for one event-loop turn (PLUVION_SCREENSHOT makes it draw itself once and exit).
# Usage: InstalledPrograms.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root

fail()
{
    echo "InstalledPrograms: $*" >&2
    exit 1
}

if ! DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$stage/install.log" 2>&1; then
    cat "$stage/install.log" >&2
    fail "cmake --install failed"
fi

# Exactly these files, and the manual in the programs' own folder, where the
# Help menu looks for it.
expected=$(LC_ALL=C sort <<'LIST'
usr/bin/pluvion
usr/bin/pluvion-cli
usr/bin/软件说明书.pdf
usr/lib/pluvion/pluvion-documents.so
usr/lib/pluvion/pluvion-drawing.so
usr/share/applications/pluvion.desktop
usr/share/icons/hicolor/scalable/apps/pluvion.svg
usr/share/man/man1/pluvion-cli.1.gz
LIST
)
installed=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if [[ "$installed" != "$expected" ]]; then
    diff <(echo "$expected") <(echo "$installed") >&2 || true
    fail "the installed files differ from the expected ones (< expected, > installed)"
fi
bin=$root/usr/bin
[[ -x $bin/pluvion && -x $bin/pluvion-cli ]] || fail "the programs are not executable"
[[ $(head -c 5 "$bin/软件说明书.pdf") == "%PDF-" ]] || fail "软件说明书.pdf is not a PDF"
# The manual page, compressed as Debian's policy asks, names every option of --help.
page=$(gzip -dc "$root/usr/share/man/man1/pluvion-cli.1.gz") || fail "pluvion-cli.1.gz is not gzip"
[[ $page == .TH* ]] || fail "pluvion-cli.1 does not start with .TH"

# The installed programs must not reach back into the build tree for libraries.
if command -v readelf >/dev/null; then
    for program in pluvion pluvion-cli; do
        if readelf -d "$bin/$program" | grep -E 'RPATH|RUNPATH' | grep -qF "$build"; then
            fail "$program keeps a library path into the build tree"
        fi
    done
fi

# Run from the staging folder with a fresh configuration folder, so that
# nothing of the build or of the user's own settings is used or touched.
cd "$stage"
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$stage/config XDG_CACHE_HOME=$stage/cache

status=0
"$bin/pluvion-cli" >"$stage/cli.out" 2>"$stage/cli.err" || status=$?
if [[ $status -ne 0 ]]; then
    cat "$stage/cli.err" >&2
    fail "pluvion-cli exited with $status"
fi
# The start-up storm's totals, each a whole line of the output.
tr -d '\r' <"$stage/cli.out" >"$stage/cli.txt"
for line in '降雨总量H=60.6345mm' '平均雨强i=0.5053mm/min'; do
    if ! grep -qxF "$line" "$stage/cli.txt"; then
        tail -n 5 "$stage/cli.out" >&2
        fail "pluvion-cli printed no line \"$line\" on the start-up storm"
    fi
done

# A picture: the installed tool finds its drawing module in ../lib/pluvion.
status=0
"$bin/pluvion-cli" --picture "$stage/cli.png" >"$stage/cli-picture.out" 2>"$stage/cli-picture.err" || status=$?
if [[ $status -ne 0 ]]; then
    cat "$stage/cli-picture.err" >&2
    fail "pluvion-cli --picture exited with $status"
fi
[[ $(head -c 4 "$stage/cli.png" | tail -c 3) == "PNG" ]] || fail "pluvion-cli drew no PNG picture"

status=0
PLUVION_SCREENSHOT="$stage/window.png" "$bin/pluvion" >"$stage/window.log" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
    cat "$stage/window.log" >&2
    fail "pluvion (PLUVION_SCREENSHOT) exited with $status"
fi
[[ $(head -c 4 "$stage/window.png" | tail -c 3) == "PNG" ]] || fail "pluvion drew no PNG picture"
# The first refresh at start-up writes the options file.
[[ -s $XDG_CONFIG_HOME/quillfen/Pluvion/options.ini ]] || fail "pluvion wrote no options.ini"
echo "InstalledPrograms: all installed files in place; pluvion-cli and pluvion ran from the staging folder"
