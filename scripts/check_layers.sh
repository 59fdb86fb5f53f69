#!/usr/bin/env bash
# Fails, naming the include line, when a file includes a layer above its own.
# The allowed arrows are read from docs/architecture.md.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A may
while read -r layer _ below; do
  may[$layer]=" $below "
done < <(grep -E '^[a-z/]+ +->' docs/architecture.md)

layer_of() {
  case $1 in
    platform/text/*) echo platform/text ;;
    */*) echo "${1%%/*}" ;;
    *) echo . ;;
  esac
}

status=0
while IFS= read -r hit; do
  file=${hit%%:*}
  rest=${hit#*:}
  line=${rest%%:*}
  text=${rest#*:}
  layer=$(layer_of "$file")
  case $layer in tests | bench | fuzz) continue ;; esac
  if [[ -z ${may[$layer]+set} ]]; then
    echo "$file:$line: $text  ($layer/ has no arrows in docs/architecture.md)"
    status=1
    continue
  fi
  [[ $text =~ [\"\<]([^\"\>]+)[\"\>] ]] || continue
  target=${BASH_REMATCH[1]}
  if [[ $text =~ include[[:space:]]*\< ]]; then
    # A system header: only the toolkit and SQLite are kept out of the low layers.
    case $layer:$target in
      engine:Q* | store:Q* | platform/text:Q* | engine:sqlite3.h)
        echo "$file:$line: $text  ($layer/ is built without it)"
        status=1
        ;;
    esac
    continue
  fi
  [[ $target == */* ]] || continue  # beside the including file
  to=$(layer_of "$target")
  if [[ $to != "$layer" && ${may[$layer]} != *" $to "* ]]; then
    echo "$file:$line: $text  ($layer/ may not include $to/)"
    status=1
  fi
done < <(git grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' -- '*.cpp' '*.h')

exit $status
