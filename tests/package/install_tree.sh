#!/usr/bin/env bash
# The module as a host's developer and a user get it: the tree that
# `cmake --install` lays out, the Debian packages that `cpack -G DEB` makes,
# and an example host built against the installed tree. The installed
# programs run while the source and build trees are hidden from them (a
# private mount namespace lays an empty folder over both), so nothing of the
# build is used.
# Usage: install_tree.sh CMAKE CPACK BUILD_DIR SOURCE_DIR
# Exits 77 (skipped) where no mount namespace can be had.
set -u
if [ "${1:-}" == "--hidden" ]; then
  PHASE=hidden
  shift
  WORK=$1 SOURCE=$2 BUILD=$3
  source "$WORK/check.sh"
else
  PHASE=outer
  CMAKE=$1 CPACK=$2 BUILD=$(cd "$3" && pwd) SOURCE=$(cd "$4" && pwd)
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  source "$(dirname "$0")/../lib/check.sh"
fi
PREFIX=$WORK/prefix
ROOT=$WORK/root # the packages, unpacked with dpkg -x

# contains DESCRIPTION TEXT PATTERN... checks that every pattern (an extended
# regular expression) matches a line of TEXT.
contains() {
  local description=$1 text=$2
  shift 2
  local pattern missing=()
  for pattern in "$@"; do
    grep -Eq -- "$pattern" <<<"$text" || missing+=("$pattern")
  done
  check "$description" "" "${missing[*]}"
}

# lacks DESCRIPTION TEXT PATTERN: no line of TEXT matches.
lacks() {
  check "$1" "" "$(grep -E -- "$3" <<<"$2")"
}

outer_phase() {
  "$CMAKE" --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" 2>&1
  check "cmake --install exit status" 0 $?
  local libdir
  libdir=$(dirname "$(find "$PREFIX" -name 'libprivilege.so.1' | head -n1)")
  check "the module's SONAME" "libprivilege.so.1" \
    "$(readelf -d "$libdir/libprivilege.so.1" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')"
  check "the development link leads to the versioned module" "$(readlink -f "$libdir/libprivilege.so.1")" \
    "$(readlink -f "$libdir/libprivilege.so")"
  local tree
  tree=$(cd "$PREFIX" && find . -type f -o -type l)
  contains "the installed tree" "$tree" \
    '^\./bin/privhost$' '^\./include/privilege/privilege\.h$' '^\./include/fennix/fennix\.h$' \
    '^\./include/fennix/boundary/host\.h$' '/libfennix\.so\.1$' '/libquillet\.so\.1$' \
    '/cmake/privilege/privilegeConfig\.cmake$' '/cmake/privilege/privilegeConfigVersion\.cmake$' \
    '/cmake/privilege/privilegeTargets\.cmake$' '/pkgconfig/privilege\.pc$' \
    '^\./share/privhost/db/schema-sqlite\.sql$' '^\./share/privhost/db/schema-postgresql\.sql$' \
    '^\./share/privhost/apps\.json$' '^\./share/privhost/Image/Tradition/login\.jpg$' \
    '^\./share/privhost/Image/Tradition/login-mulcomp\.jpg$' '^\./share/privhost/Image/Tradition/login-agency\.jpg$'
  # The framework's test seams stay with the tests: neither their header nor
  # any of their declarations reaches a host's developer.
  lacks "the installed tree holds no test header" "$tree" '/testing\.h$'
  local hooks='FailStatementsContaining|ClearStatementFailures|QueueAnswer|ShownMessages?|ClearShownMessages'
  hooks+='|MessageKind|SetStatementHook|ExecutedStatements|ClearExecutedStatements|CachedStatementCount'
  hooks+='|SetNow|SetCapsLock'
  check "the installed headers declare no test seam" "" \
    "$(grep -rnwE "$hooks" "$PREFIX/include" 2>&1)"

  # Where the build put it, privhost keeps its home beside itself and never
  # reaches for the user's data folder (a copy with its resources beside it
  # stands for the build's, whose own home must stay untouched).
  mkdir -p "$WORK/built"
  cp "$BUILD/host/app/privhost" "$WORK/built/" && cp -r "$BUILD/host/app/resources" "$WORK/built/"
  HOME=$WORK/built-home XDG_DATA_HOME= "$WORK/built/privhost" init --admin-password x >/dev/null 2>&1
  check "privhost from the build tree: init exit status" 0 $?
  check "privhost from the build tree keeps its home beside itself" "yes no" \
    "$([ -s "$WORK/built/apphome/data/privilege.db" ] && echo yes) $([ -e "$WORK/built-home" ] && echo yes || echo no)"

  mkdir -p "$WORK/deb"
  (cd "$WORK/deb" && "$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/deb") >"$WORK/cpack.log" 2>&1
  check "cpack -G DEB exit status" 0 $?
  local debs
  debs=$(cd "$WORK/deb" && ls ./*.deb 2>/dev/null | sed 's|^\./||' | sort | tr '\n' ' ')
  check "the three packages" "libprivilege-dev_1.0-1_amd64.deb libprivilege1_1.0-1_amd64.deb privhost_1.0-1_amd64.deb " "$debs"
  [ -n "$debs" ] || cat "$WORK/cpack.log"

  local runtime=$WORK/deb/libprivilege1_1.0-1_amd64.deb dev=$WORK/deb/libprivilege-dev_1.0-1_amd64.deb
  local host=$WORK/deb/privhost_1.0-1_amd64.deb contents
  contents=$(dpkg-deb --contents "$runtime" 2>&1)
  contains "the runtime package's files" "$contents" 'usr/lib/.*libprivilege\.so\.1\.0$' \
    'usr/lib/.*libprivilege\.so\.1 -> libprivilege\.so\.1\.0$' 'usr/lib/.*libfennix\.so\.1' 'usr/lib/.*libquillet\.so\.1' \
    'usr/share/doc/libprivilege1/copyright$'
  lacks "the runtime package holds no development files" "$(awk '{print $6}' <<<"$contents")" \
    '\.so$|usr/include|cmake|pkgconfig'
  contents=$(dpkg-deb --contents "$dev" 2>&1)
  contains "the development package's files" "$contents" 'usr/include/privilege/privilege\.h$' \
    'usr/include/fennix/fennix\.h$' 'usr/include/fennix/boundary/host\.h$' \
    'usr/lib/.*libprivilege\.so -> libprivilege\.so\.1$' 'usr/lib/.*cmake/privilege/privilegeConfig\.cmake$' \
    'usr/lib/.*cmake/privilege/privilegeTargets\.cmake$' 'usr/lib/.*pkgconfig/privilege\.pc$' \
    'usr/share/doc/libprivilege-dev/copyright$'
  lacks "the development package holds no library of its own" "$(awk '{print $6}' <<<"$contents")" '\.so\.1'
  contents=$(dpkg-deb --contents "$host" 2>&1)
  contains "the host package's files" "$contents" 'usr/bin/privhost$' 'usr/share/privhost/db/schema-sqlite\.sql$' \
    'usr/share/privhost/apps\.json$' 'usr/share/privhost/Image/Tradition/login\.jpg$' \
    'usr/share/man/man1/privhost\.1\.gz$' 'usr/share/doc/privhost/copyright$'

  # Dependencies from the shared-library analysis, plus what it cannot see:
  # Qt's SQLite driver plug-in and the module privhost loads at run time.
  contains "the runtime package's dependencies" "$(dpkg-deb --field "$runtime" Depends)" \
    'libqt6sql6-sqlite' 'libqt6widgets6' 'libqt6sql6( |,|$)' 'libstdc\+\+6' 'libc6'
  contains "the development package's dependencies" "$(dpkg-deb --field "$dev" Depends)" 'libprivilege1 \(= 1\.0-1\)'
  contains "the host package's dependencies" "$(dpkg-deb --field "$host" Depends)" \
    'libprivilege1 \(= 1\.0-1\)' 'libqt6widgets6' 'libc6'
  check "the runtime package's shlibs" "libprivilege 1 libprivilege1 (>= 1.0-1)" \
    "$(dpkg-deb --ctrl-tarfile "$runtime" | tar -xO ./shlibs 2>/dev/null | grep '^libprivilege ')"

  mkdir -p "$ROOT"
  local deb
  for deb in "$runtime" "$dev" "$host"; do
    dpkg -x "$deb" "$ROOT" || check "dpkg -x $(basename "$deb")" 0 1
  done

  # Debian's own checks of the packages: an error fails, warnings are shown.
  if command -v lintian >/dev/null 2>&1; then
    local lint status
    lint=$(lintian --tag-display-limit 0 "$runtime" "$dev" "$host" 2>&1)
    status=$?
    check "lintian finds no error in the packages" "" "$(grep '^E: ' <<<"$lint")"
    check "lintian's exit status" 0 $status
    grep -v '^E: ' <<<"$lint" | sed 's/^/lintian: /'
  else
    check "lintian is installed (Debian package lintian)" yes no
  fi

  # The manual page in the host package is made from privhost's own help:
  # it shows the usage of every command as the command prints it.
  local page=$ROOT/usr/share/man/man1/privhost.1.gz rendered command usage
  check "the copyright file is machine-readable" \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
    "$(head -n1 "$ROOT/usr/share/doc/privhost/copyright" 2>&1)"
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>&1 | sed 's/\xe2\x88\x92/-/g')
  check "the manual page names privhost" yes "$(grep -q '^NAME' <<<"$rendered" && grep -q 'privhost' <<<"$rendered" && echo yes)"
  for command in init call passwd export import copy; do
    usage=$("$BUILD/host/app/privhost" "$command" --help | head -n1)
    check "the manual page shows 'privhost $command --help'" yes \
      "$([ -n "$usage" ] && grep -qF -- "$usage" <<<"$rendered" && echo yes)"
  done
  check "the manual page lists the exit statuses" yes "$(grep -qF 'exit status: 0 done' <<<"$rendered" && echo yes)"

  # What the hidden phase needs, copied out of the trees it must not see.
  cp -r "$SOURCE/examples/host" "$WORK/example"
  cp "$SOURCE/tests/exports/check_export_table.cmake" "$(dirname "$0")/../lib/check.sh" "$WORK/"
  cp "$0" "$WORK/install_tree.sh"

  # A build tree inside the source tree vanishes with it.
  local hide="mount -t tmpfs -o size=1m priv-hidden \"$SOURCE\" && \
    { [ ! -d \"$BUILD\" ] || mount -t tmpfs -o size=1m priv-hidden \"$BUILD\"; } && \
    exec env -u LD_LIBRARY_PATH -u PRIVHOST_MODULE -u XDG_DATA_HOME -u PKG_CONFIG_PATH HOME=\"$WORK/home\" \
      bash \"$WORK/install_tree.sh\" --hidden \"$WORK\" \"$SOURCE\" \"$BUILD\""
  # A mount namespace of its own, or one inside a user namespace where the
  # first is not allowed (no root, or a container without the capability).
  local unshare=(unshare --mount --propagation private)
  if ! "${unshare[@]}" true 2>/dev/null; then
    unshare+=(--map-root-user)
    if ! "${unshare[@]}" true 2>/dev/null; then
      echo "no private mount namespace here; the installed programs cannot be run apart from the build"
      [ "$failures" -eq 0 ] && exit 77
      finish
      exit
    fi
  fi
  local out
  out=$("${unshare[@]}" bash -c "$hide" 2>&1)
  printf '%s\n' "$out" | grep -v ' passed, .* failed$'
  # The hidden phase's tally joins this one.
  local tally
  tally=$(printf '%s\n' "$out" | sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p' | tail -n1)
  if [ -n "$tally" ]; then
    passes=$((passes + ${tally% *}))
    failures=$((failures + ${tally#* }))
  fi
  check "the hidden phase ran to its end" yes "$([ -n "$tally" ] && echo yes)"
}

hidden_phase() {
  check "the source and build trees are out of sight" "" "$(ls -A "$SOURCE" 2>/dev/null; ls -A "$BUILD" 2>/dev/null)"
  local privhost=$PREFIX/bin/privhost libdir
  libdir=$(dirname "$(find "$PREFIX" -name 'libprivilege.so.1' | head -n1)")

  # nm -D of the installed and of the packed (stripped) module: exactly the
  # seven exports.
  local module
  for module in "$libdir/libprivilege.so.1" "$(find "$ROOT" -name 'libprivilege.so.1' | head -n1)"; do
    cmake -DMODULE="$module" -P "$WORK/check_export_table.cmake" >"$WORK/nm.log" 2>&1
    check "$module exports exactly the seven" 0 $?
  done

  local out
  out=$("$privhost" --help 2>&1)
  check "installed privhost --help exit status" 0 $?
  check "installed privhost --help prints the usage" "usage: privhost [--db URL] [--app-dir DIR] [--apps FILE] [--company QYID]" \
    "$(head -n1 <<<"$out")"

  # The default app dir is the user's data folder; a relative XDG_DATA_HOME
  # is no XDG data folder and is passed over.
  local xdg expected
  for xdg in "" "$WORK/xdg" "relative/xdg"; do
    case $xdg in
    /*) expected=$xdg/privhost ;;
    *) expected=$WORK/home/.local/share/privhost ;;
    esac
    rm -rf "$WORK/home" "$WORK/xdg"
    (cd "$WORK" && XDG_DATA_HOME=$xdg "$privhost" init --admin-password 'x y' >/dev/null 2>&1)
    check "init with XDG_DATA_HOME='$xdg' exit status" 0 $?
    check "init with XDG_DATA_HOME='$xdg' makes its database and apps file in $expected" "yes yes" \
      "$([ -s "$expected/data/privilege.db" ] && echo yes) $([ -s "$expected/apps.json" ] && echo yes)"
    check "the module beside the installed privhost signs in (XDG_DATA_HOME='$xdg')" \
      "LoadLoginForm 1 CZY_DM=admin;CZY_LB=0" \
      "$(cd "$WORK" && XDG_DATA_HOME=$xdg "$privhost" call LoadLoginForm 'pamCZY_DM=admin;pamPWD=x y' 2>&1)"
  done

  # The packages unpacked into a folder work from there too.
  out=$("$ROOT/usr/bin/privhost" --help 2>&1)
  check "privhost --help from the unpacked packages exit status" 0 $?
  check "privhost --help from the unpacked packages prints the usage" \
    "usage: privhost [--db URL] [--app-dir DIR] [--apps FILE] [--company QYID]" "$(head -n1 <<<"$out")"
  "$ROOT/usr/bin/privhost" --app-dir "$WORK/debapp" init --admin-password p >/dev/null 2>&1
  check "privhost init from the unpacked packages" 0 $?
  check "privhost call from the unpacked packages" "LoadLoginForm 1 CZY_DM=admin;CZY_LB=0" \
    "$("$ROOT/usr/bin/privhost" --app-dir "$WORK/debapp" call LoadLoginForm 'pamCZY_DM=admin;pamPWD=p' 2>&1)"

  # The example host, built with find_package against the installed tree.
  cmake -S "$WORK/example" -B "$WORK/example-build" -G Ninja -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_C_FLAGS="-Wall -Wextra -Wpedantic -Werror" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic -Werror" \
    >"$WORK/example.log" 2>&1 && cmake --build "$WORK/example-build" >>"$WORK/example.log" 2>&1
  check "the example host builds against the installed tree" 0 $?
  [ -x "$WORK/example-build/example_host" ] || tail -n 30 "$WORK/example.log"

  local db=sqlite:$WORK/demo.db app=$WORK/demoapp
  "$privhost" --app-dir "$app" --db "$db" init --admin-password x --demo >/dev/null 2>&1
  check "installed privhost init --demo" 0 $?
  local products=(0200 0300 0400 0500)
  out=$("$WORK/example-build/example_host" "$app" "$db" 1003 zhaomin zm2024 "${products[@]}" 2>>"$WORK/example.err")
  check "the example host's exit status" 0 $?
  check "the example host's calls" $'LoadLoginForm 1 CZY_DM=zhaomin;CZY_LB=GW00001\nInitGlobalUserInfo 1 CZY_DM=zhaomin;CZY_LB=GW00001\nFilterUserAuthrz 1 authedProdcList=0200\r\n0300\r\n0400\r\n0500' \
    "$(grep -v '^withdrawn-product ' <<<"$out")"
  # privhost drives the same exports the same way: both must withdraw the same.
  local withdrawn reference
  withdrawn=$(grep '^withdrawn-product ' <<<"$out")
  reference=$("$privhost" --app-dir "$app" --db "$db" --company 1003 call --dump-apps \
    LoadLoginForm 'pamCZY_DM=zhaomin;pamPWD=zm2024' InitGlobalUserInfo 'CZY_DM=zhaomin' \
    FilterUserAuthrz "authedProdcList=$(printf '%s\n' "${products[@]}")" 2>&1 | grep '^withdrawn-product ')
  check "the example host withdraws what privhost withdraws" "$reference" "$withdrawn"
  check "the filter withdraws something here" "yes" "$([ -n "$withdrawn" ] && echo yes)"
  # A company the post is not granted: the filter's message comes back in
  # the buffer, in GBK, and reads as privhost shows it.
  out=$("$WORK/example-build/example_host" "$app" "$db" 9999 zhaomin zm2024 0200 2>>"$WORK/example.err")
  check "the example host with a refused company exit status" 1 $?
  reference=$("$privhost" --app-dir "$app" --db "$db" --company 9999 call LoadLoginForm 'pamCZY_DM=zhaomin;pamPWD=zm2024' \
    InitGlobalUserInfo 'CZY_DM=zhaomin' FilterUserAuthrz 'authedProdcList=0200' 2>&1 | grep '^FilterUserAuthrz ')
  check "the example host shows the filter's message" "$reference" "$(grep '^FilterUserAuthrz ' <<<"$out")"
  contains "the filter's message is there" "$reference" '^FilterUserAuthrz 0 authedProdcList=0200;ResultMsgStr=\[700185[0-9]{2}\].'
  out=$("$WORK/example-build/example_host" "$app" "$db" 1003 zhaomin wrong 0200 2>>"$WORK/example.err")
  check "the example host with a wrong password exit status" 1 $?
  check "the example host with a wrong password" "LoadLoginForm 0 pamCZY_DM=zhaomin;pamPWD=wrong" "$out"

  check "the C host linked through privilege::privilege" "InitGlobalUserInfo 0 CZY_DM=" \
    "$("$WORK/example-build/example_linked" 2>&1)"

  # The same C translation unit with nothing but pkg-config's flags.
  export PKG_CONFIG_PATH=$libdir/pkgconfig
  check "pkg-config's version" "1.0" "$(pkg-config --modversion privilege 2>&1)"
  local cflags libs
  cflags=$(pkg-config --cflags privilege) libs=$(pkg-config --libs privilege)
  cc -std=c99 -Wall -Wextra -Wpedantic -Werror $cflags -c "$WORK/example/example_linked.c" -o "$WORK/linked.o" &&
    cc "$WORK/linked.o" $libs -Wl,-rpath,"$(pkg-config --variable=libdir privilege)" -o "$WORK/linked" 2>"$WORK/cc.log"
  check "the C host builds with pkg-config's flags" 0 $?
  check "the C host built with pkg-config's flags" "InitGlobalUserInfo 0 CZY_DM=" "$("$WORK/linked" 2>&1)"
}

if [ "$PHASE" == hidden ]; then
  hidden_phase
else
  outer_phase
fi
finish
