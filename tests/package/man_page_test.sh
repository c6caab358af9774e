#!/usr/bin/env bash
# The manual page against the tool: every option that `lzhsfx --help` and
# each command's --help show appears in the page, and the page shows no
# option that the help texts do not. The page must also render without a
# warning from groff.
#
# Usage: man_page_test.sh LZHSFX PAGE
set -euo pipefail
tool=$1
page=$2

# An option: one or two dashes, a letter, then words joined by single
# dashes; not part of a longer word, so method names such as -lh5- and
# words such as self-extracting are not taken for options.
options() { grep -oP '(?<![\w-])--?[A-Za-z][A-Za-z0-9]*(?:-[A-Za-z0-9]+)*(?![\w-])' | sort -u; }

help=$("$tool" --help)
commands=$(sed -n 's/^  \([a-z][a-z]*\) .*/\1/p' <<<"$help")
[ -n "$commands" ] || { echo "no commands found in lzhsfx --help"; exit 1; }
tool_options=$({
  echo "$help"
  for command in $commands; do "$tool" "$command" --help; done
} | options)

# The page's text with comments, font changes and escaped dashes undone.
page_options=$(grep -v '^\.\\"' "$page" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' | options)

status=0
only_tool=$(comm -23 <(echo "$tool_options") <(echo "$page_options"))
only_page=$(comm -13 <(echo "$tool_options") <(echo "$page_options"))
if [ -n "$only_tool" ]; then
  echo "options the tool accepts but the manual page does not mention:" $only_tool
  status=1
fi
if [ -n "$only_page" ]; then
  echo "options the manual page mentions but the tool does not accept:" $only_page
  status=1
fi
warnings=$(groff -man -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "groff warns about the manual page:"
  echo "$warnings"
  status=1
fi
[ $status -ne 0 ] || echo "manual page: $(echo "$tool_options" | wc -l) options, all documented: $(echo $tool_options)"
exit $status
