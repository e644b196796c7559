#!/usr/bin/env bash
# Renders an RTF document to PNG pictures so that a person can look at it:
# LibreOffice (headless) converts the RTF to PDF, pdftoppm turns every page
# of the PDF into OUT_DIR/page-N.png at 96 pixels per inch.
#
#   scripts/view-rtf.sh RTF_FILE OUT_DIR
#
# Installs LibreOffice Writer and poppler-utils with apt-get when they are
# missing (this is a developer's tool; CI does not need it).
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 RTF_FILE OUT_DIR" >&2
  exit 2
fi
rtf=$1
out=$2
if [ ! -f "$rtf" ]; then
  echo "no such file: $rtf" >&2
  exit 2
fi

install_missing() {
  local missing=()
  command -v soffice >/dev/null 2>&1 || missing+=(libreoffice-writer-nogui)
  command -v pdftoppm >/dev/null 2>&1 || missing+=(poppler-utils)
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}" >&2
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Older releases have no -nogui variant.
    missing=("${missing[@]/libreoffice-writer-nogui/libreoffice-writer}")
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}
install_missing

mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
base=$(basename "${rtf%.*}")

# A private profile keeps the run independent of any LibreOffice the user has open.
soffice --headless -env:UserInstallation="file://$work/profile" \
  --convert-to pdf --outdir "$work" "$rtf" >"$work/soffice.log" 2>&1 || {
  cat "$work/soffice.log" >&2
  exit 1
}
if [ ! -f "$work/$base.pdf" ]; then
  echo "LibreOffice produced no PDF:" >&2
  cat "$work/soffice.log" >&2
  exit 1
fi
cp "$work/$base.pdf" "$out/$base.pdf"
rm -f "$out"/page-*.png
pdftoppm -r 96 -png "$work/$base.pdf" "$out/page"
ls "$out"/page-*.png
