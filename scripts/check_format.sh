#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the project's .clang-format makes of it, and
# names the files. Run scripts/format.sh to fix them.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=$(clang-format --dry-run "${files[@]}" 2>&1 | grep -oE '^[^:]+:[0-9]+:[0-9]+: (warning|error)' | cut -d: -f1 | sort -u || true)
if [ -n "$bad" ]; then
  echo "format: these files differ from .clang-format (run scripts/format.sh):" >&2
  echo "$bad" >&2
  exit 1
fi
echo "format: ${#files[@]} files match .clang-format"
