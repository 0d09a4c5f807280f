#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not
# installed yet (apt-get update first; as root, or through sudo). A package
# of another architecture (wine32:i386) has that architecture added first.
#   scripts/install-packages.sh PACKAGE...
set -euo pipefail
missing=()
architectures=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" && continue
  missing+=("$package")
  case "$package" in
    *:*) architectures+=("${package##*:}") ;;
  esac
done
[ ${#missing[@]} -gt 0 ] || exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for architecture in ${architectures[@]+"${architectures[@]}"}; do
  [ "$architecture" = "$(dpkg --print-architecture)" ] && continue
  dpkg --print-foreign-architectures | grep -qx "$architecture" && continue
  echo "== adding the $architecture architecture"
  $sudo dpkg --add-architecture "$architecture"
done
echo "== installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
