#!/usr/bin/env bash
# lint.sh format CLANG_FORMAT          checks that every C++ file is clang-formatted
# lint.sh tidy CLANG_TIDY BUILD_DIR    runs clang-tidy over every C++ source the build compiles
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Without git (or outside a clone) there would be no file to check, and the check would pass: fail.
tracked=$(git ls-files -- 'src/*' 'tests/*' 'bench/*' 'fuzz/*') ||
  { echo "lint.sh: git ls-files failed; run it in a git clone of the project" >&2; exit 1; }
sources() { grep -E '\.(cpp|h)$' <<<"$tracked" || true; }

case "$1" in
  format)
    mapfile -t files < <(sources)
    [ "${#files[@]}" -eq 0 ] && exit 0
    "$2" --dry-run --Werror "${files[@]}"
    ;;
  tidy)
    # Only translation units in the build's compile commands (the fuzz targets are built by clang
    # alone and have their own checks).
    mapfile -t files < <(sources | grep -E '\.cpp$' | grep -v '^fuzz/' |
      while read -r f; do grep -q "\"file\": \"$PWD/$f\"" "$3/compile_commands.json" && echo "$f"; done)
    [ "${#files[@]}" -eq 0 ] && exit 0
    printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 "$2" -p "$3" --quiet
    ;;
  *) echo "usage: $0 format|tidy ..." >&2; exit 2 ;;
esac
