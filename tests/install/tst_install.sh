#!/usr/bin/env bash
# tst_install.sh SOURCE_DIR BUILD_DIR VERSION WITH_DATA_TOOL(0|1)
# Runs `make install` into a temporary DESTDIR, checks that every file is where the freedesktop
# conventions put it, validates the menu entry and the metainfo, starts the installed orvo,
# checks where installed and portable copies keep their data, then runs `make uninstall`.
set -euo pipefail

source_dir=$1
build_dir=$2
version=$3
with_data_tool=$4

work=$(mktemp -d)
# The unprivileged run below has to reach the installed program through this folder.
chmod 755 "$work"
# A prefix of our own: should DESTDIR ever be lost, install and uninstall still stay in here.
prefix=$work/usr
root=$work/root
installed=$root$prefix
appstream_id=arpa.home.orvo.Orvo
icon_sizes=(16 22 24 32 48 64 128 256)

source "$(dirname "$0")/checks.sh"

# A real install's manifest must survive this test, or `make uninstall` would forget it.
manifest=$build_dir/install_manifest.txt
saved_manifest=
if [ -f "$manifest" ]; then
    saved_manifest=$work/saved_manifest.txt
    cp -p "$manifest" "$saved_manifest"
fi
running=()
finish() {
    for pid in "${running[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    if [ -n "$saved_manifest" ]; then cp -p "$saved_manifest" "$manifest"; else rm -f "$manifest"; fi
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

# -o build: the build is ctest's precondition, not this test's job.
if ! make -s -C "$source_dir" -o build install BUILD_DIR="$build_dir" PREFIX="$prefix" DESTDIR="$root" \
    >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: make install"
    exit 1
fi
pass "make install"

# Where each file belongs: programs in bin, the menu entry in applications, the metainfo in
# metainfo, the icon in every hicolor size plus scalable.
expected=(bin/orvo share/applications/orvo.desktop "share/metainfo/$appstream_id.metainfo.xml"
    share/icons/hicolor/scalable/apps/orvo.svg share/man/man1/orvo.1.gz
    share/doc/orvo/copyright share/doc/orvo/changelog.gz)
for size in "${icon_sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/orvo.png")
done
if [ "$with_data_tool" = 1 ]; then
    expected+=(bin/orvo-data share/man/man1/orvo-data.1.gz share/bash-completion/completions/orvo-data)
fi

for file in "${expected[@]}"; do
    check "installed $file" test -f "$installed/$file"
done
for program in bin/orvo bin/orvo-data; do
    if [ -f "$installed/$program" ]; then
        check "$program is executable by everyone" test "$(stat -c %a "$installed/$program")" = 755
    fi
done

printf '%s\n' "${expected[@]/#/$installed/}" | sort >"$work/expected.txt"
find "$root" -type f -o -type l | sort >"$work/found.txt"
check "nothing else installed" diff -u "$work/expected.txt" "$work/found.txt"
# The manifest leaves DESTDIR out and has no final newline.
{ cat "$manifest"; echo; } | sed '/^$/d' | sed "s|^|$root|" | sort >"$work/manifest.txt"
check "the manifest lists exactly the installed files" diff -u "$work/expected.txt" "$work/manifest.txt"

png_size() {
    # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}
for size in "${icon_sizes[@]}"; do
    png=$installed/share/icons/hicolor/${size}x${size}/apps/orvo.png
    if [ -f "$png" ]; then
        check "the ${size}x${size} icon is ${size}x${size} pixels" test "$(png_size "$png")" = "${size}x${size}"
    fi
done
svg=$installed/share/icons/hicolor/scalable/apps/orvo.svg
check "the scalable icon is SVG" grep -q '<svg' "$svg"

desktop=$installed/share/applications/orvo.desktop
metainfo=$installed/share/metainfo/$appstream_id.metainfo.xml
entry() { sed -n "s/^$1=//p" "$desktop"; }
check "desktop-file-validate accepts the menu entry" desktop-file-validate "$desktop"
check "the menu entry is named Orvo" test "$(entry Name)" = Orvo
check "the menu entry has a one-line comment" test -n "$(entry Comment)"
check "the menu entry is under Office and Database" test "$(entry Categories)" = "Office;Database;"
check "the menu entry starts the installed program" test -x "$installed/bin/$(entry Exec)"
check "the menu entry's icon is the installed icon" test -f "$installed/share/icons/hicolor/scalable/apps/$(entry Icon).svg"
check "the menu entry opens no terminal" test "$(entry Terminal)" = false

check "appstreamcli accepts the metainfo" appstreamcli validate --no-net "$metainfo"
check "the metainfo names its own file's id" grep -q "<id>$appstream_id</id>" "$metainfo"
check "the metainfo launches the installed menu entry" \
    grep -q '<launchable type="desktop-id">orvo.desktop</launchable>' "$metainfo"
check "the metainfo provides the installed program" grep -q '<binary>orvo</binary>' "$metainfo"
check "the metainfo's release is this version ($version)" grep -q "<release version=\"$version\"" "$metainfo"

# Installed: the user cannot write beside the program. Root writes anywhere, so root runs the
# program as nobody.
home=$work/home
mkdir -p "$home"
chmod a-w "$installed/bin"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
if "${as_user[@]}" test -w "$installed/bin"; then
    fail "the installed bin folder cannot be written by the user who starts orvo"
fi
env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
    "${as_user[@]}" "$installed/bin/orvo" >"$work/installed.log" 2>&1 &
pid=$!
running+=("$pid")
if wait_for_database "$pid" "$home/.local/share/orvo/freqs.mdb"; then
    pass "installed orvo creates freqs.mdb in ~/.local/share/orvo"
else
    cat "$work/installed.log"
    fail "installed orvo creates freqs.mdb in ~/.local/share/orvo"
fi
stop "$pid"
check "installed orvo writes nothing beside itself" test ! -e "$installed/bin/freqs.mdb"
chmod u+w "$installed/bin"

# The database that orvo-data $2 checks without --db for a user whose home is $1: it follows
# the same rule as orvo, and its report starts with the file's name.
default_database() {
    env -i PATH=/usr/bin:/bin HOME="$1" LC_ALL=C.UTF-8 "$2" check | sed -n '1s/ is \(not \)\{0,1\}sound.*//p'
}
if [ "$with_data_tool" = 1 ]; then
    # Root's /usr/bin, or ~/.local/bin: an installed copy that could write beside itself.
    writable_home=$work/writable_home
    mkdir -p "$writable_home"
    check "installed orvo-data uses the user's data folder where it could write beside itself" \
        test "$(default_database "$writable_home" "$installed/bin/orvo-data")" = \
        "$writable_home/.local/share/orvo/freqs.mdb"

    # A copy that was not installed is portable only beside a freqs.mdb (or in a build tree).
    portable=$work/portable
    portable_home=$work/portable_home
    mkdir -p "$portable" "$portable_home"
    cp "$installed/bin/orvo-data" "$portable/"
    check "a copy in a writable folder without freqs.mdb uses the user's data folder" \
        test "$(default_database "$portable_home" "$portable/orvo-data")" = \
        "$portable_home/.local/share/orvo/freqs.mdb"
    rm -rf "$portable_home/.local"
    cp "$home/.local/share/orvo/freqs.mdb" "$portable/"
    check "a copy beside a freqs.mdb uses it" \
        test "$(default_database "$portable_home" "$portable/orvo-data")" = "$portable/freqs.mdb"
    check "a portable copy leaves the user's data folder alone" test ! -e "$portable_home/.local/share/orvo"
fi

if make -s -C "$source_dir" uninstall BUILD_DIR="$build_dir" DESTDIR="$root" >"$work/uninstall.log" 2>&1; then
    pass "make uninstall"
else
    cat "$work/uninstall.log"
    fail "make uninstall"
fi
check "make uninstall leaves no installed file" test -z "$(find "$root" -type f -o -type l)"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
