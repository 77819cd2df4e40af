<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>EventsDock</name>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Any</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Tag</source>
        <translation>Kennung</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>%1 of %2 lines</source>
        <translation>%1 von %2 Zeilen</translation>
    </message>
</context>
<context>
    <name>HealthText</name>
    <message>
        <source>never</source>
        <translation>nie</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>Last good reply: %1
Exchange time: median %2, worst %3
Failed exchanges since search: %4
Zombie episodes: %5</source>
        <translation>Letzte gute Antwort: %1
Austauschzeit: Median %2, schlechteste %3
Fehlgeschlagene Austausche seit der Suche: %4
Zombie-Phasen: %5</translation>
    </message>
</context>
<context>
    <name>Inventory</name>
    <message>
        <source>address %1 is not a bus address (%2 to %3)</source>
        <translation>Adresse %1 ist keine Busadresse (%2 bis %3)</translation>
    </message>
    <message>
        <source>address %1 occurs twice</source>
        <translation>Adresse %1 kommt zweimal vor</translation>
    </message>
</context>
<context>
    <name>InventoryCompareDlg</name>
    <message>
        <source>Compare with inventory</source>
        <translation>Mit Inventar vergleichen</translation>
    </message>
    <message>
        <source>Earlier: %1, taken %2 on %3
Now: the bus on %4</source>
        <translation>Früher: %1, erstellt %2 an %3
Jetzt: der Bus an %4</translation>
    </message>
    <message>
        <source>no port</source>
        <translation>kein Anschluss</translation>
    </message>
    <message>
        <source>No differences.</source>
        <translation>Keine Unterschiede.</translation>
    </message>
</context>
<context>
    <name>InventoryCsv</name>
    <message>
        <source>line %1: a quoted field does not end (the file is cut short)</source>
        <translation>Zeile %1: ein Feld in Anführungszeichen endet nicht (die Datei ist abgeschnitten)</translation>
    </message>
    <message>
        <source>line %1: text after a closing quote</source>
        <translation>Zeile %1: Text nach einem schließenden Anführungszeichen</translation>
    </message>
    <message>
        <source>line %1: a quote inside an unquoted field</source>
        <translation>Zeile %1: ein Anführungszeichen in einem Feld ohne Anführungszeichen</translation>
    </message>
    <message>
        <source>line %1: the last row does not end with a line break (the file is cut short)</source>
        <translation>Zeile %1: die letzte Zeile endet nicht mit einem Zeilenumbruch (die Datei ist abgeschnitten)</translation>
    </message>
    <message>
        <source>not an inventory: not UTF-8 text</source>
        <translation>kein Inventar: kein UTF-8-Text</translation>
    </message>
    <message>
        <source>not an inventory: the first row is not the inventory&apos;s header (%1)</source>
        <translation>kein Inventar: die erste Zeile ist nicht die Kopfzeile eines Inventars (%1)</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>Zeile %1: %2</translation>
    </message>
    <message>
        <source>%1 fields, expected %2</source>
        <translation>%1 Felder, erwartet %2</translation>
    </message>
    <message>
        <source>&quot;exported&quot; is not a time stamp</source>
        <translation>&quot;exported&quot; ist kein Zeitstempel</translation>
    </message>
    <message>
        <source>another export&apos;s time stamp, port or version than the rows before</source>
        <translation>Zeitstempel, Anschluss oder Version eines anderen Exports als in den Zeilen davor</translation>
    </message>
    <message>
        <source>no address</source>
        <translation>keine Adresse</translation>
    </message>
    <message>
        <source>the address &quot;%1&quot; is not a number</source>
        <translation>die Adresse &quot;%1&quot; ist keine Zahl</translation>
    </message>
    <message>
        <source>&quot;last_good_reply&quot; is not a time stamp</source>
        <translation>&quot;last_good_reply&quot; ist kein Zeitstempel</translation>
    </message>
    <message>
        <source>a health figure is not a whole number</source>
        <translation>eine Zustandszahl ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>no rows after the header (the file is cut short)</source>
        <translation>keine Zeilen nach der Kopfzeile (die Datei ist abgeschnitten)</translation>
    </message>
    <message>
        <source>a row without an address among monitors</source>
        <translation>eine Zeile ohne Adresse zwischen Monitoren</translation>
    </message>
</context>
<context>
    <name>InventoryFile</name>
    <message>
        <source>an inventory is written as .csv or .json</source>
        <translation>ein Inventar wird als .csv oder .json geschrieben</translation>
    </message>
    <message>
        <source>not an inventory: the name does not end in .csv or .json</source>
        <translation>kein Inventar: der Name endet nicht auf .csv oder .json</translation>
    </message>
    <message>
        <source>a folder, not an inventory</source>
        <translation>ein Ordner, kein Inventar</translation>
    </message>
    <message>
        <source>larger than %1 MiB, not an inventory</source>
        <translation>größer als %1 MiB, kein Inventar</translation>
    </message>
    <message>
        <source>empty, not an inventory</source>
        <translation>leer, kein Inventar</translation>
    </message>
</context>
<context>
    <name>InventoryJson</name>
    <message>
        <source>is not a text</source>
        <translation>ist kein Text</translation>
    </message>
    <message>
        <source>is not a time stamp</source>
        <translation>ist kein Zeitstempel</translation>
    </message>
    <message>
        <source>is not a whole number from %1 to %2</source>
        <translation>ist keine ganze Zahl von %1 bis %2</translation>
    </message>
    <message>
        <source>is not a list of texts</source>
        <translation>ist keine Liste von Texten</translation>
    </message>
    <message>
        <source>%1&quot;%2&quot; %3</source>
        <translation>%1&quot;%2&quot; %3</translation>
    </message>
    <message>
        <source>not an inventory: no valid JSON (%1 at byte %2)</source>
        <translation>kein Inventar: kein gültiges JSON (%1 bei Byte %2)</translation>
    </message>
    <message>
        <source>not an inventory: JSON without &quot;%1&quot;: &quot;%2&quot;</source>
        <translation>kein Inventar: JSON ohne &quot;%1&quot;: &quot;%2&quot;</translation>
    </message>
    <message>
        <source>inventory format version %1 is newer than this program reads (%2)</source>
        <translation>Inventarformat-Version %1 ist neuer als dieses Programm liest (%2)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a list</source>
        <translation>&quot;%1&quot; ist keine Liste</translation>
    </message>
    <message>
        <source>monitor %1: </source>
        <translation>Monitor %1: </translation>
    </message>
    <message>
        <source>not an object</source>
        <translation>kein Objekt</translation>
    </message>
</context>
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
    <message>
        <source>Last good reply</source>
        <translation>Letzte gute Antwort</translation>
    </message>
    <message>
        <source>Exchange time median</source>
        <translation>Austauschzeit Median</translation>
    </message>
    <message>
        <source>Exchange time worst</source>
        <translation>Austauschzeit schlechteste</translation>
    </message>
    <message>
        <source>Failed exchanges since search</source>
        <translation>Fehlgeschlagene Austausche seit der Suche</translation>
    </message>
    <message>
        <source>Zombie episodes (total time)</source>
        <translation>Zombie-Phasen (Gesamtzeit)</translation>
    </message>
    <message>
        <source>Bus health</source>
        <translation>Buszustand</translation>
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
    <message>
        <source>Events</source>
        <translation>Ereignisse</translation>
    </message>
    <message>
        <source>Tally input...</source>
        <translation>Tally-Eingang...</translation>
    </message>
    <message>
        <source>TSL UMD sources driving UMD text and tally lamps</source>
        <translation>TSL-UMD-Quellen für UMD-Text und Tally-Lampen</translation>
    </message>
    <message>
        <source>Export inventory…</source>
        <translation>Inventar exportieren…</translation>
    </message>
    <message>
        <source>Write every monitor&apos;s serial number, versions, state and bus health to a CSV or JSON file</source>
        <translation>Seriennummer, Versionen, Zustand und Buszustand jedes Monitors in eine CSV- oder JSON-Datei schreiben</translation>
    </message>
    <message>
        <source>Compare with inventory…</source>
        <translation>Mit Inventar vergleichen…</translation>
    </message>
    <message>
        <source>List what changed on the bus since an exported inventory</source>
        <translation>Auflisten, was sich am Bus seit einem exportierten Inventar geändert hat</translation>
    </message>
    <message>
        <source>Show the events of this run</source>
        <translation>Die Ereignisse dieses Laufs anzeigen</translation>
    </message>
    <message>
        <source>Bus health...</source>
        <translation>Buszustand...</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>JSON (*.json)</source>
        <translation>JSON (*.json)</translation>
    </message>
    <message>
        <source>Export inventory</source>
        <translation>Inventar exportieren</translation>
    </message>
    <message>
        <source>Compare with inventory</source>
        <translation>Mit Inventar vergleichen</translation>
    </message>
    <message>
        <source>Inventories (*.csv *.json);;All files (*)</source>
        <translation>Inventare (*.csv *.json);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Tally input</source>
        <translation>Tally-Eingang</translation>
    </message>
    <message>
        <source>The tally input cannot listen here:
%1
Everything else goes on as before.</source>
        <translation>Der Tally-Eingang kann hier nicht empfangen:
%1
Alles andere läuft weiter wie bisher.</translation>
    </message>
    <message>
        <source>Remote</source>
        <translation>Fernzugriff</translation>
    </message>
    <message>
        <source>The remote wall and API cannot start:
%1
Everything else goes on as before.</source>
        <translation>Fernansicht und API können nicht starten:
%1
Alles andere läuft weiter wie bisher.</translation>
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
    <message>
        <source>UMD</source>
        <translation>UMD</translation>
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
    <message>
        <source>Lost monitors</source>
        <translation>Verlorene Monitore</translation>
    </message>
    <message>
        <source>Poll lost monitors every</source>
        <translation>Verlorene Monitore abfragen alle</translation>
    </message>
    <message>
        <source>A monitor that does not answer is polled once in this time instead of in every round, so that it does not slow the others down</source>
        <translation>Ein Monitor, der nicht antwortet, wird einmal in dieser Zeit statt in jeder Runde abgefragt, damit er die anderen nicht bremst</translation>
    </message>
    <message>
        <source> seconds</source>
        <translation> Sekunden</translation>
    </message>
    <message>
        <source>Start-up</source>
        <translation>Programmstart</translation>
    </message>
    <message>
        <source>Search the bus at start-up</source>
        <translation>Bus beim Programmstart durchsuchen</translation>
    </message>
    <message>
        <source>Once the window is open, search the bus as File &gt; Search (F5) does</source>
        <translation>Sobald das Fenster offen ist, den Bus durchsuchen wie Datei &gt; Suchen (F5)</translation>
    </message>
    <message>
        <source>Remote</source>
        <translation>Fernzugriff</translation>
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
    <name>RemoteOptions</name>
    <message>
        <source>Remote</source>
        <translation>Fernzugriff</translation>
    </message>
    <message>
        <source>Serve the remote wall and API</source>
        <translation>Fernansicht und API bereitstellen</translation>
    </message>
    <message>
        <source>A web page and a JSON interface over HTTP with the monitors&apos; state</source>
        <translation>Eine Webseite und eine JSON-Schnittstelle über HTTP mit dem Zustand der Monitore</translation>
    </message>
    <message>
        <source>The address to listen on: 127.0.0.1 for this computer only, 0.0.0.0 for every network</source>
        <translation>Die Adresse, auf der gehört wird: 127.0.0.1 nur für diesen Rechner, 0.0.0.0 für jedes Netz</translation>
    </message>
    <message>
        <source>Clients send it as &quot;Authorization: Bearer &lt;token&gt;&quot;</source>
        <translation>Clients senden es als &quot;Authorization: Bearer &lt;token&gt;&quot;</translation>
    </message>
    <message>
        <source>Allow control (needs a token)</source>
        <translation>Steuerung erlauben (braucht ein Token)</translation>
    </message>
    <message>
        <source>Reading without a token</source>
        <translation>Lesen ohne Token</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>Token</translation>
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
<context>
    <name>TallyDlg</name>
    <message>
        <source>Tally input</source>
        <translation>Tally-Eingang</translation>
    </message>
    <message>
        <source>TSL 5.0 over UDP and TCP, port</source>
        <translation>TSL 5.0 über UDP und TCP, Port</translation>
    </message>
    <message>
        <source>TSL 3.1 over UDP, port</source>
        <translation>TSL 3.1 über UDP, Port</translation>
    </message>
    <message>
        <source>127.0.0.1: this computer only; 0.0.0.0: every IPv4 network; ::: every network</source>
        <translation>127.0.0.1: nur dieser Rechner; 0.0.0.0: jedes IPv4-Netz; ::: jedes Netz</translation>
    </message>
    <message>
        <source>Addresses or ranges such as 10.1.2.0/24, separated by commas; empty: anyone</source>
        <translation>Adressen oder Bereiche wie 10.1.2.0/24, durch Kommas getrennt; leer: jeder</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>Empfangen</translation>
    </message>
    <message>
        <source>Address to listen on</source>
        <translation>Empfangsadresse</translation>
    </message>
    <message>
        <source>Allowed senders</source>
        <translation>Erlaubte Sender</translation>
    </message>
    <message>
        <source>Screen</source>
        <translation>Bildschirm</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>Bus address</source>
        <translation>Busadresse</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Mapping</source>
        <translation>Zuordnung</translation>
    </message>
    <message>
        <source>On screen</source>
        <translation>Auf Bildschirm</translation>
    </message>
    <message>
        <source>display N is bus address N; except:</source>
        <translation>Anzeige N ist Busadresse N; außer:</translation>
    </message>
    <message>
        <source>Now</source>
        <translation>Jetzt</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>listening on port %1</source>
        <translation>empfängt an Port %1</translation>
    </message>
    <message>
        <source>not listening: %1</source>
        <translation>empfängt nicht: %1</translation>
    </message>
    <message>
        <source>%1 received, %2 dropped</source>
        <translation>%1 empfangen, %2 verworfen</translation>
    </message>
    <message>
        <source>last from %1 at %2</source>
        <translation>zuletzt von %1 um %2</translation>
    </message>
    <message>
        <source>Not understood, and so allowing nobody: %1</source>
        <translation>Nicht verstanden, daher niemand erlaubt: %1</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no address to listen on. Use 127.0.0.1 for this computer only, or 0.0.0.0 for every network.</source>
        <translation>&quot;%1&quot; ist keine Empfangsadresse. 127.0.0.1 für nur diesen Rechner oder 0.0.0.0 für jedes Netz verwenden.</translation>
    </message>
</context>
</TS>
