<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MController</name>
    <message>
        <source>Searching address</source>
        <translation>Suche Adresse</translation>
    </message>
    <message>
        <source>monitor(s) found</source>
        <translation>Monitor(e) gefunden</translation>
    </message>
</context>
<context>
    <name>MWindow</name>
    <message>
        <source>No Signal</source>
        <translation>Kein Signal</translation>
    </message>
    <message>
        <source>Blue Field</source>
        <translation>Blaubild</translation>
    </message>
    <message>
        <source>Black Field</source>
        <translation>Schwarzbild</translation>
    </message>
    <message>
        <source>Audio Mute</source>
        <translation>Ton stumm</translation>
    </message>
    <message>
        <source>IRE alarm</source>
        <translation>IRE-Alarm</translation>
    </message>
    <message>
        <source>RGB alarm</source>
        <translation>RGB-Alarm</translation>
    </message>
    <message>
        <source>Hue</source>
        <translation>Farbton</translation>
    </message>
    <message>
        <source>Chroma</source>
        <translation>Farbsättigung</translation>
    </message>
    <message>
        <source>Bright</source>
        <translation>Helligkeit</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>Kontrast</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>FPGA Code</source>
        <translation>FPGA-Code</translation>
    </message>
    <message>
        <source>Rec709 Data</source>
        <translation>Rec709-Daten</translation>
    </message>
    <message>
        <source>SMPTE-C Data</source>
        <translation>SMPTE-C-Daten</translation>
    </message>
    <message>
        <source>EBU Data</source>
        <translation>EBU-Daten</translation>
    </message>
    <message>
        <source>DCI P3 Data</source>
        <translation>DCI-P3-Daten</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>SN</source>
        <translation>SN</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Time code</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>Rotry</source>
        <translation>Drehregler</translation>
    </message>
    <message>
        <source>Function status</source>
        <translation>Funktionsstatus</translation>
    </message>
    <message>
        <source>Power</source>
        <translation>Netz</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>Function</source>
        <translation>Funktion</translation>
    </message>
    <message>
        <source>UMD and Tally</source>
        <translation>UMD und Tally</translation>
    </message>
    <message>
        <source>UMD</source>
        <translation>UMD</translation>
    </message>
    <message>
        <source>Red Tally</source>
        <translation>Rotes Tally</translation>
    </message>
    <message>
        <source>Green Tally</source>
        <translation>Grünes Tally</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Setzen</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>Bedienung</translation>
    </message>
    <message>
        <source>Misc</source>
        <translation>Sonstiges</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>CFE Board Version</source>
        <translation>CFE-Platinenversion</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kelvaro Controller</source>
        <translation>Kelvaro Steuerung</translation>
    </message>
    <message>
        <source>Monitor window</source>
        <translation>Monitorfenster</translation>
    </message>
    <message>
        <source>&amp;Search</source>
        <translation>&amp;Suchen</translation>
    </message>
    <message>
        <source>Search monitors</source>
        <translation>Monitore suchen</translation>
    </message>
    <message>
        <source>Search monitors - F5</source>
        <translation>Monitore suchen - F5</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>Remove selected monitor</source>
        <translation>Ausgewählten Monitor entfernen</translation>
    </message>
    <message>
        <source>&amp;Option</source>
        <translation>&amp;Optionen</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Option setting</source>
        <translation>Optionen einstellen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Quit application</source>
        <translation>Programm beenden</translation>
    </message>
    <message>
        <source>&amp;Uart</source>
        <translation>Sch&amp;nittstelle</translation>
    </message>
    <message>
        <source>Ctrl+F</source>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <source>Configure RS422</source>
        <translation>RS422 einstellen</translation>
    </message>
    <message>
        <source>Ctrl+D</source>
        <translation>Ctrl+D</translation>
    </message>
    <message>
        <source>Toggle monitor window</source>
        <translation>Monitorfenster ein-/ausblenden</translation>
    </message>
    <message>
        <source>&amp;Table View</source>
        <translation>&amp;Tabellenansicht</translation>
    </message>
    <message>
        <source>&amp;Icon View</source>
        <translation>&amp;Symbolansicht</translation>
    </message>
    <message>
        <source>&amp;Save Layout</source>
        <translation>Anordnung s&amp;peichern</translation>
    </message>
    <message>
        <source>&amp;Restore Layout</source>
        <translation>Anordnung &amp;wiederherstellen</translation>
    </message>
    <message>
        <source>&amp;Excute script</source>
        <translation>Skript &amp;ausführen</translation>
    </message>
    <message>
        <source>Ctrl+T</source>
        <translation>Ctrl+T</translation>
    </message>
    <message>
        <source>Power on</source>
        <translation>Einschalten</translation>
    </message>
    <message>
        <source>Power off</source>
        <translation>Ausschalten</translation>
    </message>
    <message>
        <source>Open log folder</source>
        <translation>Protokollordner öffnen</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Ctrl+A</source>
        <translation>Ctrl+A</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Advanced</source>
        <translation>&amp;Erweitert</translation>
    </message>
    <message>
        <source>Batch operation</source>
        <translation>Sammelbefehle</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Ansicht</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Monitors</source>
        <translation>Monitore</translation>
    </message>
    <message>
        <source>Alarming</source>
        <translation>im Alarm</translation>
    </message>
    <message>
        <source>Searching monitors</source>
        <translation>Monitore werden gesucht</translation>
    </message>
    <message>
        <source>Prepare searching...</source>
        <translation>Suche wird vorbereitet...</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>Webseite</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>Select test script</source>
        <translation>Testskript wählen</translation>
    </message>
    <message>
        <source>Do you want to quit now</source>
        <translation>Wollen Sie das Programm jetzt beenden</translation>
    </message>
    <message>
        <source>Link OK</source>
        <translation>Verbindung OK</translation>
    </message>
    <message>
        <source>Link lost: %1 since %2</source>
        <translation>Verbindung verloren: %1 seit %2</translation>
    </message>
    <message>
        <source>Bus silent since %1</source>
        <translation>Bus stumm seit %1</translation>
    </message>
    <message>
        <source>&amp;Acknowledge alarms</source>
        <translation>Alarme &amp;quittieren</translation>
    </message>
    <message>
        <source>Silence the tone for the alarms present now; a new alarm sounds again</source>
        <translation>Alarmton für die jetzt anstehenden Alarme stummschalten; ein neuer Alarm ertönt wieder</translation>
    </message>
    <message>
        <source>Acknowledge alarms - F8</source>
        <translation>Alarme quittieren - F8</translation>
    </message>
    <message>
        <source>(%1 acknowledged)</source>
        <translation>(%1 quittiert)</translation>
    </message>
</context>
<context>
    <name>MonitorModel</name>
    <message>
        <source>SN</source>
        <translation>SN</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
</context>
<context>
    <name>OptionDlg</name>
    <message>
        <source>Log file directory</source>
        <translation>Verzeichnis der Protokolldateien</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Directroy</source>
        <translation>Verzeichnis</translation>
    </message>
    <message>
        <source>Alarm setting</source>
        <translation>Alarmeinstellungen</translation>
    </message>
    <message>
        <source>No signal alarm</source>
        <translation>Alarm bei fehlendem Signal</translation>
    </message>
    <message>
        <source>Blue field alarm</source>
        <translation>Alarm bei Blaubild</translation>
    </message>
    <message>
        <source>Black field alarm</source>
        <translation>Alarm bei Schwarzbild</translation>
    </message>
    <message>
        <source>IRE alarm</source>
        <translation>IRE-Alarm</translation>
    </message>
    <message>
        <source>RGB alarm</source>
        <translation>RGB-Alarm</translation>
    </message>
    <message>
        <source>Audio mute alarm</source>
        <translation>Alarm bei stummem Ton</translation>
    </message>
    <message>
        <source>Alarm tone</source>
        <translation>Alarmton</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Once</source>
        <translation>Einmal</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Wiederholt</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Select directory</source>
        <translation>Verzeichnis wählen</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Sound the alarm while the serial link is lost or the bus is silent</source>
        <translation>Alarm, solange die serielle Verbindung verloren oder der Bus stumm ist</translation>
    </message>
    <message>
        <source>How long &quot;Acknowledge alarms&quot; silences the alarms present then; a new alarm sounds at once</source>
        <translation>Wie lange „Alarme quittieren“ die dann anstehenden Alarme stummschaltet; ein neuer Alarm ertönt sofort</translation>
    </message>
    <message>
        <source>Until the alarm clears</source>
        <translation>Bis der Alarm endet</translation>
    </message>
    <message>
        <source> minutes</source>
        <translation> Minuten</translation>
    </message>
    <message>
        <source>Acknowledged for</source>
        <translation>Quittiert für</translation>
    </message>
</context>
<context>
    <name>RSThread</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Can&apos;t open</source>
        <translation>Öffnen nicht möglich:</translation>
    </message>
</context>
<context>
    <name>ScriptRunner</name>
    <message>
        <source>Open file %1 failed</source>
        <translation>Datei %1 konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Automotive test...</source>
        <translation>Automatischer Test...</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Syntax error</source>
        <translation>Syntaxfehler</translation>
    </message>
</context>
<context>
    <name>SerialLinkDlg</name>
    <message>
        <source>Configure</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>COM</source>
        <translation>Anschluss</translation>
    </message>
    <message>
        <source>Baudrate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>Data bits</source>
        <translation>Datenbits</translation>
    </message>
    <message>
        <source>Stop bits</source>
        <translation>Stoppbits</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parität</translation>
    </message>
    <message>
        <source>Flow control</source>
        <translation>Flusssteuerung</translation>
    </message>
    <message>
        <source>Timeout(ms)</source>
        <translation>Zeitlimit (ms)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>You must do SEARCH after change parameters</source>
        <translation>Nach einer Änderung muss neu gesucht werden (SUCHEN)</translation>
    </message>
</context>
</TS>
