#!/bin/bash
# Runs `bracken-cli inspect --json` on one corpus file and compares its output
# with the reference dump. Exits 77 (skipped) when the corpus is absent.
#   corpus_compare.sh CLI PYTHON SHARED_DIR NAME [PASSWORD]
cli=$1 python=$2 shared=$3 name=$4 password=$5
base="$shared/corpus/$name"
if [ ! -f "$base.mdb" ] || [ ! -f "$shared/tools/mdb-compare.py" ]; then
  echo "corpus file $base.mdb not present: skipped"
  exit 77
fi
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
args=(inspect --json "$base.mdb")
[ -n "$password" ] && args+=(--mdb-password "$password")
if ! "$cli" "${args[@]}" > "$actual"; then
  echo "bracken-cli inspect failed"
  exit 1
fi
"$python" "$shared/tools/mdb-compare.py" "$base.json" "$actual"
