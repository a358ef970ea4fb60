#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get, tries the installed
# programs and removes the package again:
#   - vuduzez-cli --version prints the project's version,
#   - a sample search (in a scratch copy of sample/) finds the expected hits,
#   - an SD file exported by the search imports into a new database,
#   - the desktop program starts from /usr/bin under a virtual X server (so the
#     package's dependencies bring the Qt platform plugin and fonts),
#   - the desktop entry, the icon, the manual pages, copyright and changelog
#     are where they belong;
#   - lintian finds no error or warning in the package, desktop-file-validate
#     none in the desktop entry (both are installed when missing).
# Needs root (apt-get). Usage: tools/test_package.sh [BUILD_DIR]  (default:
# build; it is configured and the two programs built there when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

if dpkg-query -W -f='${Status}' vuduzez 2>/dev/null | grep -q 'install ok installed'; then
  echo "test_package.sh: a vuduzez package is installed already; remove it first" >&2
  exit 2
fi

bash tools/ensure_packages.sh lintian desktop-file-utils man-db >/dev/null

echo "== desktop entry"
desktop-file-validate packaging/vuduzez.desktop
echo "desktop-file-validate: clean"

echo "== package"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target vuduzez vuduzez-cli vuduzez_manpage
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
out=$(mktemp -d)
work=$(mktemp -d)
cleanup() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y vuduzez >/dev/null 2>&1 || true
  rm -rf "$out" "$work"
}
trap cleanup EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/vuduzez_*.deb)
echo "$(basename "$deb"):"
dpkg-deb -f "$deb" Version Depends Recommends | sed 's/^/  /'
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || { echo "no Qt dependency"; exit 1; }
echo "== lintian"
# Errors and warnings fail; informational tags are shown only.
lintian --fail-on error,warning --tag-display-limit 0 "$deb"
echo "lintian: no errors or warnings"

echo "== install"
(cd "$out" && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "./$(basename "$deb")" \
  >/dev/null)
for f in /usr/bin/vuduzez /usr/bin/vuduzez-cli /usr/share/applications/vuduzez.desktop \
         /usr/share/icons/hicolor/scalable/apps/vuduzez.svg /usr/share/man/man1/vuduzez-cli.1.gz \
         /usr/share/man/man1/vuduzez.1.gz /usr/share/doc/vuduzez/copyright \
         /usr/share/doc/vuduzez/changelog.gz; do
  [ -f "$f" ] || { echo "missing: $f"; exit 1; }
done

echo "== installed programs"
got=$(/usr/bin/vuduzez-cli --version)
[ "$got" = "vuduzez-cli $version" ] || { echo "--version printed '$got'"; exit 1; }
echo "$got"
cp -r sample "$work/sample"
cd "$work/sample"
hits=$(/usr/bin/vuduzez-cli search queries/carboxylic_acid.mol)
echo "$hits" | grep -qx aspirin || { echo "sample search: no aspirin among: $hits"; exit 1; }
echo "sample search: $(echo "$hits" | wc -l) hits"
/usr/bin/vuduzez-cli search --format sdf queries/carboxylic_acid.mol > "$work/hits.sdf"
mkdir "$work/imported"
: > "$work/imported.txt"
/usr/bin/vuduzez-cli import --db "$work/imported.txt" --mol-dir "$work/imported" \
  --name-field name "$work/hits.sdf" >/dev/null
[ "$(/usr/bin/vuduzez-cli list --db "$work/imported.txt" | wc -l)" = "$(echo "$hits" | wc -l)" ] \
  || { echo "the exported hits did not import"; exit 1; }
echo "export and import: $(echo "$hits" | wc -l) records"
if command -v xvfb-run >/dev/null; then
  bash "$root/tests/gui/smoke_xvfb.sh" /usr/bin/vuduzez "$work/sample" | tail -n 1
fi
man -w vuduzez-cli >/dev/null
man -w vuduzez >/dev/null
got=$(/usr/bin/vuduzez-cli --help)
echo "$got" | grep -q '^usage:' || { echo "--help printed no usage"; exit 1; }
cd "$root"

echo "== remove"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y vuduzez >/dev/null
[ ! -e /usr/bin/vuduzez-cli ] || { echo "/usr/bin/vuduzez-cli left behind"; exit 1; }
echo "package test passed"
