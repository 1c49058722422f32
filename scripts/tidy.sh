#!/usr/bin/env bash
# tidy.sh [BUILD_DIR] [FILE...] - clang-tidy (.clang-tidy at the top) over the core's sources, or over
# the files given. Uses the compile database of BUILD_DIR (default build/, made by build.sh) with
# GCC's charset flags removed, which clang cannot take. Exits non-zero on any finding.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
shift || true
DB=$BUILD/tidy
mkdir -p "$DB"
sed -e 's/-finput-charset=UTF-8//g; s/-fexec-charset=CP932//g' "$BUILD/compile_commands.json" \
    > "$DB/compile_commands.json"
cd "$ROOT"
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files 'src/app/*.cpp' 'src/mail/*.cpp' 'src/send/*.cpp' \
        'src/addr/*.cpp' 'src/config/*.cpp' | while read -r f; do
            grep -q "\"file\": \"$ROOT/$f\"" "$DB/compile_commands.json" && echo "$f"; done)
fi
echo "tidy: ${#files[@]} files"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$DB" --quiet >"$log" 2>/dev/null || true
if grep -q "warning:\|error:" "$log"; then
    grep -A3 "warning:\|error:" "$log" >&2
    echo "tidy: $(grep -c 'warning:\|error:' "$log") findings" >&2
    exit 1
fi
echo "tidy: clean"
