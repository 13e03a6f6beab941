#!/usr/bin/env bash
# Every relative link and image in the README, the changelog and docs/*.md
# names a file that exists, and every #anchor a heading of its file (anchors
# made as GitHub makes them). Links to the web are not followed.
#   scripts/check-docs.sh [FILE.md...]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then files=("$@"); else files=(README.md CHANGELOG.md docs/*.md); fi

# Lines outside fenced code, with inline code taken out.
prose() {
  awk '/^[ \t]*```/ { fenced = !fenced; next } !fenced { gsub(/`[^`]*`/, ""); print FNR "\t" $0 }' "$1"
}

# The anchors of a file's headings, one a line (code in a heading counts).
anchors() {
  awk '
    /^[ \t]*```/ { fenced = !fenced; next }
    !fenced && /^#+[ \t]/ {
      h = $0
      sub(/^#+[ \t]+/, "", h); sub(/[ \t]+#*[ \t]*$/, "", h)
      h = tolower(h)
      gsub(/[^a-z0-9 _-]/, "", h)
      gsub(/ /, "-", h)
      if (seen[h]++) print h "-" (seen[h] - 1); else print h
    }' "$1"
}

broken=0
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$f: no such file"; broken=1; continue; }
  dir=$(dirname "$f")
  while IFS=$'\t' read -r line target; do
    case "$target" in
      http://*|https://*|mailto:*) continue ;;
    esac
    path=${target%%#*}
    anchor=""
    [ "$path" = "$target" ] || anchor=${target#*#}
    if [ -z "$path" ]; then
      resolved=$f
    else
      resolved=$dir/$path
    fi
    if [ ! -e "$resolved" ]; then
      echo "$f:$line: broken link: $target ($resolved does not exist)"
      broken=1
      continue
    fi
    if [ -n "$anchor" ]; then
      case "$resolved" in
        *.md)
          if ! anchors "$resolved" | grep -qxF -- "$anchor"; then
            echo "$f:$line: broken link: $target (no heading makes #$anchor in $resolved)"
            broken=1
          fi ;;
      esac
    fi
  done < <(prose "$f" | awk -F'\t' '{
      rest = $2
      while (match(rest, /\]\([^)]*\)/)) {
        t = substr(rest, RSTART + 2, RLENGTH - 3)
        sub(/[ \t]+"[^"]*"$/, "", t)
        print $1 "\t" t
        rest = substr(rest, RSTART + RLENGTH)
      }
    }')
done
if [ "$broken" -ne 0 ]; then
  echo "check-docs: broken links (above): fix the path or the heading it points to"
  exit 1
fi
echo "check-docs: every link and image in ${#files[@]} files resolves"
