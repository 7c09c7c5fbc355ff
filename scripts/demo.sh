#!/bin/sh
# A short tour of Vorlan on the embedded engine.
build=${1:-build}
vorlan="$build/vorlan"
export TZ=${TZ:-UTC0}
export VORLAN_ENGINE=embedded

step() {
  printf '\n$ %s\n' "$*"
  "$@"
  printf '(exit status %d)\n' $?
}

echo "== Vorlan demo =="
step "$vorlan"
step "$vorlan" -PARSE 0x08DC392CB1A10F87
step "$vorlan" -PARSE 638448111301234567
TZ=EST5 step "$vorlan" -PARSE 638448111301234567
step "$vorlan" -SAVE
exit 0
