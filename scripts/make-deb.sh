#!/usr/bin/env bash
# make-deb.sh BUILD_DIR OUT_DIR: builds the Debian package from BUILD_DIR (already built) into
# OUT_DIR and prints its path. CPack installs through the same rules as `make install` and so
# rewrites BUILD_DIR/install_manifest.txt, on which `make uninstall` relies: it is kept as it was.
set -euo pipefail

build_dir=$(realpath "$1")
mkdir -p "$2"
out_dir=$(realpath "$2")
manifest=$build_dir/install_manifest.txt
work=$(mktemp -d)
if [ -f "$manifest" ]; then cp -p "$manifest" "$work/manifest"; fi
restore() {
    if [ -f "$work/manifest" ]; then cp -p "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work" "$out_dir/_CPack_Packages"
}
trap restore EXIT

if ! cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$out_dir" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$work/cpack.log"
