#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when they are missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev openssl
          qt6-base-dev qt6-qpa-plugins libgl-dev openssh-server openssh-client sshfs fuse3
          # the package: dpkg-shlibdeps (dpkg-dev, file), its checks, man page rendering
          dpkg-dev file lintian desktop-file-utils appstream groff-base)

packages+=(clang libclang-rt-14-dev)  # the fuzz targets (scripts/fuzz.sh)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
