#!/usr/bin/env bash
# Writes the README's sections for users of the release into one file (the
# release installs it as share/lumeno-bootstrapper/reference.md): the
# second-level sections named below, in the README's order, without the
# subsections about this source tree. Fails when a section is missing.
# Usage: readme-reference.sh README.md OUTPUT
set -euo pipefail
readme=${1:?README.md}
output=${2:?output file}
sections='Install|What it is|The payload document|Downloads (URLRUN)|Making your own bootstrapper|Signing and referral tags'
dropped='What `scripts/demo.sh` shows'

awk -v sections="$sections" -v dropped="$dropped" '
  BEGIN {
    n = split(sections, wanted, "|")
    for (i = 1; i <= n; i++) keep_section[wanted[i]] = 1
    print "# Lumeno installer bootstrapper: reference"
    print ""
  }
  /^## / { title = substr($0, 4); keep = (title in keep_section); if (keep) found[title] = 1 }
  /^### / && keep { skip = (substr($0, 5) == dropped) }
  /^## / { skip = 0 }
  keep && !skip { print }
  END {
    for (i = 1; i <= n; i++)
      if (!(wanted[i] in found)) { print "no section \"## " wanted[i] "\"" > "/dev/stderr"; bad = 1 }
    exit bad
  }' "$readme" >"$output.tmp"
mv "$output.tmp" "$output"
