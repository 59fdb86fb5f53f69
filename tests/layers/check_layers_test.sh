#!/usr/bin/env bash
# The include check, run on a small tree of its own: includes that point down,
# or that come from tests/, pass; each kind of upward include fails, naming the
# file, the line and the include. Then the project's own tree passes.
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/scripts" "$work/docs"
cp "$src/scripts/check_layers.sh" "$work/scripts/"
cp "$src/docs/architecture.md" "$work/docs/"
cd "$work"
git init -q .

put() {  # put FILE LINE...: writes the lines and stages the file
  mkdir -p "$(dirname "$1")"
  local f=$1
  shift
  printf '%s\n' "$@" >"$f"
  git add "$f"
}

put engine/step.h '#pragma once' '#include <string>'
put store/store.cpp '#include "store/store.h"' '#include "engine/step.h"' '#include <sqlite3.h>'
put platform/text/gbk.cpp '#include "platform/text/gbk.h"' '#include <iconv.h>'
put platform/dialog.cpp '#include "platform/text/gbk.h"' '#include "res/ids.h"' '#include <QDialog>'
put search/find.cpp '#include "input/paste.h"' '#include "platform/dialog.h"' '#include "store/s.h"'
put app/main.cpp '#include "search/find.h"' '#include "app_local.h"'
put tape/main.cpp '#include "store/store.h"' '#include "engine/step.h"'
put tests/app/t.cpp '#include "app/main.h"' '#include <QTest>'
put fuzz/f.cpp '#include "search/query.h"'
if ! out=$(bash scripts/check_layers.sh); then
  echo "a tree whose includes all point down was refused:"
  echo "$out"
  exit 1
fi

failures=0
# expect FILE LINE MESSAGE: the check fails on FILE holding LINE, and says so.
expect() {
  put "$1" '// first line' "$2"
  local out
  if out=$(bash scripts/check_layers.sh); then
    echo "not refused: $1: $2"
    failures=$((failures + 1))
  elif [[ $out != *"$1:2: $2"*"$3"* ]]; then
    echo "refused without naming the line: $1: $2"
    echo "$out"
    failures=$((failures + 1))
  fi
  git rm -qf "$1"
}
expect search/up.cpp '#include "app/calc_dialog.h"' 'search/ may not include app/'
expect input/up.cpp '#include "search/report.h"' 'input/ may not include search/'
expect store/up.cpp '#  include "platform/desktop.h"' 'store/ may not include platform/'
expect tape/up.cpp '#include "input/paste.h"' 'tape/ may not include input/'
expect engine/up.cpp '#include "store/history_store.h"' 'engine/ may not include store/'
expect platform/text/up.cpp '#include "platform/desktop.h"' 'platform/text/ may not include platform/'
expect platform/up.cpp '#include "input/paste.h"' 'platform/ may not include input/'
expect res/up.h '#include "platform/dialog_units.h"' 'res/ may not include platform/'
expect engine/qt.cpp '#include <QString>' 'engine/ is built without it'
expect store/qt.cpp '#include <QtCore/QString>' 'store/ is built without it'
expect engine/db.cpp '#include <sqlite3.h>' 'engine/ is built without it'
expect newfolder/x.cpp '#include "engine/step.h"' 'newfolder/ has no arrows in docs/architecture.md'

cd "$src"
if ! out=$(bash scripts/check_layers.sh); then
  echo "the project's own includes were refused:"
  echo "$out"
  failures=$((failures + 1))
fi
exit $((failures > 0))
