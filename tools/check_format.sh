#!/usr/bin/env bash
# Fails when clang-format would change a C++ file of the tree (.clang-format
# holds the style), listing those files; CI runs it before the builds.
# Pinned to clang-format 14, which tools/setup.sh installs and which the
# tree is formatted with: other versions lay out some constructs otherwise.
#   bash tools/check_format.sh          check
#   bash tools/check_format.sh --fix    format the listed files in place
set -euo pipefail
cd "$(dirname "$0")/.."

format=clang-format-14
if ! command -v "$format" >/dev/null; then
  echo "check_format: $format is missing (tools/setup.sh installs it)" >&2
  exit 1
fi

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) \
                         -type f -print | sed 's|^\./||' | sort)
fi

changed=()
for file in "${files[@]}"; do
  if ! "$format" --style=file "$file" | cmp -s - "$file"; then
    changed+=("$file")
  fi
done

if [ ${#changed[@]} -eq 0 ]; then
  echo "check_format: ${#files[@]} files formatted as $format formats them"
  exit 0
fi
if [ "${1:-}" = "--fix" ]; then
  "$format" --style=file -i "${changed[@]}"
  printf 'check_format: formatted %s\n' "${changed[@]}"
  exit 0
fi
printf 'check_format: %s would change (bash tools/check_format.sh --fix)\n' "${changed[@]}" >&2
exit 1
