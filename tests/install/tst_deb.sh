#!/usr/bin/env bash
# tst_deb.sh SOURCE_DIR BUILD_DIR VERSION
# Builds the Debian package as `make deb` does and checks its control fields and lintian's
# verdict; unpacks it into a scratch root (dpkg-deb -x), checks its layout, and runs the
# unpacked programs as an installed copy: they keep their data in the user's data folder.
set -euo pipefail

source_dir=$1
build_dir=$2
version=$3

source "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
pid=
finish() {
    if [ -n "$pid" ]; then stop "$pid"; fi
    rm -rf "$work"
}
trap finish EXIT

if ! deb=$("$source_dir/scripts/make-deb.sh" "$build_dir" "$work/out"); then
    echo "FAIL: make-deb.sh"
    exit 1
fi
check "the package is orvo_${version}_$(dpkg --print-architecture).deb" \
    test "$(basename "$deb")" = "orvo_${version}_$(dpkg --print-architecture).deb"

field() { dpkg-deb -f "$deb" "$1"; }
check "the package is orvo $version" test "$(field Package) $(field Version)" = "orvo $version"
# Found from the programs' libraries, plus what Qt loads at run time and the layouts' fonts.
for dependency in libqt6widgets6 libqt6sql6 libsqlite3-0 libmdb3 libqt6sql6-sqlite fonts-liberation2; do
    check "it depends on $dependency" grep -qE "(^|, )$dependency( |,|$)" <<<"$(field Depends)"
done
check "the description has a summary and a long text" test "$(field Description | wc -l)" -ge 5
if lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
    pass "lintian finds no error"
else
    cat "$work/lintian.log"
    fail "lintian finds no error"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
expected=(usr/bin/orvo usr/bin/orvo-data usr/share/applications/orvo.desktop
    usr/share/metainfo/arpa.home.orvo.Orvo.metainfo.xml usr/share/icons/hicolor/scalable/apps/orvo.svg
    usr/share/man/man1/orvo.1.gz usr/share/man/man1/orvo-data.1.gz
    usr/share/bash-completion/completions/orvo-data usr/share/doc/orvo/copyright usr/share/doc/orvo/changelog.gz)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/orvo.png")
done
printf '%s\n' "${expected[@]}" | sort >"$work/expected.txt"
list_files() { (cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort); }
list_files >"$work/found.txt"
check "the package holds exactly the installed files" diff -u "$work/expected.txt" "$work/found.txt"

for program in orvo orvo-data; do
    check "$program is stripped" grep -q ', stripped' <<<"$(file -b "$root/usr/bin/$program")"
done
for page in orvo orvo-data; do
    check "the manual page of $page reads without warnings" \
        test -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
done
check "the changelog's newest entry is this version" \
    grep -q "^orvo ($version) " <<<"$(zcat "$root/usr/share/doc/orvo/changelog.gz" | head -1)"
check "the copyright file states the about text's terms" grep -qF \
    "It is free of charge and comes with no warranty or claim of any kind; it is shared in good spirit." \
    <<<"$(tr -s ' \n' ' ' <"$root/usr/share/doc/orvo/copyright")"

clean_env=(env -i PATH=/usr/bin:/bin HOME="$work/home" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8)
run() { "${clean_env[@]}" "$@"; }
check "orvo --version" test "$(run "$root/usr/bin/orvo" --version)" = "orvo $version"
check "orvo-data --version" test "$(run "$root/usr/bin/orvo-data" --version)" = "orvo-data $version"
check "orvo --help names its options" grep -q -- '--version' <<<"$(run "$root/usr/bin/orvo" --help)"
run "$root/usr/bin/orvo" --bogus 2>"$work/bogus.log" && status=0 || status=$?
check "orvo refuses an unknown argument with status 2" test "$status" = 2
check "orvo names the unknown argument" grep -q -- 'unknown argument --bogus' "$work/bogus.log"

# Installed, orvo keeps its database in the user's data folder even where it could write
# beside itself (the scratch root is the current user's).
database=$work/home/.local/share/orvo/freqs.mdb
# exec: the background job is orvo itself, so that stop ends it and no window outlives the test.
(exec "${clean_env[@]}" "$root/usr/bin/orvo") >"$work/orvo.log" 2>&1 &
pid=$!
if wait_for_database "$pid" "$database"; then
    pass "the installed orvo creates freqs.mdb in ~/.local/share/orvo"
else
    cat "$work/orvo.log"
    fail "the installed orvo creates freqs.mdb in ~/.local/share/orvo"
fi
stop "$pid"
pid=
check "orvo-data finds the same database" grep -q "^$database is sound" <<<"$(run "$root/usr/bin/orvo-data" check)"
list_files >"$work/after.txt"
check "nothing was written into the unpacked package" diff -u "$work/found.txt" "$work/after.txt"

# The completion offers the commands that orvo-data --help lists, and each command's options.
completion=/usr/share/bash-completion/bash_completion
if [ -f "$completion" ]; then
    complete_words() {
        bash -c 'source "$1"; source "$2"; shift 2; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
            COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; _orvo_data; printf "%s\n" "${COMPREPLY[@]}" | sort | xargs' \
            - "$completion" "$root/usr/share/bash-completion/completions/orvo-data" orvo-data "$@"
    }
    commands=$(run "$root/usr/bin/orvo-data" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p' | sort | xargs)
    check "the completion offers the commands of --help ($commands)" test "$(complete_words '')" = "$commands"
    check "the completion offers import's options" \
        test "$(complete_words import in.csv --)" = "--db --map --skip-duplicates --table"
    check "the completion offers export's options" test "$(complete_words export --)" = "--db --excel --out"
else
    echo "SKIP: the completion (bash-completion is not installed)"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
