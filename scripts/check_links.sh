#!/usr/bin/env bash
# Checks that every relative link of the Markdown pages (README.md and
# docs/) resolves: the file exists and, after a #, the page has that
# heading. Code blocks are skipped. Prints each broken link with its page
# and line, and exits 1 if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# A page's heading anchors, made as the code hosts make them: lower case,
# punctuation dropped, spaces to hyphens.
anchors() {
  awk '/^```/ { code = !code; next }
       !code && /^#+ / {
         sub(/^#+ +/, ""); anchor = tolower($0)
         gsub(/[^a-z0-9 _-]/, "", anchor); gsub(/ /, "-", anchor)
         print anchor
       }' "$1"
}

# Every link target outside code blocks, as page:line:target.
links() {
  awk '/^```/ { code = !code; next }
       !code {
         line = $0
         while (match(line, /\]\([^)]*\)/)) {
           print FILENAME ":" FNR ":" substr(line, RSTART + 2, RLENGTH - 3)
           line = substr(line, RSTART + RLENGTH)
         }
       }' "$@"
}

broken=0
pages=(README.md docs/*.md)
while IFS=: read -r page line target; do
  case $target in *://* | mailto:*) continue ;; esac
  path=${target%%#*}
  anchor=
  [ "$path" = "$target" ] || anchor=${target#*#}
  file=$page
  [ -z "$path" ] || file=$(dirname "$page")/$path
  if [ ! -e "$file" ]; then
    echo "$page:$line: $target: no file $file"
    broken=1
  elif [ -n "$anchor" ] && ! anchors "$file" | grep -qxF "$anchor"; then
    echo "$page:$line: $target: $file has no heading #$anchor"
    broken=1
  fi
done < <(links "${pages[@]}")
[ $broken = 0 ] && echo "links: every relative link of ${pages[*]} resolves"
exit $broken
