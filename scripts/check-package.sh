#!/usr/bin/env bash
# Builds the release tree (build-pkg), installs it into a staging folder and checks what lands
# there: the file list, the menu entry and AppStream metadata through their validators, the
# icons' sizes, the manual pages through man, and that the staged programs start. Then builds
# the Debian package and checks its contents, fields and dependencies, and that apt could
# install it on this machine (a simulation: nothing is installed).
#   scripts/check-package.sh            the checks above (./test.sh runs this)
#   scripts/check-package.sh --install  also installs the package for real, starts the
#                                       installed program and removes the package again
#   scripts/check-package.sh [--install] ARCH
#                                       the same for a Debian architecture ARCH (arm64): for one
#                                       other than this machine's, cross-compiled with the
#                                       toolchain file cmake/<triplet>.cmake into build-pkg-ARCH;
#                                       its programs start through the user-mode emulator, and
#                                       the real install (--install) is skipped
set -euo pipefail
cd "$(dirname "$0")/.."

install_for_real=0
if [ "${1:-}" = "--install" ]; then
  install_for_real=1
  shift
fi
native=$(dpkg --print-architecture)
arch=${1:-$native}

BUILD=build-pkg
CONFIGURE=()
RUN=()  # what runs one of the package's programs here
if [ "$arch" != "$native" ]; then
  triplet=$(dpkg-architecture -a "$arch" -q DEB_HOST_MULTIARCH 2>/dev/null) ||
    { echo "check-package: no Debian architecture $arch" >&2; exit 2; }
  toolchain=cmake/$triplet.cmake
  [ -f "$toolchain" ] || { echo "check-package: no toolchain file $toolchain for $arch" >&2; exit 2; }
  BUILD=build-pkg-$arch
  CONFIGURE=(-DCMAKE_TOOLCHAIN_FILE="$toolchain")
  cpu=$(dpkg-architecture -a "$arch" -q DEB_HOST_GNU_CPU 2>/dev/null)
  RUN=("$(command -v "qemu-$cpu")") || { echo "check-package: no qemu-$cpu to start $arch programs" >&2; exit 2; }
fi
APP_ID=local.quill.controller
ICON_SIZES=(16 22 24 32 48 64 128 256)
STAGE=$BUILD/stage
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

checks=0
fail() {
  echo "check-package: FAILED: $*" >&2
  exit 1
}
ok() {
  checks=$((checks + 1))
  echo "check-package: ok: $*"
}

# --- Build and stage ---------------------------------------------------------------------
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { nice -n 10 cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_TESTS=OFF \
         -DQUILL_BENCH=OFF "${CONFIGURE[@]}" && nice -n 10 cmake --build "$BUILD"; } >"$log" 2>&1; then
  cat "$log" >&2
  fail "the release build"
fi
rm -rf "$STAGE"
DESTDIR=$PWD/$STAGE cmake --install "$BUILD" --prefix /usr >"$log" 2>&1 || { cat "$log" >&2; fail "cmake --install"; }
ok "release build installed into $STAGE"

# --- The staged files ----------------------------------------------------------------------
expected=(
  usr/bin/quill
  usr/bin/quill-sim
  usr/bin/quill-ctl
  usr/share/dbus-1/interfaces/local.quill.Controller1.xml
  "usr/share/applications/$APP_ID.desktop"
  "usr/share/metainfo/$APP_ID.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$APP_ID.svg"
  usr/share/man/man1/quill.1.gz
  usr/share/man/man1/quill-sim.1.gz
  usr/share/man/man1/quill-ctl.1.gz
  usr/share/doc/quill/README.md
  usr/share/doc/quill/USER-GUIDE.md
  usr/share/doc/quill/ARCHITECTURE.md
  usr/share/doc/quill/PACKAGING.md
  usr/share/doc/quill/REMOTE-CONTROL.md
  usr/share/doc/quill/copyright
)
for s in "${ICON_SIZES[@]}"; do expected+=("usr/share/icons/hicolor/${s}x$s/apps/$APP_ID.png"); done
want=$(printf '%s\n' "${expected[@]}" | sort)
have=$(cd "$STAGE" && find . -type f -o -type l | sed 's|^\./||' | sort)
[ "$want" = "$have" ] || fail "staged files differ from the expected list:
$(diff <(echo "$want") <(echo "$have") || true)"
for f in usr/bin/quill usr/bin/quill-sim usr/bin/quill-ctl; do [ -x "$STAGE/$f" ] || fail "$f is not executable"; done
ok "${#expected[@]} files, each where it belongs"

# The programs are built for the package's architecture.
case "$arch" in
  amd64) machine="x86-64" ;;
  arm64) machine="ARM aarch64" ;;
  *) machine="" ;;
esac
if [ -n "$machine" ]; then
  for f in usr/bin/quill usr/bin/quill-sim usr/bin/quill-ctl; do
    desc=$(file -b "$STAGE/$f")
    [[ "$desc" == "ELF 64-bit LSB pie executable, $machine,"* ]] || fail "$f for $arch is: $desc"
  done
  ok "programs are $machine executables"
fi

for s in "${ICON_SIZES[@]}"; do
  desc=$(file -b "$STAGE/usr/share/icons/hicolor/${s}x$s/apps/$APP_ID.png")
  case "$desc" in
    "PNG image data, $s x $s,"*) ;;
    *) fail "the ${s}x$s icon is: $desc" ;;
  esac
done
ok "icons are PNGs of their folder's size"

# The validators print hints (desktop-file-validate) and infos (appstreamcli) for choices made
# on purpose (Utility with HamRadio; an id under .local); errors and warnings fail.
out=$(desktop-file-validate "$STAGE/usr/share/applications/$APP_ID.desktop" 2>&1) ||
  fail "desktop-file-validate: $out"
if grep -q -v -e ': hint: ' -e '^$' <<<"$out"; then fail "desktop-file-validate: $out"; fi
ok "desktop-file-validate"
out=$(appstreamcli validate --no-net "$STAGE/usr/share/metainfo/$APP_ID.metainfo.xml" 2>&1) ||
  fail "appstreamcli validate: $out"
if grep -Eq '^(E|W):' <<<"$out"; then fail "appstreamcli validate: $out"; fi
# The tree as a whole: the metadata's launchable names a menu entry that is installed.
out=$(appstreamcli validate-tree --no-net "$STAGE" 2>&1) || fail "appstreamcli validate-tree: $out"
if grep -Eq '^ *(E|W):' <<<"$out"; then fail "appstreamcli validate-tree: $out"; fi
ok "appstreamcli validate --no-net, validate-tree"

# The copyright file in the machine-readable format: its header first, a Files: * paragraph
# with Copyright and License, and a text for every licence named that is no standard one.
copyright="$STAGE/usr/share/doc/quill/copyright"
head -n1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright: no Format header first"
out=$(awk '
  BEGIN { RS = ""; FS = "\n" }
  NR == 1 { next }
  $1 ~ /^Files: / {
    if ($1 == "Files: *") star = 1
    c = l = 0
    for (i = 1; i <= NF; i++) {
      if ($i ~ /^Copyright: /) c = 1
      if ($i ~ /^License: /) { l = 1; named[substr($i, 10)] = 1 }
    }
    if (!(c && l)) bad = "a Files paragraph lacks Copyright or License"
    next
  }
  $1 ~ /^License: / { if (NF > 1 && $2 ~ /^ /) texts[substr($1, 10)] = 1 }
  END {
    if (!star) bad = "no Files: * paragraph"
    for (n in named) if (n ~ /^LicenseRef-/ && !(n in texts)) bad = "no text for " n
    print bad
  }' "$copyright")
[ -z "$out" ] || fail "copyright: $out"
ok "copyright file in the machine-readable format"

for page in quill quill-sim quill-ctl; do
  err=$(mktemp)
  text=$(MANWIDTH=80 MANPAGER=cat man --warnings -l "$STAGE/usr/share/man/man1/$page.1.gz" 2>"$err") ||
    { cat "$err" >&2; rm -f "$err"; fail "man -l $page.1.gz"; }
  if [ -s "$err" ]; then cat "$err" >&2; rm -f "$err"; fail "man -l $page.1.gz warns"; fi
  rm -f "$err"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS SIGNALS "EXIT STATUS" "SEE ALSO"; do
    grep -q "^$section\$" <<<"$text" || fail "$page(1) has no $section section"
  done
done
ok "man pages render without warnings"

# --version is answered without a display; the other checks run on the offscreen platform.
no_display=(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY)
version=$("${no_display[@]}" "${RUN[@]}" "$STAGE/usr/bin/quill" --version 2>/dev/null) || fail "staged quill --version"
[ "$version" = "quill 1.0" ] || fail "staged quill --version printed: $version"
"${RUN[@]}" "$STAGE/usr/bin/quill-sim" --help >/dev/null || fail "staged quill-sim --help"
"${RUN[@]}" "$STAGE/usr/bin/quill-ctl" --help >/dev/null || fail "staged quill-ctl --help"
# The installed interface is well-formed XML naming the interface the program serves.
grep -q '<interface name="local.quill.Controller1">' "$STAGE/usr/share/dbus-1/interfaces/local.quill.Controller1.xml" ||
  fail "the installed interface file does not describe local.quill.Controller1"
# The translations come built into the programs: a German locale gets German help.
for prog in quill quill-ctl; do
  help=$(LC_ALL=de_DE.UTF-8 "${no_display[@]}" "${RUN[@]}" "$STAGE/usr/bin/$prog" --help 2>/dev/null) ||
    fail "staged $prog --help in German"
  grep -q "Optionen:" <<<"$help" || fail "staged $prog --help under LC_ALL=de_DE.UTF-8 is not German: $help"
done
for lang in de es ja; do
  grep -q "^Name\[$lang\]=" "$STAGE/usr/share/applications/$APP_ID.desktop" || fail "the menu entry has no Name[$lang]"
  grep -q "<summary xml:lang=\"$lang\">" "$STAGE/usr/share/metainfo/$APP_ID.metainfo.xml" ||
    fail "the metadata have no summary in $lang"
done
ok "staged programs start ($version${RUN:+, through ${RUN[0]##*/}}), speak German, name themselves in de, es, ja"

# --- The Debian package --------------------------------------------------------------------
rm -f "$BUILD"/quill_*.deb
(cd "$BUILD" && cpack -G DEB) >"$log" 2>&1 || { cat "$log" >&2; fail "cpack -G DEB"; }
debs=("$BUILD"/quill_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single quill_*.deb"
deb=${debs[0]}
[ "$(basename "$deb")" = "quill_1.0_$arch.deb" ] || fail "package file name: $deb"

in_deb=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort)
[ "$in_deb" = "$want" ] || fail "package contents differ from the staged files:
$(diff <(echo "$want") <(echo "$in_deb") || true)"
ok "package holds exactly the installed files"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quill ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.0 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = hamradio ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
# What the programs link, as dpkg-shlibdeps names it, each with a lowest version.
for lib in libc6 libstdc++6 libgcc-s1 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libudev1; do
  [[ ", $depends" == *", $lib (>= "* ]] || fail "Depends lacks $lib: $depends"
done
for pkg in qt6-wayland qt6-translations-l10n fonts-noto-cjk; do
  [[ ", $(field Recommends)," == *", $pkg,"* ]] || fail "Recommends lacks $pkg: $(field Recommends)"
done
ok "package fields; Depends: $depends; Recommends: $(field Recommends)"

# apt works out the dependencies from the package file as it would on a fresh install (for a
# foreign architecture, from that architecture's packages: the cross build's install set adds it).
sim=$(apt-get install --simulate --no-install-recommends "./$deb" </dev/null 2>&1) ||
  fail "apt-get install --simulate: $sim"
grep -Eq "^Inst quill(:$arch)? " <<<"$sim" || fail "apt-get install --simulate would not install quill: $sim"
ok "apt-get would install it"

if [ "$install_for_real" -eq 1 ] && [ "$arch" != "$native" ]; then
  echo "check-package: skipped: installing and starting the package (it is for $arch, this machine is $native)"
elif [ "$install_for_real" -eq 1 ]; then
  if dpkg-query -W -f='${Status}' quill 2>/dev/null | grep -q "install ok installed"; then
    fail "a quill package is installed already; remove it first"
  fi
  if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  trap 'rm -f "$log"; "${SUDO[@]}" apt-get remove -y quill </dev/null >/dev/null 2>&1 || true' EXIT
  "${SUDO[@]}" apt-get install -y --no-install-recommends "./$deb" </dev/null >"$log" 2>&1 ||
    { cat "$log" >&2; fail "apt-get install ./$deb"; }
  [ "$(command -v quill)" = /usr/bin/quill ] || fail "quill is not /usr/bin/quill"
  version=$("${no_display[@]}" quill --version 2>/dev/null) || fail "installed quill --version"
  [ "$version" = "quill 1.0" ] || fail "installed quill --version printed: $version"
  quill-sim --help >/dev/null || fail "installed quill-sim --help"
  quill-ctl --help >/dev/null || fail "installed quill-ctl --help"
  man -w quill >/dev/null || fail "man does not find quill(1)"
  "${SUDO[@]}" apt-get remove -y quill </dev/null >"$log" 2>&1 || { cat "$log" >&2; fail "apt-get remove quill"; }
  [ ! -e /usr/bin/quill ] || fail "/usr/bin/quill is still there after the removal"
  ok "installed with apt-get, started ($version), removed"
fi

echo "check-package: all $checks checks passed"
