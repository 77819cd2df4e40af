#!/usr/bin/env python3
"""Fills the German catalogue from the glossary below.

Run after scripts/update-translations.sh: every source text found here gets
its German text; texts missing from the glossary are listed and left
unfinished. Shortcuts keep their portable English key names so they work.
"""
import html
import re
import sys
from pathlib import Path

GLOSSARY = {
    "&About": "Ü&ber",
    "&Advanced": "&Erweitert",
    "&Excute script": "Skript &ausführen",
    "&File": "&Datei",
    "&Help": "&Hilfe",
    "&Icon View": "&Symbolansicht",
    "&Option": "&Optionen",
    "&Quit": "&Beenden",
    "&Remove": "&Entfernen",
    "&Restore Layout": "Anordnung &wiederherstellen",
    "&Save Layout": "Anordnung s&peichern",
    "&Search": "&Suchen",
    "&Table View": "&Tabellenansicht",
    "&Uart": "Sch&nittstelle",
    "&View": "&Ansicht",
    "Address": "Adresse",
    "Bus silent since %1": "Bus stumm seit %1",
    "Link": "Verbindung",
    "Link OK": "Verbindung OK",
    "Link lost: %1 since %2": "Verbindung verloren: %1 seit %2",
    "Sound the alarm while the serial link is lost or the bus is silent":
        "Alarm, solange die serielle Verbindung verloren oder der Bus stumm ist",
    "Alarm": "Alarm",
    "Alarm setting": "Alarmeinstellungen",
    "Alarm tone": "Alarmton",
    "Alarming": "im Alarm",
    "Audio Mute": "Ton stumm",
    "Audio mute alarm": "Alarm bei stummem Ton",
    "Automotive test...": "Automatischer Test...",
    "Batch operation": "Sammelbefehle",
    "Baudrate": "Baudrate",
    "Black Field": "Schwarzbild",
    "Black field alarm": "Alarm bei Schwarzbild",
    "Blue Field": "Blaubild",
    "Blue field alarm": "Alarm bei Blaubild",
    "Bright": "Helligkeit",
    "CFE Board Version": "CFE-Platinenversion",
    "COM": "Anschluss",
    "Can't open": "Öffnen nicht möglich:",
    "Cancel": "Abbrechen",
    "Change": "Ändern",
    "Chroma": "Farbsättigung",
    "Configure": "Einstellungen",
    "Configure RS422": "RS422 einstellen",
    "Continue": "Wiederholt",
    "Contrast": "Kontrast",
    "Control": "Bedienung",
    "Ctrl+A": "Ctrl+A",
    "Ctrl+D": "Ctrl+D",
    "Ctrl+F": "Ctrl+F",
    "Ctrl+O": "Ctrl+O",
    "Ctrl+Q": "Ctrl+Q",
    "Ctrl+R": "Ctrl+R",
    "Ctrl+T": "Ctrl+T",
    "DCI P3 Data": "DCI-P3-Daten",
    "Data bits": "Datenbits",
    "Directroy": "Verzeichnis",
    "Do you want to quit now": "Wollen Sie das Programm jetzt beenden",
    "EBU Data": "EBU-Daten",
    "Email": "E-Mail",
    "Error": "Fehler",
    "FPGA Code": "FPGA-Code",
    "File": "Datei",
    "Flow control": "Flusssteuerung",
    "Function": "Funktion",
    "Function status": "Funktionsstatus",
    "Green Tally": "Grünes Tally",
    "Help": "Hilfe",
    "Hue": "Farbton",
    "IRE alarm": "IRE-Alarm",
    "Input": "Eingang",
    "Kelvaro Controller": "Kelvaro Steuerung",
    "Log file directory": "Verzeichnis der Protokolldateien",
    "Menu": "Menü",
    "Misc": "Sonstiges",
    "Mode": "Modus",
    "Monitor window": "Monitorfenster",
    "Monitors": "Monitore",
    "No Signal": "Kein Signal",
    "No signal alarm": "Alarm bei fehlendem Signal",
    "None": "Keine",
    "OK": "OK",
    "Off": "Aus",
    "Once": "Einmal",
    "Open file %1 failed": "Datei %1 konnte nicht geöffnet werden",
    "Open log folder": "Protokollordner öffnen",
    "Option setting": "Optionen einstellen",
    "Parity": "Parität",
    "Power": "Netz",
    "Power off": "Ausschalten",
    "Power on": "Einschalten",
    "Prepare searching...": "Suche wird vorbereitet...",
    "Quit application": "Programm beenden",
    "RGB alarm": "RGB-Alarm",
    "Ready": "Bereit",
    "Rec709 Data": "Rec709-Daten",
    "Red Tally": "Rotes Tally",
    "Remove selected monitor": "Ausgewählten Monitor entfernen",
    "Rotry": "Drehregler",
    "SMPTE-C Data": "SMPTE-C-Daten",
    "SN": "SN",
    "Search monitors": "Monitore suchen",
    "Search monitors - F5": "Monitore suchen - F5",
    "Searching address": "Suche Adresse",
    "Searching monitors": "Monitore werden gesucht",
    "Select directory": "Verzeichnis wählen",
    "Select test script": "Testskript wählen",
    "Set": "Setzen",
    "Status": "Status",
    "Stop": "Anhalten",
    "Stop bits": "Stoppbits",
    "Syntax error": "Syntaxfehler",
    "Time code": "Timecode",
    "Timeout(ms)": "Zeitlimit (ms)",
    "Toggle monitor window": "Monitorfenster ein-/ausblenden",
    "UMD": "UMD",
    "UMD and Tally": "UMD und Tally",
    "Version": "Version",
    "View": "Ansicht",
    "Volume": "Lautstärke",
    "Website": "Webseite",
    "You must do SEARCH after change parameters":
        "Nach einer Änderung muss neu gesucht werden (SUCHEN)",
    "monitor(s) found": "Monitor(e) gefunden",
}


def fill(path):
    text = path.read_text(encoding="utf-8")
    missing = set()

    def replace(match):
        source = html.unescape(match.group(1))
        german = GLOSSARY.get(source)
        if german is None:
            missing.add(source)
            return match.group(0)
        return "<source>%s</source>\n        <translation>%s</translation>" % (
            match.group(1), html.escape(german, quote=False))

    text = re.sub(r"<source>(.*?)</source>\s*<translation[^>]*>.*?</translation>",
                  replace, text, flags=re.S)
    path.write_text(text, encoding="utf-8")
    for source in sorted(missing):
        print("untranslated: %r" % source, file=sys.stderr)
    return not missing


if __name__ == "__main__":
    root = Path(__file__).resolve().parent
    sys.exit(0 if fill(root / "kelvaro-controller_de.ts") else 1)
