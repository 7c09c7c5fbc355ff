#!/bin/sh
# A short tour of Vorlan on the embedded engine: a small sample set made
# with btfile, a save and load round trip, a copy, and the timestamp display.
build=$(cd "${1:-build}" && pwd)
vorlan="$build/vorlan"
btfile="$build/btfile"
export TZ=${TZ:-UTC0}
export VORLAN_ENGINE=embedded

work=$(mktemp -d /tmp/vorlan-demo-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

step() {
  printf '\n$ %s\n' "$*" | sed "s|$build/||g"
  "$@"
  printf '(exit status %d)\n' $?
}

echo "== Vorlan demo, in $work =="

echo
echo "-- A sample data file with system data, and its records --"
step "$btfile" create ORDERS.MKD --record-length 24 --variable --system-data-v2 \
  --key 1:4:integer --key 5:12:string:di
printf '%s\n' "0001Alice       order A" "0002Bob         order B" "0003Carol       order C" \
  > orders.txt
step "$btfile" insert ORDERS.MKD < orders.txt
step "$btfile" dump ORDERS.MKD

echo
echo "-- Save the records with their system data, and load them into an empty clone --"
step "$vorlan" -SAVE ORDERS.MKD ORDERS.UNF 1
echo "ORDERS.UNF holds $(wc -c < ORDERS.UNF) bytes"
step "$btfile" create COPY.MKD --record-length 24 --variable --system-data-v2 \
  --key 1:4:integer --key 5:12:string:di
step "$vorlan" -LOAD ORDERS.UNF COPY.MKD
step "$btfile" dump COPY.MKD
echo "(the same bytes and the same system data values as ORDERS.MKD)"

echo
echo "-- Copy straight into another file, replacing what is there (/U) --"
step "$vorlan" -COPY ORDERS.MKD COPY.MKD /U

echo
echo "-- Bind the file to its DX database (a MiscData block), show it and copy it --"
# layout 700, database SHIPPING, table ORDERS, primary keys 1, INSERT and security flags
step "$btfile" setbind ORDERS.MKD \
  BC0200005348495050494E470000000000000000000000004F524445525300000000000000000000000000000100000003000000
step "$vorlan" -SHOWBIND ORDERS.MKD
step "$vorlan" -COPYBIND ORDERS.MKD COPY.MKD

echo
echo "-- A deployment check: which files does the DX dictionary not list? --"
mkdir DX
step "$btfile" create DX/FILE.DDF --record-length 97 --key 1:2:integer
printf '%-2s%-20s%-64s\n' 01 ORDERS '..\ORDERS.MKD' 02 CUSTOMER '..\CUSTOMER.MKD' > ddf.txt
step "$btfile" insert DX/FILE.DDF < ddf.txt
step "$vorlan" -CHECK '*.MKD' DX

echo
echo "-- Show a replication timestamp --"
step "$vorlan" -PARSE 0x08DC392CB1A10F87
TZ=EST5 step "$vorlan" -PARSE 638448111301234567

echo
echo "-- A PDC table: purge the obituaries older than 30 days, then all of them --"
step "$btfile" pdc PDC.MKD --obituaries 3 --live 2 --age-days 40
step "$btfile" pdc PDC.MKD --append --obituaries 2 --age-days 5
step "$vorlan" -PURGE PDC.MKD
step "$vorlan" -PURGEALL PDC.MKD
step "$btfile" dump PDC.MKD
echo "(only the live records, state 4E = N, are left)"
step "$vorlan" -FORCE PDC.MKD

echo
echo "-- Mistakes are caught before anything is opened --"
step "$vorlan" -SAVE ORDERS.MKD
step "$vorlan" -LOAD MISSING.UNF COPY.MKD
exit 0
