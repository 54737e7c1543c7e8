#!/usr/bin/env bash
# Runs every command the README shows, as a reader would: each ```sh and
# ```python block must succeed; in a ```console block each "$ COMMAND" must
# print the lines under it ("..." standing for any lines); a ```cpp block is
# the host.cpp of the ```sh block after it. They run in order in a scratch
# $HOME with the build first in PATH, `make` run for that build and `sudo`
# installing into a staging root; the README's example files are made
# afresh before each block.
#
#   readme_test.sh SOURCE BUILD
set -uo pipefail
source=$(cd "$1" && pwd) build=$(cd "$2" && pwd)
work="$(mktemp -d "${TMPDIR:-/tmp}/chkimport-readme-XXXXXX")"
trap 'rm -rf "$work"' EXIT
ln -s "$build" "$work/build"
export HOME="$work" XDG_CONFIG_HOME="$work/.config" MANPAGER=cat PAGER=cat
export PATH="$build:$PATH" PYTHONPATH="$build/python" PYTHONDONTWRITEBYTECODE=1
unset NO_COLOR VISUAL EDITOR LC_ALL LANG LANGUAGE LC_MESSAGES COLUMNS
make() { command make -C "$source" BUILD="$build" "$@"; }
sudo() { DESTDIR="$work/staging" "$@"; }
export -f make sudo
export source build work

examples() {
  rm -f "$work"/*.db "$work"/*.txt
  cp "$source/examples/patient.rec" "$work/FORM.REC"
  cp "$source/examples/patient.chk" "$work/FORM.CHK"
  cp "$source/examples/patient.rec" "$work/STUDENT.REC"
  cp "$source/examples/patient.chk" "$work/student.chk"
  cp "$source/examples/common.chk" "$work/common.chk"
  printf 'AGE\r\n  MUSTENTER\r\n  RANGE 0 120\r\nEND\r\nSEX\r\n  LEGAL\r\n    M\r\n    F\r\n  END\r\nEND\r\nWEIGHT\r\nEND\r\n' \
    >"$work/form.chk"
  sqlite3 "$work/form.db" "CREATE TABLE viewForm (Name TEXT, PageNumber INTEGER, Checkcode TEXT, Type TEXT,
      Formatstring TEXT, Lists TEXT);
    INSERT INTO viewForm VALUES ('Age', 1, 'IF AGE > 65 THEN' || char(13, 10) || 'GOTO RETIRED' || char(13, 10) ||
      'END' || char(13, 10), 'NUMBER', '###', NULL);
    INSERT INTO viewForm VALUES ('Sex', 1, NULL, 'TEXT', NULL, NULL);"
}

# Whether `got` is `expected`, where a line "..." of `expected` stands for
# any number of lines.
matches() {
  python3 - "$1" "$2" <<'EOF'
import re, sys
got, expected = sys.argv[1], sys.argv[2]
pattern = "".join(r"(?:.*\n)*?" if line == "..." else re.escape(line) + r"\n" for line in expected.split("\n"))
sys.exit(0 if re.fullmatch(pattern, got + "\n") else 1)
EOF
}

passed=0 failed=0
fail() {
  echo "FAILED: README line $1: $2" >&2
  failed=$((failed + 1))
}

# The fenced blocks, each as: kind, line number, then its text.
blocks="$work/blocks"
mkdir -p "$blocks"
awk -v dir="$blocks" '
  /^```[a-z]+$/ && !inside { inside = 1; n++; file = sprintf("%s/%03d.%s.%d", dir, n, substr($0, 4), NR); next }
  /^```/ && inside { inside = 0; printf "" >> file; close(file); next }
  /^```$/ && !inside { skipping = !skipping; next }
  inside { print >> file }
' "$source/README.md"

cd "$work"
for file in "$blocks"/*; do
  name=${file##*/}
  kind=${name#*.} kind=${kind%%.*} line=${name##*.}
  examples
  case $kind in
    sh)
      if output=$(bash -e "$file" 2>&1); then passed=$((passed + 1)); else fail "$line" "$output"; fi ;;
    python)
      if output=$(python3 "$file" 2>&1); then passed=$((passed + 1)); else fail "$line" "$output"; fi ;;
    cpp) cp "$file" "$work/host.cpp" ;;
    console)
      command="" expected=""
      check() {
        [ -n "$command" ] || return 0
        local got
        got=$(bash -c "$command" 2>&1)
        if matches "$got" "$expected"; then passed=$((passed + 1)); else
          fail "$line" "\$ $command
expected:
$expected
got:
$got"
        fi
      }
      while IFS= read -r text; do
        if [[ $text == '$ '* ]]; then
          check
          command=${text#\$ } expected=""
        else
          expected+="${expected:+$'\n'}$text"
        fi
      done <"$file"
      check ;;
  esac
done

echo "README: $passed commands passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 10 ]
