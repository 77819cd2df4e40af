#!/bin/sh
# Collects the translatable texts of every layer into the .ts catalogues.
# Translate the new entries (for example with Qt Linguist) and commit them.
set -e
cd "$(dirname "$0")/.."
for ts in translations/*.ts; do
    /usr/lib/qt6/bin/lupdate -silent -locations none -no-obsolete \
        app protocol transport supervision monitor mainwindow detail iconview options script \
        -ts "$ts"
done
