#!/usr/bin/env bash
# Makes `apt-get source` work: adds a deb-src entry derived from the
# configured deb one when there is none. As root or through sudo.
set -euo pipefail
if apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then exit 0; fi
if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
    "${as_root[@]}" tee /etc/apt/sources.list.d/zarvex-deb-src.sources >/dev/null
elif [ -f /etc/apt/sources.list ]; then
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
    "${as_root[@]}" tee /etc/apt/sources.list.d/zarvex-deb-src.list >/dev/null
else
  echo "deb-src.sh: no Debian apt source to derive a deb-src entry from" >&2; exit 1
fi
"${as_root[@]}" apt-get update
