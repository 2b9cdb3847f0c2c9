#!/bin/sh
# Rebuilds the SYLK test sheets from their CSV sources with LibreOffice Calc (a development
# tool only: soffice must be installed to run this, not to run the tests).
#   tests/data/spreadsheet/make-sheets.sh
# Every sheet is opened as CSV (comma-separated, UTF-8) and saved as SYLK; quoted.csv is
# opened with quoted fields taken as text, so its numbers arrive as quoted texts.
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
