#!/usr/bin/env bash
# Installs a build into a temporary prefix and uses what was installed as a
# user would: a C program built with pkg-config against the library, the
# program and its manual page, and the Python module.
#
#   install_test.sh BUILD LIBDIR MANDIR [PYTHONDIR PYTHON]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build=$1 libdir=$2 mandir=$3 pythondir=${4:-} python=${5:-python3}

work="$(mktemp -d "${TMPDIR:-/tmp}/chkimport-install-XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
# No settings of the user's.
export XDG_CONFIG_HOME="$work/config"

passed=0 failed=0
check() {  # check WHAT COMMAND...: counts the command's success
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $what" >&2
    failed=$((failed + 1))
  fi
}
same() { [ "$1" == "$2" ] || { printf 'expected: %s\n     got: %s\n' "$2" "$1" >&2; return 1; }; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
cli="$prefix/bin/chkimport"

# The dialogs come from a plugin that only a dialog loads: neither the
# library nor the program links Qt. With the plugin the installed program
# shows the import dialog (it is still up when the timeout ends it); without
# it, it says why, and everything silent below runs without it.
plugin="$prefix/$libdir/libchkimport-qt.so"
if [ -e "$build/libchkimport-qt.so" ]; then
  check "the dialogs' plugin is installed" test -f "$plugin"
  status=0
  QT_QPA_PLATFORM=offscreen timeout 5 "$cli" dialog >/dev/null 2>&1 || status=$?
  check "the installed program shows the dialog through the plugin" same "$status" 124
  rm "$plugin"
fi
check "neither the library nor the program links Qt" \
  same "$(ldd "$cli" "$prefix/$libdir/libchkimport.so" | grep -c -i qt)" 0
status=0
message="$(QT_QPA_PLATFORM=offscreen "$cli" dialog 2>&1)" || status=$?
check "without the plugin the dialog says why" \
  same "$status $message" "2 chkimport: the import dialog cannot be shown: the dialogs' plugin libchkimport-qt.so was not found"

# A C host, compiled and linked with what pkg-config says.
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
check "pkg-config knows the installed version" \
  same "$(pkg-config --modversion chkimport)" "$(sed -n 's/^Version: //p' "$build/chkimport.pc")"
cc -o "$work/use_library" "$here/use_library.c" $(pkg-config --cflags --libs chkimport)
printf '1 1\r\n#age          1   1  30  33   1   0   2 112  Age in years\r\n' >"$work/form.rec"
printf 'AGE\r\n  RANGE 0 99\r\nEND\r\n' >"$work/form.chk"
output="$(LD_LIBRARY_PATH="$prefix/$libdir" "$work/use_library" "$work/form.rec" "$work/form.chk" "$work/form.db")"
check "the C host runs against the installed library" same "$output" "new view: 
import: 
no table: No se indicó el nombre de la tabla"
check "the import wrote the range" \
  same "$(sqlite3 "$work/form.db" "SELECT Lists FROM viewform WHERE Name = 'age'")" "G[0,99]"

# The program, its catalogs and its manual page.
check "--version" same "$("$cli" --version)" "$("$build/chkimport" --version)"
status=0
message="$("$cli" import --chk "$work/form.chk" --db "$work/form.db" --view '' --language Spanish 2>&1)" || status=$?
check "the installed program finds the installed catalogs" \
  same "$status $message" "1 chkimport: No se indicó el nombre de la tabla"
check "the manual page is installed" cmp -s "$prefix/$mandir/man1/chkimport.1" "$build/chkimport.1"
check "the bash completion is installed" \
  cmp -s "$prefix/share/bash-completion/completions/chkimport" "$build/completions/chkimport"
check "the zsh completion is installed" cmp -s "$prefix/share/zsh/site-functions/_chkimport" "$build/completions/_chkimport"

# The Python module, from the prefix alone: it must load the library and
# the catalogs installed with it, not those of the build tree.
if [ -n "$pythondir" ]; then
  output="$(cd "$work" && PYTHONPATH="$prefix/$pythondir" "$python" -c '
import chkimport
imp = chkimport.CHKImport()
imp.set_language("Spanish")
print(chkimport.__file__)
try:
    imp.get_chk_code("form.chk", "form.db", "")
except chkimport.NoTableNameError as error:
    print(error)
maps = [line.split()[-1] for line in open("/proc/self/maps")]
print(*sorted({m for m in maps if "libchkimport.so" in m}))
print(sum("Qt6" in m for m in maps), "Qt libraries loaded")
')"
  check "the type hints are installed beside the module" test -s "$prefix/$pythondir/chkimport.pyi"
  check "the installed Python module imports and loads the installed library" same "$output" \
    "$(cd "$prefix/$pythondir" && ls "$PWD"/chkimport.*.so)
No se indicó el nombre de la tabla
$(readlink -f "$prefix/$libdir"/libchkimport.so)
0 Qt libraries loaded"
fi

echo "install: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
