#!/bin/sh
# Collects the translatable texts of every layer into the .ts catalogues.
# New texts need a German entry in translations/fill-german.py.
set -e
cd "$(dirname "$0")/.."
for ts in translations/*.ts; do
    /usr/lib/qt6/bin/lupdate -silent -locations none -no-obsolete \
        app protocol transport supervision monitor mainwindow detail iconview options script \
        -ts "$ts"
done
# German comes from a glossary; a text missing from it is reported.
python3 translations/fill-german.py
