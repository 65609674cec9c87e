#!/usr/bin/env bash
# Checks what `cmake --install` and `cpack -G DEB` make of a build tree.
#   InstallTest.sh install BUILD ROOT GUI   install BUILD into ROOT/stage (prefix /usr)
#   InstallTest.sh files ROOT GUI           the staged tree holds exactly the expected files, and
#                                           the manual page formats without warnings
#   InstallTest.sh metadata ROOT            the desktop entry and the AppStream metadata validate
#   InstallTest.sh datadir ROOT             the installed velkor-cli picks its data directory
#   InstallTest.sh deb BUILD ROOT GUI       the .deb made with BUILD's package settings from the
#                                           staged tree lists its dependencies and files
# GUI is ON or OFF, as the build was configured.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The files an install holds, relative to the prefix, sorted.
expected_files() {
  local gui=$1
  {
    echo bin/velkor-cli
    echo share/man/man1/velkor-cli.1
    if [ "$gui" = ON ]; then
      echo bin/velkor
      echo share/applications/velkor.desktop
      echo share/metainfo/org.velkor.Velkor.metainfo.xml
      echo share/icons/hicolor/scalable/apps/velkor.svg
      for size in 16 24 32 48 64 128 256 512; do
        echo "share/icons/hicolor/${size}x${size}/apps/velkor.png"
      done
    fi
  } | LC_ALL=C sort
}

run_install() {
  local build=$1 root=$2
  rm -rf "$root/stage"
  DESTDIR="$root/stage" cmake --install "$build" --prefix /usr >/dev/null
}

check_files() {
  local root=$1 gui=$2 usr="$1/stage/usr"
  [ -d "$usr" ] || fail "nothing installed under $usr"
  diff -u <(expected_files "$gui") <(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' |
    LC_ALL=C sort) || fail "installed files differ from the expected list (- expected, + found)"
  local warnings
  warnings=$(groff -man -Tutf8 -ww -z "$usr/share/man/man1/velkor-cli.1" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about velkor-cli.1: $warnings"
  for program in velkor-cli $([ "$gui" = ON ] && echo velkor); do
    [ -x "$usr/bin/$program" ] || fail "bin/$program is not executable"
  done
  if [ "$gui" = ON ]; then
    for size in 16 24 32 48 64 128 256 512; do
      local png="$usr/share/icons/hicolor/${size}x${size}/apps/velkor.png"
      [[ $(file -b "$png") == "PNG image data, $size x $size,"* ]] ||
        fail "$png is not a ${size}x${size} PNG: $(file -b "$png")"
    done
    for line in Exec=velkor Icon=velkor; do
      grep -qx "$line" "$usr/share/applications/velkor.desktop" ||
        fail "the desktop entry lacks $line (the installed program and icon)"
    done
  fi
}

check_metadata() {
  local usr="$1/stage/usr"
  desktop-file-validate "$usr/share/applications/velkor.desktop" ||
    fail "desktop-file-validate rejects velkor.desktop"
  appstreamcli validate --no-net "$usr/share/metainfo/org.velkor.Velkor.metainfo.xml" ||
    fail "appstreamcli rejects the metainfo"
  grep -q '<launchable type="desktop-id">velkor.desktop</launchable>' \
    "$usr/share/metainfo/org.velkor.Velkor.metainfo.xml" ||
    fail "the metainfo does not launch velkor.desktop"
}

# Runs the staged velkor-cli with a clean environment plus the given assignments.
staged_cli() {
  local usr=$1
  shift
  local assignments=()
  while [ $# -gt 0 ] && [[ $1 == *=* ]]; do
    assignments+=("$1")
    shift
  done
  env -i PATH=/usr/bin:/bin "${assignments[@]}" "$usr/bin/velkor-cli" "$@" >/dev/null
}

check_datadir() {
  local root=$1 usr="$1/stage/usr" work="$1/datadir"
  rm -rf "$work"
  mkdir -p "$work/home"

  staged_cli "$usr" HOME="$work/home" favorites || fail "velkor-cli favorites failed"
  [[ -d $work/home/.local/share/velkor/ini && -d $work/home/.local/share/velkor/log ]] ||
    fail "no data directory under ~/.local/share/velkor"
  [[ ! -e $usr/bin/ini && ! -e $usr/bin/log ]] || fail "data written beside the program"

  staged_cli "$usr" HOME="$work/home" XDG_DATA_HOME="$work/xdg" favorites ||
    fail "velkor-cli favorites failed"
  [ -d "$work/xdg/velkor/ini" ] || fail "XDG_DATA_HOME/velkor was not used"

  staged_cli "$usr" HOME="$work/home" XDG_DATA_HOME="$work/xdg" --data-dir "$work/chosen" favorites ||
    fail "velkor-cli --data-dir favorites failed"
  [ -d "$work/chosen/ini" ] || fail "--data-dir was not used"

  # A data directory beside the program (portable use) is kept. The copy leaves the staged tree,
  # which other tests read meanwhile, untouched.
  mkdir -p "$work/portable/usr/bin/ini"
  cp "$usr/bin/velkor-cli" "$work/portable/usr/bin/"
  staged_cli "$work/portable/usr" HOME="$work/nohome" favorites || fail "velkor-cli favorites failed"
  [ -d "$work/portable/usr/bin/log" ] || fail "the data directory beside the program was not used"
  [ ! -e "$work/nohome" ] || fail "a portable copy wrote to the home folder"
}

check_deb() {
  local build=$1 root=$2 gui=$3 out="$2/deb"
  rm -rf "$out"
  mkdir -p "$out"
  # Packs the staged install as it is (no second install, no stripping, no compression) to keep
  # this quick; the package's control data is what scripts/package makes.
  (cd "$build" && cpack -G DEB -B "$out" -D CPACK_INSTALL_CMAKE_PROJECTS= \
    -D "CPACK_INSTALLED_DIRECTORIES=$root/stage;." -D CPACK_STRIP_FILES=OFF \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=none >"$out/cpack.log" 2>&1) || {
    cat "$out/cpack.log" >&2
    fail "cpack -G DEB failed"
  }
  local debs=("$out"/velkor_*.deb)
  [[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one velkor_*.deb in $out"
  local depends
  depends=$(dpkg-deb -f "${debs[0]}" Depends)
  echo "Depends: $depends"
  local required=(libc6 libstdc++6 zlib1g libonig5 fonts-ipafont-gothic)
  [ "$gui" = ON ] && required+=(libqt6core6 libqt6widgets6 libqt6webenginecore6
    libqt6webenginecore6-bin qt6-image-formats-plugins)
  local names
  names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
  for package in "${required[@]}"; do
    grep -qxF "$package" <<<"$names" || fail "Depends lacks $package"
  done
  [ "$(dpkg-deb -f "${debs[0]}" Package)" = velkor ] || fail "the package is not named velkor"
  diff -u <(expected_files "$gui" | sed 's|^|./usr/|') \
    <(dpkg-deb -c "${debs[0]}" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort) ||
    fail "the package's files differ from an install's (- expected, + packaged)"
}

mode=${1:-}
shift || true
case "$mode" in
  install) run_install "$1" "$2" ;;
  files) check_files "$1" "$2" ;;
  metadata) check_metadata "$1" ;;
  datadir) check_datadir "$1" ;;
  deb) check_deb "$1" "$2" "$3" ;;
  *) fail "unknown mode \"$mode\"" ;;
esac
