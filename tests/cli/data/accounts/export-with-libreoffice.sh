#!/bin/sh
# Exports accounts.fods to the libreoffice-*.csv fixtures beside this script.
# Needs LibreOffice Calc (soffice). The filter options are: field separator,
# text delimiter, character set, first line, cell formats, language,
# quote all text cells, numbers as numbers, save cell contents as shown,
# cell formulas, trim spaces.
set -e
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export_as() { # NAME OPTIONS
    soffice -env:UserInstallation="file://$work/profile" --headless --norestore \
        --convert-to "csv:Text - txt - csv (StarCalc):$2" \
        --outdir "$work/out" "$here/accounts.fods"
    mv "$work/out/accounts.csv" "$here/$1"
}

export_as libreoffice-comma-utf-8.csv                '44,34,76,1,,0,false,true,false,false,false'
export_as libreoffice-comma-utf-8-quote-all.csv      '44,34,76,1,,0,true,true,false,false,false'
export_as libreoffice-semicolon-utf-8.csv            '59,34,76,1,,0,false,true,false,false,false'
export_as libreoffice-semicolon-utf-8-quote-all.csv  '59,34,76,1,,0,true,true,false,false,false'
export_as libreoffice-tab-utf-8.csv                  '9,34,76,1,,0,false,true,false,false,false'
export_as libreoffice-semicolon-windows-1252.csv     '59,34,1,1,,0,false,true,false,false,false'
export_as libreoffice-comma-utf-16.csv               '44,34,65535,1,,0,false,true,false,false,false'
export_as libreoffice-tab-utf-16.csv                 '9,34,65535,1,,0,false,true,false,false,false'
