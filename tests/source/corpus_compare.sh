#!/bin/bash
# Runs `bracken-cli inspect --json` on one corpus file and compares its output
# with the reference dump. Exits 77 (skipped) when the corpus is absent.
#   corpus_compare.sh CLI PYTHON SHARED_DIR NAME [PASSWORD]
cli=$1 python=$2 shared=$3 name=$4 password=$5
base="$shared/corpus/$name"
file="$base.mdb"
[ -f "$file" ] || file="$base.accdb"
if [ ! -f "$file" ] || [ ! -f "$shared/tools/mdb-compare.py" ]; then
  echo "corpus file $base.mdb or .accdb not present: skipped"
  exit 77
fi
actual=$(mktemp)
expected=$(mktemp)
trap 'rm -f "$actual" "$expected"' EXIT
args=(inspect --json "$file")
[ -n "$password" ] && args+=(--mdb-password "$password")
if ! "$cli" "${args[@]}" > "$actual"; then
  echo "bracken-cli inspect failed"
  exit 1
fi
# The reference reader's known gaps (complex columns it cannot read) are
# taken out of its dump first.
"$python" "$(dirname "$0")/corpus_reference_gaps.py" "$base.json" "$actual" > "$expected" || exit 1
"$python" "$shared/tools/mdb-compare.py" "$expected" "$actual"
