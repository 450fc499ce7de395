#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample job need.
# Idempotent: apt-get runs only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang clang-format clang-tidy libclang-rt-14-dev
  libgtest-dev libgmock-dev
  libsqlite3-dev libtinyxml-dev zlib1g-dev
  libxlsxwriter-dev libisal-dev libminizip-dev libfreetype-dev libfontconfig-dev fonts-liberation
  qt6-base-dev qt6-svg-dev libxcb1-dev fonts-dejavu-core desktop-file-utils
  python3 python3-xlrd python3-xlwt python3-openpyxl
  ghostscript enscript groff
  cups-daemon cups-client cups-filters libcups2-dev libpoppler-cpp-dev libqpdf-dev
  hyperfine time
  dpkg-dev lintian
)
if [[ "${SW_WITH_OFFICE:-0}" == 1 ]]; then
  # Only the test run needs the office suites, to prove our files open cleanly.
  PACKAGES+=(libreoffice-calc-nogui gnumeric)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root (or with sudo) to install them" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
