#!/bin/sh
# Installs the Debian packages the build needs when they are missing.
set -e
needed="g++ cmake make pkg-config libgtest-dev libgmock-dev libsqlite3-dev sqlite3"
missing=""
for p in $needed; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages:$missing" >&2
  echo "Install them as root: apt-get install$missing" >&2
  exit 1
fi
echo "Installing:$missing" >&2
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
