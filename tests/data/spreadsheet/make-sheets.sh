#!/bin/sh
# Rebuilds the SYLK test sheets from their CSV sources with LibreOffice Calc (a development
# tool only: soffice must be installed to run this, not to run the tests).
#   tests/data/spreadsheet/make-sheets.sh
# Every sheet is opened as CSV (comma-separated, UTF-8) and saved as SYLK; quoted.csv is
# opened with quoted fields taken as text, so its numbers arrive as quoted texts.
# The clipboard-* files are what LibreOffice Calc 7.4 put on the X11 clipboard when a block
# was copied (Ctrl+C) from hkld.slk (A1:D7), dhkl-offset.slk (B3:E9) and heading.slk
# (A1:D4): the .slk files are its application/x-openoffice-sylk;windows_formatname="Sylk"
# target, the .txt files its text/plain;charset=utf-8 target, read with xclip -o -t.
set -eu
cd "$(dirname "$0")"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for csv in *.csv; do
    case $csv in
        quoted.csv) options='44,34,76,1,,1033,true' ;;
        *) options='44,34,76,1,,1033' ;;
    esac
    soffice --headless --infilter="Text - txt - csv (StarCalc):$options" \
        --convert-to slk --outdir "$out" "$csv" >/dev/null 2>&1
    cp "$out/${csv%.csv}.slk" .
done
