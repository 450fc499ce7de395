#!/usr/bin/env bash
# Makes the sample PDF job: a plain-text stock report printed to PDF, as an
# application printing to the virtual printer in PDF mode would hand it over.
set -euo pipefail
cd "$(dirname "$0")"
enscript --quiet --no-header --font=Courier10 --output=- stock_report.txt |
  ps2pdf -dCompatibilityLevel=1.4 - STOCK_0002.pdf
echo "$PWD/STOCK_0002.pdf"
