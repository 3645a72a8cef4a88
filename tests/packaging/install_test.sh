#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the installed programs run and
# that everything a desktop needs lands where it looks for it.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

help="$("$prefix/bin/lumivane-render" --help)" || fail "installed lumivane-render --help failed"
grep -q "^Aufruf: lumivane-render" <<<"$help" || fail "unexpected help text: $help"

# The window finds its start-up pictures beside itself, also when started through the link.
program="$(readlink -f "$prefix/bin/lumivane")"
[ -x "$program" ] || fail "bin/lumivane does not lead to the program"
for picture in holz.jpg foto.jpg; do
    [ -f "$(dirname "$program")/$picture" ] || fail "$picture is not beside the program"
done

for file in share/applications/lumivane.desktop \
            share/metainfo/example.tessaly.Lumivane.metainfo.xml \
            share/mime/packages/lumivane.xml \
            share/icons/hicolor/48x48/apps/lumivane.png; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done

# The template file type as the desktop's MIME database sees it.
if command -v update-mime-database >/dev/null; then
    update-mime-database "$prefix/share/mime" 2>/dev/null
    grep -q ":application/x-lumivane-template:\*\.lumivane$" "$prefix/share/mime/globs2" ||
        fail "*.lumivane is not registered as a template"
fi
echo "installed and ran from $prefix"
