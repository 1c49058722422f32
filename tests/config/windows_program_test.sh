#!/usr/bin/env bash
# windows_program_test.sh RUNNER PREFIX PROGRAM.exe - tarvell-config.exe itself under Wine: a CSV
# book goes in through standard input and comes back through standard output byte for byte
# (binary streams: no CR added before an LF, none taken), with a Japanese name.
set -euo pipefail
runner=$1 prefix=$2 program=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'No,氏名,メールアドレス\r\n1,山田,yamada@example.jp\r\n' >"$dir/in.csv"
"$runner" "$prefix" "$program" --dir "Z:$dir" book import - \
  <"$dir/in.csv" >/dev/null
"$runner" "$prefix" "$program" --dir "Z:$dir" book export >"$dir/out.csv"
if ! cmp -s "$dir/in.csv" "$dir/out.csv"; then
  echo "book export differs from the imported CSV:"
  od -c "$dir/out.csv" | head -n 8
  exit 1
fi
echo "book export gives back the imported CSV's bytes"
