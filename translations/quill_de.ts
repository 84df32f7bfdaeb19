<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>Devices</name>
    <message>
        <source>You have been added to the group %1 since this login began: log out and in again so that it counts.</source>
        <translation>Sie wurden nach Beginn dieser Anmeldung zur Gruppe %1 hinzugefügt: Melden Sie sich ab und wieder an, damit dies wirksam wird.</translation>
    </message>
    <message>
        <source>It belongs to the group %1, which you are not in. Join it with
    sudo usermod -aG %1 $USER
then log out and in again: a new login is needed for the group to count.</source>
        <extracomment>The second line is a command to type: only &quot;%1&quot; in it changes.</extracomment>
        <translation>Das Gerät gehört zur Gruppe %1, der Sie nicht angehören. Treten Sie ihr bei mit
    sudo usermod -aG %1 $USER
und melden Sie sich dann ab und wieder an: Die Gruppe wird erst mit einer neuen Anmeldung wirksam.</translation>
    </message>
    <message>
        <source>Another program holds it (one this user cannot see, or one that has let go since).</source>
        <translation>Ein anderes Programm belegt das Gerät (eines, das für diesen Benutzer nicht sichtbar ist, oder eines, das es inzwischen wieder freigegeben hat).</translation>
    </message>
    <message>
        <source>a program</source>
        <translation>ein Programm</translation>
    </message>
    <message>
        <source>%1 (pid %2)</source>
        <extracomment>A program that holds the device: its name and process id.</extracomment>
        <translation>%1 (PID %2)</translation>
    </message>
    <message>
        <source>, </source>
        <extracomment>Between the programs that hold the device.</extracomment>
        <translation>, </translation>
    </message>
    <message>
        <source>Held by %1.</source>
        <translation>Belegt durch %1.</translation>
    </message>
    <message>
        <source>ModemManager probes new USB serial devices and lets go after a while; to keep it away from this adapter, give it ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot; in a udev rule.</source>
        <translation>ModemManager prüft neue USB-Seriell-Geräte und gibt sie erst nach einer Weile wieder frei; um ihn von diesem Adapter fernzuhalten, setzen Sie ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot; in einer udev-Regel.</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <translation>Gerät: %1</translation>
    </message>
    <message>
        <source>Device: %1 (%2)</source>
        <extracomment>The device&apos;s path and the node it leads to.</extracomment>
        <translation>Gerät: %1 (%2)</translation>
    </message>
    <message>
        <source>%1 is not there</source>
        <translation>%1 ist nicht vorhanden</translation>
    </message>
    <message>
        <source>%1 leads to a path, which is not there</source>
        <translation>%1 verweist auf einen nicht vorhandenen Pfad</translation>
    </message>
    <message>
        <source>%1 leads to %2, which is not there</source>
        <extracomment>%1 is a link, %2 the path it leads to.</extracomment>
        <translation>%1 verweist auf den nicht vorhandenen Pfad %2</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a regular file)</source>
        <translation>%1 ist kein serielles Gerät (sondern eine normale Datei)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a folder)</source>
        <translation>%1 ist kein serielles Gerät (sondern ein Ordner)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a named pipe)</source>
        <translation>%1 ist kein serielles Gerät (sondern eine benannte Pipe)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a socket)</source>
        <translation>%1 ist kein serielles Gerät (sondern ein Socket)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a block device)</source>
        <translation>%1 ist kein serielles Gerät (sondern ein Blockgerät)</translation>
    </message>
    <message>
        <source>%1 is not a serial device</source>
        <translation>%1 ist kein serielles Gerät</translation>
    </message>
    <message>
        <source>%1 is a terminal that is not ready yet</source>
        <translation>%1 ist ein Terminal, das noch nicht bereit ist</translation>
    </message>
    <message>
        <source>USB serial adapter</source>
        <translation>USB-Seriell-Adapter</translation>
    </message>
    <message>
        <source>pseudo-terminal</source>
        <translation>Pseudoterminal</translation>
    </message>
    <message>
        <source>%1 driver</source>
        <extracomment>%1 is the kernel driver&apos;s name, such as serial8250.</extracomment>
        <translation>Treiber %1</translation>
    </message>
    <message>
        <source>no driver known</source>
        <translation>kein Treiber bekannt</translation>
    </message>
</context>
<context>
    <name>PortErrors</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>File not found</source>
        <translation>Datei nicht gefunden</translation>
    </message>
    <message>
        <source>Path not found</source>
        <translation>Pfad nicht gefunden</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>Zu viele offene Dateien</translation>
    </message>
    <message>
        <source>File access denied</source>
        <translation>Dateizugriff verweigert</translation>
    </message>
    <message>
        <source>Invalid file handle</source>
        <translation>Ungültiges Datei-Handle</translation>
    </message>
    <message>
        <source>Insufficient memory</source>
        <translation>Nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <source>Invalid drive</source>
        <translation>Ungültiges Laufwerk</translation>
    </message>
    <message>
        <source>No more files</source>
        <translation>Keine weiteren Dateien</translation>
    </message>
    <message>
        <source>Attempt to read beyond end of file</source>
        <translation>Versuch, über das Dateiende hinaus zu lesen</translation>
    </message>
    <message>
        <source>Disk is full</source>
        <translation>Datenträger ist voll</translation>
    </message>
    <message>
        <source>File/device not assigned</source>
        <translation>Datei/Gerät nicht zugewiesen</translation>
    </message>
    <message>
        <source>File/device not open</source>
        <translation>Datei/Gerät nicht geöffnet</translation>
    </message>
    <message>
        <source>File/device not open for input</source>
        <translation>Datei/Gerät nicht zum Lesen geöffnet</translation>
    </message>
    <message>
        <source>File/device not open for output</source>
        <translation>Datei/Gerät nicht zum Schreiben geöffnet</translation>
    </message>
    <message>
        <source>Disk is write-protected</source>
        <translation>Datenträger ist schreibgeschützt</translation>
    </message>
    <message>
        <source>Unknown disk unit</source>
        <translation>Unbekannte Laufwerkseinheit</translation>
    </message>
    <message>
        <source>Drive is not ready</source>
        <translation>Laufwerk ist nicht bereit</translation>
    </message>
    <message>
        <source>Unknown command</source>
        <translation>Unbekannter Befehl</translation>
    </message>
    <message>
        <source>Data error</source>
        <translation>Datenfehler</translation>
    </message>
    <message>
        <source>Bad request structure length</source>
        <translation>Ungültige Länge der Anforderungsstruktur</translation>
    </message>
    <message>
        <source>Seek error</source>
        <translation>Positionierungsfehler</translation>
    </message>
    <message>
        <source>Unknown media type</source>
        <translation>Unbekannter Medientyp</translation>
    </message>
    <message>
        <source>Disk sector not found</source>
        <translation>Sektor nicht gefunden</translation>
    </message>
    <message>
        <source>Printer is out of paper</source>
        <translation>Drucker hat kein Papier mehr</translation>
    </message>
    <message>
        <source>Device write error</source>
        <translation>Schreibfehler am Gerät</translation>
    </message>
    <message>
        <source>Device read error</source>
        <translation>Lesefehler am Gerät</translation>
    </message>
    <message>
        <source>General failure</source>
        <translation>Allgemeiner Fehler</translation>
    </message>
    <message>
        <source>Bad handle passed to com function</source>
        <translation>Ungültiges Handle an COM-Funktion übergeben</translation>
    </message>
    <message>
        <source>Bad argument passed to function</source>
        <translation>Ungültiges Argument an Funktion übergeben</translation>
    </message>
    <message>
        <source>Got quit message</source>
        <translation>Beenden-Nachricht erhalten</translation>
    </message>
    <message>
        <source>Terminal buffer greater than 65521</source>
        <translation>Terminalpuffer größer als 65521</translation>
    </message>
    <message>
        <source>ComPort component not assigned</source>
        <translation>ComPort-Komponente nicht zugewiesen</translation>
    </message>
    <message>
        <source>Internal error creating window class</source>
        <translation>Interner Fehler beim Anlegen der Fensterklasse</translation>
    </message>
    <message>
        <source>Modem component not assigned</source>
        <translation>Modem-Komponente nicht zugewiesen</translation>
    </message>
    <message>
        <source>Phonebook component not assigned</source>
        <translation>Telefonbuch-Komponente nicht zugewiesen</translation>
    </message>
    <message>
        <source>Component not compatible with WinSock</source>
        <translation>Komponente nicht mit WinSock kompatibel</translation>
    </message>
    <message>
        <source>ie_BadId - Specified comport doesn&apos;t exist</source>
        <translation>ie_BadId - Angegebener COM-Port existiert nicht</translation>
    </message>
    <message>
        <source>ie_Baudrate - unsupported baud rate</source>
        <translation>ie_Baudrate - nicht unterstützte Baudrate</translation>
    </message>
    <message>
        <source>ie_Bytesize - invalid byte size</source>
        <translation>ie_Bytesize - ungültige Bytegröße</translation>
    </message>
    <message>
        <source>ie_Default - error in default parameters</source>
        <translation>ie_Default - Fehler in den Standardparametern</translation>
    </message>
    <message>
        <source>ie_Hardware - Specified comport in use</source>
        <translation>ie_Hardware - Angegebener COM-Port wird bereits verwendet</translation>
    </message>
    <message>
        <source>ie_Memory - unable to allocate queues</source>
        <translation>ie_Memory - Warteschlangen können nicht angelegt werden</translation>
    </message>
    <message>
        <source>ie_NOpen - device not open</source>
        <translation>ie_NOpen - Gerät nicht geöffnet</translation>
    </message>
    <message>
        <source>ie_Open - device already open</source>
        <translation>ie_Open - Gerät bereits geöffnet</translation>
    </message>
    <message>
        <source>No more handles, can&apos;t open port</source>
        <translation>Keine Handles mehr frei, Port kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>No timers available</source>
        <translation>Keine Timer verfügbar</translation>
    </message>
    <message>
        <source>The ComNumber property of the TQpComPort has not been set</source>
        <translation>Die Eigenschaft ComNumber des TQpComPort ist nicht gesetzt</translation>
    </message>
    <message>
        <source>Comport was not opened by Tapi</source>
        <translation>COM-Port wurde nicht über Tapi geöffnet</translation>
    </message>
    <message>
        <source>No device layer specified</source>
        <translation>Keine Geräteschicht angegeben</translation>
    </message>
    <message>
        <source>Function not supported by driver</source>
        <translation>Funktion wird vom Treiber nicht unterstützt</translation>
    </message>
    <message>
        <source>EnableCommNotification failed</source>
        <translation>EnableCommNotification fehlgeschlagen</translation>
    </message>
    <message>
        <source>Failed to put entire block</source>
        <translation>Block konnte nicht vollständig geschrieben werden</translation>
    </message>
    <message>
        <source>Failed to get entire block</source>
        <translation>Block konnte nicht vollständig gelesen werden</translation>
    </message>
    <message>
        <source>Output buffer too small for block</source>
        <translation>Ausgabepuffer zu klein für den Block</translation>
    </message>
    <message>
        <source>Buffer is empty</source>
        <translation>Puffer ist leer</translation>
    </message>
    <message>
        <source>Tracing not enabled</source>
        <translation>Ablaufverfolgung nicht aktiviert</translation>
    </message>
    <message>
        <source>Logging not enabled</source>
        <translation>Protokollierung nicht aktiviert</translation>
    </message>
    <message>
        <source>Base address not set</source>
        <translation>Basisadresse nicht gesetzt</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this entry?</source>
        <translation>Möchten Sie diesen Eintrag wirklich löschen?</translation>
    </message>
    <message>
        <source>No more trigger slots</source>
        <translation>Keine freien Trigger-Plätze mehr</translation>
    </message>
    <message>
        <source>Data trigger too long</source>
        <translation>Daten-Trigger zu lang</translation>
    </message>
    <message>
        <source>Bad trigger handle</source>
        <translation>Ungültiges Trigger-Handle</translation>
    </message>
    <message>
        <source>Start string is empty</source>
        <translation>Startzeichenfolge ist leer</translation>
    </message>
    <message>
        <source>Packet size cannot be smaller than start string</source>
        <translation>Paketgröße darf nicht kleiner als die Startzeichenfolge sein</translation>
    </message>
    <message>
        <source>CharCount packets must have an end-condition</source>
        <translation>CharCount-Pakete benötigen eine Endbedingung</translation>
    </message>
    <message>
        <source>End string is empty</source>
        <translation>Endzeichenfolge ist leer</translation>
    </message>
    <message>
        <source>Packet size cannot be zero</source>
        <translation>Paketgröße darf nicht null sein</translation>
    </message>
    <message>
        <source>Packet too long</source>
        <translation>Paket zu lang</translation>
    </message>
    <message>
        <source>Port Toolkit Error</source>
        <translation>Fehler im Port-Toolkit</translation>
    </message>
    <message>
        <source>Error loading Winsock DLL</source>
        <translation>Fehler beim Laden der Winsock-DLL</translation>
    </message>
    <message>
        <source>Incorrect version of Winsock</source>
        <translation>Falsche Winsock-Version</translation>
    </message>
    <message>
        <source>Winsock not initialized - %s</source>
        <extracomment>%s stands for the reason and must stay as it is.</extracomment>
        <translation>Winsock nicht initialisiert - %s</translation>
    </message>
    <message>
        <source>Specified port is not valid</source>
        <translation>Angegebener Port ist ungültig</translation>
    </message>
    <message>
        <source>Cannot change parameter while socket is connected</source>
        <translation>Parameter kann nicht geändert werden, solange der Socket verbunden ist</translation>
    </message>
    <message>
        <source>Cannot resolve destination address</source>
        <translation>Zieladresse kann nicht aufgelöst werden</translation>
    </message>
    <message>
        <source>SOCKS request rejected or failed</source>
        <translation>SOCKS-Anfrage abgelehnt oder fehlgeschlagen</translation>
    </message>
    <message>
        <source>SOCKS server cannot reach the client&apos;s identification service</source>
        <translation>SOCKS-Server erreicht den Identifikationsdienst des Clients nicht</translation>
    </message>
    <message>
        <source>SOCKS server rejected the user identifier</source>
        <translation>SOCKS-Server hat die Benutzerkennung abgelehnt</translation>
    </message>
    <message>
        <source>Unexpected answer from the SOCKS server</source>
        <translation>Unerwartete Antwort vom SOCKS-Server</translation>
    </message>
    <message>
        <source>General SOCKS server failure</source>
        <translation>Allgemeiner Fehler des SOCKS-Servers</translation>
    </message>
    <message>
        <source>Connection not allowed by the SOCKS server&apos;s rules</source>
        <translation>Verbindung durch die Regeln des SOCKS-Servers nicht erlaubt</translation>
    </message>
    <message>
        <source>Network unreachable from the SOCKS server</source>
        <translation>Netzwerk vom SOCKS-Server aus nicht erreichbar</translation>
    </message>
    <message>
        <source>Host unreachable from the SOCKS server</source>
        <translation>Host vom SOCKS-Server aus nicht erreichbar</translation>
    </message>
    <message>
        <source>Connection refused by the destination host</source>
        <translation>Verbindung vom Zielhost abgelehnt</translation>
    </message>
    <message>
        <source>TTL expired at the SOCKS server</source>
        <translation>TTL am SOCKS-Server abgelaufen</translation>
    </message>
    <message>
        <source>Command not supported by the SOCKS server</source>
        <translation>Befehl wird vom SOCKS-Server nicht unterstützt</translation>
    </message>
    <message>
        <source>Address type not supported by the SOCKS server</source>
        <translation>Adresstyp wird vom SOCKS-Server nicht unterstützt</translation>
    </message>
    <message>
        <source>SOCKS server replied with an IPv6 address</source>
        <translation>SOCKS-Server hat mit einer IPv6-Adresse geantwortet</translation>
    </message>
    <message>
        <source>Invalid SOCKS server reply</source>
        <translation>Ungültige Antwort des SOCKS-Servers</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Kein Fehler</translation>
    </message>
    <message>
        <source>Interrupted function call</source>
        <translation>Funktionsaufruf unterbrochen</translation>
    </message>
    <message>
        <source>Bad file number</source>
        <translation>Ungültige Dateinummer</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>Ungültiges Argument</translation>
    </message>
    <message>
        <source>Warning : the socket would block on this call</source>
        <translation>Warnung: Der Socket würde bei diesem Aufruf blockieren</translation>
    </message>
    <message>
        <source>A blocking call is in progress</source>
        <translation>Ein blockierender Aufruf wird gerade ausgeführt</translation>
    </message>
    <message>
        <source>WSAEALREADY: watch out, Al is ready</source>
        <translation>WSAEALREADY: Der Vorgang wird bereits ausgeführt</translation>
    </message>
    <message>
        <source>Socket descriptor is (1) not a socket, or (2) is of wrong type</source>
        <translation>Socket-Deskriptor ist (1) kein Socket oder (2) vom falschen Typ</translation>
    </message>
    <message>
        <source>The destination address is required for this operation</source>
        <translation>Für diesen Vorgang ist die Zieladresse erforderlich</translation>
    </message>
    <message>
        <source>The datagram was too large to fit into the buffer and was truncated</source>
        <translation>Das Datagramm war zu groß für den Puffer und wurde abgeschnitten</translation>
    </message>
    <message>
        <source>WSAEPROTOTYPE</source>
        <translation>WSAEPROTOTYPE</translation>
    </message>
    <message>
        <source>The option is unknown or not supported</source>
        <translation>Die Option ist unbekannt oder wird nicht unterstützt</translation>
    </message>
    <message>
        <source>Either (1) not enough buffer space to create socket (2) protocol not supported</source>
        <translation>Entweder (1) nicht genügend Pufferspeicher zum Anlegen des Sockets oder (2) Protokoll nicht unterstützt</translation>
    </message>
    <message>
        <source>Specified socket type not supported in this address family</source>
        <translation>Angegebener Socket-Typ wird in dieser Adressfamilie nicht unterstützt</translation>
    </message>
    <message>
        <source>Operation is not supported by this socket</source>
        <translation>Vorgang wird von diesem Socket nicht unterstützt</translation>
    </message>
    <message>
        <source>Specified protocol family is not supported</source>
        <translation>Angegebene Protokollfamilie wird nicht unterstützt</translation>
    </message>
    <message>
        <source>Specified address family is not supported by this protocol</source>
        <translation>Angegebene Adressfamilie wird von diesem Protokoll nicht unterstützt</translation>
    </message>
    <message>
        <source>The address is already in use for this operation</source>
        <translation>Die Adresse wird für diesen Vorgang bereits verwendet</translation>
    </message>
    <message>
        <source>The address is not available from this machine</source>
        <translation>Die Adresse ist auf diesem Rechner nicht verfügbar</translation>
    </message>
    <message>
        <source>The network subsystem has failed</source>
        <translation>Das Netzwerk-Subsystem ist ausgefallen</translation>
    </message>
    <message>
        <source>The network is unreachable from this machine at this time</source>
        <translation>Das Netzwerk ist von diesem Rechner aus derzeit nicht erreichbar</translation>
    </message>
    <message>
        <source>The network has been reset</source>
        <translation>Das Netzwerk wurde zurückgesetzt</translation>
    </message>
    <message>
        <source>The virtual circuit has been aborted due to timeout, etc</source>
        <translation>Die virtuelle Verbindung wurde abgebrochen (Zeitüberschreitung o. Ä.)</translation>
    </message>
    <message>
        <source>The virtual circuit has been reset by the partner</source>
        <translation>Die virtuelle Verbindung wurde von der Gegenstelle zurückgesetzt</translation>
    </message>
    <message>
        <source>The descriptor is not a socket, or no buffer space is available</source>
        <translation>Der Deskriptor ist kein Socket, oder es ist kein Pufferspeicher verfügbar</translation>
    </message>
    <message>
        <source>The socket is already connected</source>
        <translation>Der Socket ist bereits verbunden</translation>
    </message>
    <message>
        <source>The socket is not connected</source>
        <translation>Der Socket ist nicht verbunden</translation>
    </message>
    <message>
        <source>The socket has been shutdown</source>
        <translation>Der Socket wurde geschlossen</translation>
    </message>
    <message>
        <source>WSAETOOMANYREFS</source>
        <translation>WSAETOOMANYREFS</translation>
    </message>
    <message>
        <source>The operation timed out</source>
        <translation>Zeitüberschreitung beim Vorgang</translation>
    </message>
    <message>
        <source>The attempt to connect was forcibly refused</source>
        <translation>Der Verbindungsversuch wurde zwangsweise abgewiesen</translation>
    </message>
    <message>
        <source>WSAELOOP: see WSAELOOP</source>
        <translation>WSAELOOP: siehe WSAELOOP</translation>
    </message>
    <message>
        <source>The name is too long</source>
        <translation>Der Name ist zu lang</translation>
    </message>
    <message>
        <source>The host machine is down</source>
        <translation>Der Host-Rechner ist ausgefallen</translation>
    </message>
    <message>
        <source>The host machine is unreachable</source>
        <translation>Der Host-Rechner ist nicht erreichbar</translation>
    </message>
    <message>
        <source>WSAENOTEMPTY</source>
        <translation>WSAENOTEMPTY</translation>
    </message>
    <message>
        <source>WSAEPROCLIM</source>
        <translation>WSAEPROCLIM</translation>
    </message>
    <message>
        <source>WSAEUSERS</source>
        <translation>WSAEUSERS</translation>
    </message>
    <message>
        <source>WSAEDQUOT</source>
        <translation>WSAEDQUOT</translation>
    </message>
    <message>
        <source>WSAESTALE</source>
        <translation>WSAESTALE</translation>
    </message>
    <message>
        <source>WSAEREMOTE</source>
        <translation>WSAEREMOTE</translation>
    </message>
    <message>
        <source>Network subsystem unusable</source>
        <translation>Netzwerk-Subsystem nicht verwendbar</translation>
    </message>
    <message>
        <source>Version requested by WSAStartUp not supported by loaded Winsock DLL</source>
        <translation>Von WSAStartUp angeforderte Version wird von der geladenen Winsock-DLL nicht unterstützt</translation>
    </message>
    <message>
        <source>WSAStartUp not yet called</source>
        <translation>WSAStartUp wurde noch nicht aufgerufen</translation>
    </message>
    <message>
        <source>WSAEDISCON</source>
        <translation>WSAEDISCON</translation>
    </message>
    <message>
        <source>Host not found</source>
        <translation>Host nicht gefunden</translation>
    </message>
    <message>
        <source>Host not found, or SERVERFAIL, can try again</source>
        <translation>Host nicht gefunden oder SERVERFAIL, erneuter Versuch möglich</translation>
    </message>
    <message>
        <source>Non recoverable errors, FORMERR, REFUSED, NOTIMP</source>
        <translation>Nicht behebbare Fehler: FORMERR, REFUSED, NOTIMP</translation>
    </message>
    <message>
        <source>Valid name, but no data record of requested type</source>
        <translation>Gültiger Name, aber kein Datensatz des angeforderten Typs</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Speicher</translation>
    </message>
    <message>
        <source>Port exception</source>
        <translation>Port-Ausnahme</translation>
    </message>
</context>
<context>
    <name>Program</name>
    <message>
        <source>QUILL-2 Controller: drives a remote antenna selector.</source>
        <translation>QUILL-2-Steuerung: steuert einen Remote-Antennenumschalter.</translation>
    </message>
    <message>
        <source>FILE</source>
        <extracomment>The value of --settings; its description and the help text name it too.</extracomment>
        <translation>DATEI</translation>
    </message>
    <message>
        <source>Use FILE as the settings file.</source>
        <translation>DATEI als Einstellungsdatei verwenden.</translation>
    </message>
    <message>
        <source>List the serial ports with their COM numbers and devices, then exit.</source>
        <translation>Die seriellen Ports mit ihren COM-Nummern und Geräten auflisten, dann beenden.</translation>
    </message>
    <message>
        <source>No serial ports found.</source>
        <translation>Keine seriellen Ports gefunden.</translation>
    </message>
    <message>
        <source>QUILL-2 Controller: drives a remote antenna selector.

Settings file: %1
  (quill.ini beside the executable when that file exists or its folder is writable,
  otherwise $XDG_CONFIG_HOME/quill/quill.ini, by default ~/.config/quill/quill.ini;
  an installed program always uses the latter; --settings FILE names another one)
Serial ports are chosen by COM number: /dev/ttyS&lt;n&gt; is COM&lt;n+1&gt;, /dev/ttyUSB&lt;n&gt;
  COM&lt;n+33&gt;, /dev/ttyACM&lt;n&gt; COM&lt;n+65&gt;; other devices get one in the settings file&apos;s
  [ComMap] section or in the QUILL_COM_MAP environment variable
  (COM5=/dev/pts/3;COM6=/dev/ttyV1).
The windows need a display (DISPLAY or WAYLAND_DISPLAY); without one, run it as
  &quot;xvfb-run quill&quot;.
More in &quot;man quill&quot;.</source>
        <translation>QUILL-2-Steuerung: steuert einen Remote-Antennenumschalter.

Einstellungsdatei: %1
  (quill.ini neben dem Programm, wenn die Datei existiert oder ihr Ordner beschreibbar ist,
  sonst $XDG_CONFIG_HOME/quill/quill.ini, standardmäßig ~/.config/quill/quill.ini;
  ein installiertes Programm verwendet immer Letztere; --settings DATEI gibt eine andere an)
Serielle Ports werden per COM-Nummer gewählt: /dev/ttyS&lt;n&gt; ist COM&lt;n+1&gt;, /dev/ttyUSB&lt;n&gt;
  COM&lt;n+33&gt;, /dev/ttyACM&lt;n&gt; COM&lt;n+65&gt;; andere Geräte erhalten eine im Abschnitt [ComMap]
  der Einstellungsdatei oder in der Umgebungsvariablen QUILL_COM_MAP
  (COM5=/dev/pts/3;COM6=/dev/ttyV1).
Die Fenster benötigen eine Anzeige (DISPLAY oder WAYLAND_DISPLAY); ohne Anzeige starten Sie
  das Programm als &quot;xvfb-run quill&quot;.
Mehr dazu in &quot;man quill&quot;.</translation>
    </message>
    <message>
        <source>DISPLAY and WAYLAND_DISPLAY are not set</source>
        <translation>DISPLAY und WAYLAND_DISPLAY sind nicht gesetzt</translation>
    </message>
    <message>
        <source>nothing answers at DISPLAY=%1</source>
        <translation>unter DISPLAY=%1 antwortet nichts</translation>
    </message>
    <message>
        <source>nothing answers at WAYLAND_DISPLAY=%1, and DISPLAY is not set</source>
        <translation>unter WAYLAND_DISPLAY=%1 antwortet nichts, und DISPLAY ist nicht gesetzt</translation>
    </message>
    <message>
        <source>nothing answers at DISPLAY=%1 or WAYLAND_DISPLAY=%2</source>
        <translation>weder unter DISPLAY=%1 noch unter WAYLAND_DISPLAY=%2 antwortet etwas</translation>
    </message>
    <message>
        <source>no display found (%1); set DISPLAY or WAYLAND_DISPLAY to a running display, or start it as &quot;xvfb-run quill&quot;</source>
        <extracomment>%1 says what was looked at and found silent.</extracomment>
        <translation>keine Anzeige gefunden (%1); setzen Sie DISPLAY oder WAYLAND_DISPLAY auf eine laufende Anzeige, oder starten Sie das Programm als &quot;xvfb-run quill&quot;</translation>
    </message>
    <message>
        <source>the window system did not start</source>
        <translation>das Fenstersystem ist nicht gestartet</translation>
    </message>
    <message>
        <source>the window system did not start on DISPLAY=%1</source>
        <translation>das Fenstersystem ist auf DISPLAY=%1 nicht gestartet</translation>
    </message>
    <message>
        <source>the window system did not start on WAYLAND_DISPLAY=%1; its plugin comes with qt6-wayland</source>
        <translation>das Fenstersystem ist auf WAYLAND_DISPLAY=%1 nicht gestartet; das nötige Plugin ist in qt6-wayland enthalten</translation>
    </message>
    <message>
        <source>the Wayland display (WAYLAND_DISPLAY=%1) runs, but the toolkit&apos;s Wayland plugin is not installed: install qt6-wayland (sudo apt install qt6-wayland), or run the program under X (DISPLAY)</source>
        <translation>die Wayland-Anzeige (WAYLAND_DISPLAY=%1) läuft, aber das Wayland-Plugin des Toolkits ist nicht installiert: Installieren Sie qt6-wayland (sudo apt install qt6-wayland), oder starten Sie das Programm unter X (DISPLAY)</translation>
    </message>
    <message>
        <source>another instance uses %1 but does not answer</source>
        <translation>eine andere Instanz verwendet %1, antwortet aber nicht</translation>
    </message>
    <message>
        <source>%1; remote control is off</source>
        <extracomment>%1 says why the session bus cannot be used.</extracomment>
        <translation>%1; die Fernsteuerung ist aus</translation>
    </message>
</context>
<context>
    <name>QtDialogs</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>QuillCtl</name>
    <message>
        <source>Commands:
  list                  each running controller: its settings file, bus name and link state
                        (--json: an array of objects)
  status                the controller&apos;s state in one line (--json: an object)
  select N [--radio R]  select antenna N (1-8) for radio R (default: the followed radio)
  auto [--radio R]      switch automatic mode on for radio R (default: the followed radio)
  follow R              follow radio R (1 or 2) in the main window
  watch                 print the state, then each change, one line per property, until
                        interrupted (--json: one object per change)
  show                  bring the main window to the front

Without --settings, the commands reach the one controller running; when several run, name
one with --settings.

Exit status: 0 done, 1 refused by the controller, several running without --settings, or a
wrong command line, 2 no controller running.</source>
        <extracomment>The command names, options and exit numbers stay as they are.</extracomment>
        <translation>Befehle:
  list                  jede laufende Steuerung: Einstellungsdatei, Busname und Verbindungszustand
                        (--json: ein Array von Objekten)
  status                der Zustand der Steuerung in einer Zeile (--json: ein Objekt)
  select N [--radio R]  Antenne N (1-8) für Funkgerät R wählen (Standard: verfolgtes Funkgerät)
  auto [--radio R]      Automatik für Funkgerät R einschalten (Standard: verfolgtes Funkgerät)
  follow R              Funkgerät R (1 oder 2) im Hauptfenster verfolgen
  watch                 den Zustand ausgeben, dann jede Änderung, eine Zeile pro Eigenschaft, bis
                        zur Unterbrechung (--json: ein Objekt pro Änderung)
  show                  das Hauptfenster in den Vordergrund holen

Ohne --settings erreichen die Befehle die eine laufende Steuerung; laufen mehrere, wählen Sie
eine mit --settings aus.

Exit-Status: 0 erledigt, 1 von der Steuerung abgelehnt, mehrere laufen ohne --settings oder
fehlerhafte Befehlszeile, 2 keine Steuerung läuft.</translation>
    </message>
    <message>
        <source>no controller running (%1)</source>
        <extracomment>%1 is the bus name that was called, or why none can be.</extracomment>
        <translation>keine laufende Steuerung (%1)</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>%1, %2 %3, following radio %4</source>
        <extracomment>%1 is the link state, %2 the mode (LAN, COM/USB), %3 the address or port, %4 the radio&apos;s number.</extracomment>
        <translation>%1, %2 %3, verfolgt Funkgerät %4</translation>
    </message>
    <message>
        <source>no mode</source>
        <translation>keine Verbindungsart</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>manual</source>
        <translation>manuell</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <extracomment>An antenna&apos;s number and its name.</extracomment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>radio %1: band %2, %3, antenna %4</source>
        <extracomment>%1 is the radio&apos;s number, %2 its band, %3 &quot;Auto&quot; or &quot;manual&quot;, %4 the antenna.</extracomment>
        <translation>Funkgerät %1: Band %2, %3, Antenne %4</translation>
    </message>
    <message>
        <source>cannot watch: %1</source>
        <translation>Beobachten nicht möglich: %1</translation>
    </message>
    <message>
        <source>the controller has ended</source>
        <translation>die Steuerung wurde beendet</translation>
    </message>
    <message>
        <source>no controller running</source>
        <translation>keine laufende Steuerung</translation>
    </message>
    <message>
        <source>no controller running for %1 (%2)</source>
        <extracomment>%1 is the settings file, %2 the bus name its controller would have.</extracomment>
        <translation>keine laufende Steuerung für %1 (%2)</translation>
    </message>
    <message numerus="yes">
        <source>%n controllers are running; name one with --settings FILE:</source>
        <extracomment>Followed by one line per controller: its settings file and bus name.</extracomment>
        <translation>
            <numerusform>%n Steuerung läuft; wählen Sie eine mit --settings DATEI aus:</numerusform>
            <numerusform>%n Steuerungen laufen; wählen Sie eine mit --settings DATEI aus:</numerusform>
        </translation>
    </message>
    <message>
        <source>Drives a running QUILL-2 Controller over the session bus.</source>
        <translation>Bedient eine laufende QUILL-2-Steuerung über den Session-Bus.</translation>
    </message>
    <message>
        <source>FILE</source>
        <extracomment>The value of --settings, also named in the help and in messages.</extracomment>
        <translation>DATEI</translation>
    </message>
    <message>
        <source>R</source>
        <extracomment>The value of --radio, also named in the help.</extracomment>
        <translation>R</translation>
    </message>
    <message>
        <source>Reach the controller that uses FILE as its settings file.</source>
        <translation>Die Steuerung ansprechen, die DATEI als Einstellungsdatei verwendet.</translation>
    </message>
    <message>
        <source>The radio (1 or 2) for select and auto.</source>
        <translation>Das Funkgerät (1 oder 2) für select und auto.</translation>
    </message>
    <message>
        <source>Print JSON (list, status and watch).</source>
        <translation>JSON ausgeben (list, status und watch).</translation>
    </message>
    <message>
        <source>command</source>
        <extracomment>The name of the command argument in the usage line.</extracomment>
        <translation>Befehl</translation>
    </message>
    <message>
        <source>list, status, select, auto, follow, watch or show</source>
        <translation>list, status, select, auto, follow, watch oder show</translation>
    </message>
    <message>
        <source>%1 (see --help)</source>
        <extracomment>%1 says what is wrong with the command line.</extracomment>
        <translation>%1 (siehe --help)</translation>
    </message>
    <message>
        <source>no command</source>
        <translation>kein Befehl</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>unbekannter Befehl %1</translation>
    </message>
    <message>
        <source>%1: wrong number of arguments</source>
        <translation>%1: falsche Anzahl von Argumenten</translation>
    </message>
    <message>
        <source>--radio takes a number</source>
        <translation>--radio erwartet eine Zahl</translation>
    </message>
    <message>
        <source>no controller running (no session bus)</source>
        <translation>keine laufende Steuerung (kein Session-Bus)</translation>
    </message>
    <message>
        <source>no controller running (the session bus cannot be reached)</source>
        <translation>keine laufende Steuerung (der Session-Bus ist nicht erreichbar)</translation>
    </message>
    <message>
        <source>follow takes a radio number</source>
        <translation>follow erwartet eine Funkgerätnummer</translation>
    </message>
    <message>
        <source>select takes an antenna number</source>
        <translation>select erwartet eine Antennennummer</translation>
    </message>
</context>
<context>
    <name>Recovery</name>
    <message>
        <source>%1 names no device: it is not reopened by itself</source>
        <translation>%1 bezeichnet kein Gerät: Der Port wird nicht von selbst wieder geöffnet</translation>
    </message>
    <message>
        <source>%1 (%2) is a pseudo-terminal&apos;s number, which goes to the next terminal any program opens: it is not reopened by itself (a link made anew for each new terminal is followed)</source>
        <translation>%1 (%2) ist die Nummer eines Pseudoterminals, die an das nächste Terminal vergeben wird, das irgendein Programm öffnet: Der Port wird nicht von selbst wieder geöffnet (einem Link, der für jedes neue Terminal neu angelegt wird, wird gefolgt)</translation>
    </message>
    <message>
        <source>Cannot watch for %1 to come back: %2</source>
        <extracomment>%2 is the system&apos;s reason.</extracomment>
        <translation>Die Rückkehr von %1 kann nicht überwacht werden: %2</translation>
    </message>
    <message>
        <source>Waiting for %1 (%2) to come back</source>
        <translation>Warten auf die Rückkehr von %1 (%2)</translation>
    </message>
    <message>
        <source>%1 (%2) still leads where it did before the loss, to a terminal that may be another program&apos;s: waiting for the link to be made anew</source>
        <translation>%1 (%2) verweist noch dorthin wie vor dem Verlust, auf ein Terminal, das einem anderen Programm gehören kann: Warten, bis der Link neu angelegt wird</translation>
    </message>
    <message>
        <source>%1 is back (%2): reopened</source>
        <translation>%1 ist wieder da (%2): wieder geöffnet</translation>
    </message>
    <message>
        <source>%1&apos;s adapter is back as %2: reopened</source>
        <extracomment>%2 is the number the same adapter has now.</extracomment>
        <translation>Der Adapter von %1 ist als %2 wieder da: wieder geöffnet</translation>
    </message>
    <message>
        <source>%1 is back but cannot be opened: %2</source>
        <extracomment>%2 is why it cannot be opened.</extracomment>
        <translation>%1 ist wieder da, kann aber nicht geöffnet werden: %2</translation>
    </message>
</context>
<context>
    <name>Remote</name>
    <message>
        <source>No port is open</source>
        <translation>Kein Port ist geöffnet</translation>
    </message>
    <message>
        <source>No communications mode is chosen</source>
        <translation>Keine Verbindungsart gewählt</translation>
    </message>
    <message>
        <source>The controller is closing</source>
        <translation>Die Steuerung wird beendet</translation>
    </message>
    <message>
        <source>A message box is waiting for the user</source>
        <translation>Ein Meldungsfenster wartet auf den Benutzer</translation>
    </message>
    <message>
        <source>The controller is starting</source>
        <translation>Die Steuerung wird gestartet</translation>
    </message>
    <message>
        <source>A command is being sent</source>
        <translation>Ein Befehl wird gerade gesendet</translation>
    </message>
    <message>
        <source>The last command has not left yet</source>
        <translation>Der letzte Befehl ist noch nicht gesendet</translation>
    </message>
    <message>
        <source>no session bus (DBUS_SESSION_BUS_ADDRESS is not set)</source>
        <translation>kein Session-Bus (DBUS_SESSION_BUS_ADDRESS ist nicht gesetzt)</translation>
    </message>
    <message>
        <source>the session bus cannot be reached (%1)</source>
        <extracomment>%1 is the bus library&apos;s reason.</extracomment>
        <translation>der Session-Bus ist nicht erreichbar (%1)</translation>
    </message>
    <message>
        <source>the session bus does not answer (%1)</source>
        <translation>der Session-Bus antwortet nicht (%1)</translation>
    </message>
    <message>
        <source>the session bus refused the controller object</source>
        <translation>der Session-Bus hat das Steuerungsobjekt abgelehnt</translation>
    </message>
    <message>
        <source>the bus name %1 cannot be claimed (%2)</source>
        <translation>der Busname %1 kann nicht belegt werden (%2)</translation>
    </message>
    <message>
        <source>the session bus has gone; remote control is off until it comes back</source>
        <translation>der Session-Bus ist weg; die Fernsteuerung ist aus, bis er wieder da ist</translation>
    </message>
    <message>
        <source>the session bus is back; remote control is on (%1)</source>
        <extracomment>%1 is the bus name the controller is found by.</extracomment>
        <translation>der Session-Bus ist wieder da; die Fernsteuerung ist an (%1)</translation>
    </message>
    <message>
        <source>another controller holds %1; remote control stays off</source>
        <translation>eine andere Steuerung belegt %1; die Fernsteuerung bleibt aus</translation>
    </message>
    <message numerus="yes">
        <source>Busy: %n calls are waiting already</source>
        <translation>
            <numerusform>Beschäftigt: %n Aufruf wartet bereits</numerusform>
            <numerusform>Beschäftigt: %n Aufrufe warten bereits</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Busy: %n calls are waiting already (%1)</source>
        <extracomment>%1 is why the first waiting call waits.</extracomment>
        <translation>
            <numerusform>Beschäftigt: %n Aufruf wartet bereits (%1)</numerusform>
            <numerusform>Beschäftigt: %n Aufrufe warten bereits (%1)</numerusform>
        </translation>
    </message>
    <message>
        <source>Busy: waited %1 s for its turn</source>
        <translation>Beschäftigt: %1 s gewartet, ohne an die Reihe zu kommen</translation>
    </message>
    <message>
        <source>Busy: waited %1 s for its turn (%2)</source>
        <extracomment>%2 is why the first waiting call waits.</extracomment>
        <translation>Beschäftigt: %1 s gewartet, ohne an die Reihe zu kommen (%2)</translation>
    </message>
    <message>
        <source>Radio %1 is out of range (1 to 2)</source>
        <translation>Funkgerät %1 liegt außerhalb des Bereichs (1 bis 2)</translation>
    </message>
    <message>
        <source>Antenna %1 is out of range (1 to 8)</source>
        <translation>Antenne %1 liegt außerhalb des Bereichs (1 bis 8)</translation>
    </message>
    <message>
        <source>The device has not answered the previous command yet</source>
        <translation>Das Gerät hat auf den vorigen Befehl noch nicht geantwortet</translation>
    </message>
    <message>
        <source>Radio %1 is not the followed radio; follow it first</source>
        <translation>Funkgerät %1 ist nicht das verfolgte Funkgerät; verfolgen Sie es zuerst</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>the name is empty</source>
        <translation>der Name ist leer</translation>
    </message>
    <message>
        <source>the name holds a line break</source>
        <translation>der Name enthält einen Zeilenumbruch</translation>
    </message>
    <message>
        <source>the name starts or ends with a blank</source>
        <translation>der Name beginnt oder endet mit einem Leerzeichen</translation>
    </message>
    <message>
        <source>a key name cannot hold &quot;=&quot;</source>
        <translation>ein Schlüsselname darf kein &quot;=&quot; enthalten</translation>
    </message>
    <message>
        <source>a key name cannot start with &quot;;&quot; or &quot;#&quot;</source>
        <translation>ein Schlüsselname darf nicht mit &quot;;&quot; oder &quot;#&quot; beginnen</translation>
    </message>
    <message>
        <source>a key name cannot start with &quot;[&quot;</source>
        <translation>ein Schlüsselname darf nicht mit &quot;[&quot; beginnen</translation>
    </message>
    <message>
        <source>Unable to write to %1</source>
        <translation>In %1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Cannot store section &quot;%1&quot; in %2: %3</source>
        <extracomment>%2 is the settings file, %3 why the name cannot be stored.</extracomment>
        <translation>Abschnitt &quot;%1&quot; kann nicht in %2 gespeichert werden: %3</translation>
    </message>
    <message>
        <source>Cannot store key &quot;%1&quot; in %2: %3</source>
        <translation>Schlüssel &quot;%1&quot; kann nicht in %2 gespeichert werden: %3</translation>
    </message>
</context>
<context>
    <name>TComSelectForm</name>
    <message>
        <source>Select Port</source>
        <translation>Port auswählen</translation>
    </message>
    <message>
        <source>The configured serial port is not valid.</source>
        <translation>Der eingestellte Port ist ungültig.</translation>
    </message>
    <message>
        <source>Please choose another port.</source>
        <translation>Bitte wählen Sie einen anderen Port.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TCommControl</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Communications</source>
        <translation>Kommunikation</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Deaktiviert</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Available Ports</source>
        <translation>Verfügbare Ports</translation>
    </message>
    <message>
        <source>Reopen the port when it comes back</source>
        <translation>Port bei Rückkehr wieder öffnen</translation>
    </message>
    <message>
        <source>Communications Mode</source>
        <translation>Verbindungsart</translation>
    </message>
    <message>
        <source>LAN</source>
        <translation>LAN</translation>
    </message>
    <message>
        <source>COM/USB</source>
        <translation>COM/USB</translation>
    </message>
    <message>
        <source>LAN Settings</source>
        <translation>LAN-Einstellungen</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbr.</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Try %1 %2</source>
        <translation>Versuch %1 %2</translation>
    </message>
    <message>
        <source>Sent: %1</source>
        <translation>Gesendet: %1</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Verbindet</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Updating</source>
        <translation>Abgleich</translation>
    </message>
    <message>
        <source>Communications failed</source>
        <translation>Kommunikation fehlgeschlagen</translation>
    </message>
    <message>
        <source>COM%1 lost at %2; its error boxes close by themselves when it is back</source>
        <translation>COM%1 um %2 verloren; die zugehörigen Fehlermeldungen schließen sich von selbst, sobald der Port wieder da ist</translation>
    </message>
    <message>
        <source>COM%1 back at %2, %3 s after the loss; its error boxes were closed</source>
        <translation>COM%1 um %2 wieder da, %3 s nach dem Verlust; die zugehörigen Fehlermeldungen wurden geschlossen</translation>
    </message>
    <message>
        <source>COM%1 back at %2, %3 s after the loss</source>
        <translation>COM%1 um %2 wieder da, %3 s nach dem Verlust</translation>
    </message>
    <message>
        <source>Using COM%1</source>
        <translation>Aktiv: COM%1</translation>
    </message>
    <message>
        <source>the link is not in COM/USB mode</source>
        <translation>die Verbindung ist nicht im COM/USB-Modus</translation>
    </message>
    <message>
        <source>Error opening COM%1</source>
        <translation>Fehler beim Öffnen von COM%1</translation>
    </message>
    <message>
        <source>COM%1 names no device</source>
        <translation>COM%1 bezeichnet kein Gerät</translation>
    </message>
    <message>
        <source>COM%1: %2</source>
        <translation>COM%1: %2</translation>
    </message>
    <message>
        <source>Port: %1</source>
        <translation>Port: %1</translation>
    </message>
    <message>
        <source>Port: %1, which names no device</source>
        <translation>Port: %1 (bezeichnet kein Gerät)</translation>
    </message>
    <message>
        <source>Port: %1 (%2)</source>
        <translation>Port: %1 (%2)</translation>
    </message>
    <message>
        <source>Keep this adapter as COM%1</source>
        <translation>Diesen Adapter fest als COM%1 zuordnen</translation>
    </message>
    <message>
        <source>Keep this adapter as COMn</source>
        <translation>Diesen Adapter fest als COMn zuordnen</translation>
    </message>
    <message>
        <source>COM%1 is kept for %2</source>
        <translation>COM%1 ist fest %2 zugeordnet</translation>
    </message>
    <message>
        <source>Dropped a line longer than %1 characters</source>
        <translation>Eine Zeile mit mehr als %1 Zeichen wurde verworfen</translation>
    </message>
    <message>
        <source>Tries: %1</source>
        <translation>Versuche: %1</translation>
    </message>
    <message>
        <source>Error opening COM port</source>
        <translation>Fehler beim Öffnen des COM-Ports</translation>
    </message>
    <message>
        <source>COM disabled</source>
        <translation>COM deaktiviert</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>the button&apos;s full text</comment>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>the button&apos;s full text</comment>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TGetComPorts</name>
    <message>
        <source>Disable</source>
        <translation>Aus</translation>
    </message>
</context>
<context>
    <name>TQpCustomTerminal</name>
    <message>
        <source>Cannot open file &quot;%1&quot;. %2</source>
        <translation>Datei &quot;%1&quot; kann nicht geöffnet werden. %2</translation>
    </message>
    <message>
        <source>Capture to &quot;%1&quot; stopped: %2</source>
        <translation>Aufzeichnung in &quot;%1&quot; beendet: %2</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>Einf&amp;ügen</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>&amp;Alles auswählen</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>&amp;New line after carriage return</source>
        <translation>&amp;Neue Zeile nach Wagenrücklauf</translation>
    </message>
</context>
<context>
    <name>TQuillMain</name>
    <message>
        <source>Antenna %1</source>
        <translation>Antenne %1</translation>
    </message>
    <message>
        <source>last known value, the link is down</source>
        <translation>letzter bekannter Wert, die Verbindung ist getrennt</translation>
    </message>
    <message>
        <source>QUILL-2 Controller V1.0</source>
        <translation>QUILL-2-Steuerung V1.0</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Link: Disconnected</source>
        <translation>Verbindung: getrennt</translation>
    </message>
    <message>
        <source>Band</source>
        <translation>Band</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Radio #1</source>
        <translation>Funkgerät 1</translation>
    </message>
    <message>
        <source>Radio #2</source>
        <translation>Funkgerät 2</translation>
    </message>
    <message>
        <source>Antennas</source>
        <translation>Antennen</translation>
    </message>
    <message>
        <source>Link: Connected</source>
        <translation>Verbindung: hergestellt</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Antenna %1 Name</source>
        <translation>Name der Antenne %1</translation>
    </message>
    <message>
        <source>New name:</source>
        <translation>Neuer Name:</translation>
    </message>
</context>
</TS>
