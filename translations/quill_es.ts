<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES" sourcelanguage="en">
<context>
    <name>Devices</name>
    <message>
        <source>You have been added to the group %1 since this login began: log out and in again so that it counts.</source>
        <translation>Se le ha añadido al grupo %1 después de iniciar esta sesión: cierre la sesión y vuelva a entrar para que surta efecto.</translation>
    </message>
    <message>
        <source>It belongs to the group %1, which you are not in. Join it with
    sudo usermod -aG %1 $USER
then log out and in again: a new login is needed for the group to count.</source>
        <extracomment>The second line is a command to type: only &quot;%1&quot; in it changes.</extracomment>
        <translation>Pertenece al grupo %1, del que usted no es miembro. Únase a él con
    sudo usermod -aG %1 $USER
y luego cierre la sesión y vuelva a entrar: el grupo solo surte efecto en un nuevo inicio de sesión.</translation>
    </message>
    <message>
        <source>Another program holds it (one this user cannot see, or one that has let go since).</source>
        <translation>Lo tiene ocupado otro programa (uno que este usuario no puede ver, o uno que ya lo ha liberado).</translation>
    </message>
    <message>
        <source>a program</source>
        <translation>un programa</translation>
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
        <translation>Ocupado por %1.</translation>
    </message>
    <message>
        <source>ModemManager probes new USB serial devices and lets go after a while; to keep it away from this adapter, give it ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot; in a udev rule.</source>
        <translation>ModemManager sondea los dispositivos serie USB nuevos y los libera al cabo de un rato; para que no toque este adaptador, asígnele ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot; en una regla de udev.</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <translation>Dispositivo: %1</translation>
    </message>
    <message>
        <source>Device: %1 (%2)</source>
        <extracomment>The device&apos;s path and the node it leads to.</extracomment>
        <translation>Dispositivo: %1 (%2)</translation>
    </message>
    <message>
        <source>%1 is not there</source>
        <translation>%1 no existe</translation>
    </message>
    <message>
        <source>%1 leads to a path, which is not there</source>
        <translation>%1 apunta a una ruta que no existe</translation>
    </message>
    <message>
        <source>%1 leads to %2, which is not there</source>
        <extracomment>%1 is a link, %2 the path it leads to.</extracomment>
        <translation>%1 apunta a %2, que no existe</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a regular file)</source>
        <translation>%1 no es un dispositivo serie (es un archivo normal)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a folder)</source>
        <translation>%1 no es un dispositivo serie (es una carpeta)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a named pipe)</source>
        <translation>%1 no es un dispositivo serie (es una tubería con nombre)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a socket)</source>
        <translation>%1 no es un dispositivo serie (es un socket)</translation>
    </message>
    <message>
        <source>%1 is not a serial device (a block device)</source>
        <translation>%1 no es un dispositivo serie (es un dispositivo de bloques)</translation>
    </message>
    <message>
        <source>%1 is not a serial device</source>
        <translation>%1 no es un dispositivo serie</translation>
    </message>
    <message>
        <source>%1 is a terminal that is not ready yet</source>
        <translation>%1 es un terminal que aún no está listo</translation>
    </message>
    <message>
        <source>USB serial adapter</source>
        <translation>Adaptador serie USB</translation>
    </message>
    <message>
        <source>pseudo-terminal</source>
        <translation>pseudoterminal</translation>
    </message>
    <message>
        <source>%1 driver</source>
        <extracomment>%1 is the kernel driver&apos;s name, such as serial8250.</extracomment>
        <translation>controlador %1</translation>
    </message>
    <message>
        <source>no driver known</source>
        <translation>controlador desconocido</translation>
    </message>
</context>
<context>
    <name>PortErrors</name>
    <message>
        <source>OK</source>
        <translation>Correcto</translation>
    </message>
    <message>
        <source>File not found</source>
        <translation>Archivo no encontrado</translation>
    </message>
    <message>
        <source>Path not found</source>
        <translation>Ruta no encontrada</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>Demasiados archivos abiertos</translation>
    </message>
    <message>
        <source>File access denied</source>
        <translation>Acceso al archivo denegado</translation>
    </message>
    <message>
        <source>Invalid file handle</source>
        <translation>Identificador de archivo no válido</translation>
    </message>
    <message>
        <source>Insufficient memory</source>
        <translation>Memoria insuficiente</translation>
    </message>
    <message>
        <source>Invalid drive</source>
        <translation>Unidad no válida</translation>
    </message>
    <message>
        <source>No more files</source>
        <translation>No hay más archivos</translation>
    </message>
    <message>
        <source>Attempt to read beyond end of file</source>
        <translation>Intento de leer más allá del final del archivo</translation>
    </message>
    <message>
        <source>Disk is full</source>
        <translation>El disco está lleno</translation>
    </message>
    <message>
        <source>File/device not assigned</source>
        <translation>Archivo/dispositivo no asignado</translation>
    </message>
    <message>
        <source>File/device not open</source>
        <translation>Archivo/dispositivo no abierto</translation>
    </message>
    <message>
        <source>File/device not open for input</source>
        <translation>Archivo/dispositivo no abierto para entrada</translation>
    </message>
    <message>
        <source>File/device not open for output</source>
        <translation>Archivo/dispositivo no abierto para salida</translation>
    </message>
    <message>
        <source>Disk is write-protected</source>
        <translation>El disco está protegido contra escritura</translation>
    </message>
    <message>
        <source>Unknown disk unit</source>
        <translation>Unidad de disco desconocida</translation>
    </message>
    <message>
        <source>Drive is not ready</source>
        <translation>La unidad no está lista</translation>
    </message>
    <message>
        <source>Unknown command</source>
        <translation>Comando desconocido</translation>
    </message>
    <message>
        <source>Data error</source>
        <translation>Error de datos</translation>
    </message>
    <message>
        <source>Bad request structure length</source>
        <translation>Longitud de la estructura de solicitud incorrecta</translation>
    </message>
    <message>
        <source>Seek error</source>
        <translation>Error de posicionamiento</translation>
    </message>
    <message>
        <source>Unknown media type</source>
        <translation>Tipo de soporte desconocido</translation>
    </message>
    <message>
        <source>Disk sector not found</source>
        <translation>Sector del disco no encontrado</translation>
    </message>
    <message>
        <source>Printer is out of paper</source>
        <translation>La impresora no tiene papel</translation>
    </message>
    <message>
        <source>Device write error</source>
        <translation>Error de escritura en el dispositivo</translation>
    </message>
    <message>
        <source>Device read error</source>
        <translation>Error de lectura del dispositivo</translation>
    </message>
    <message>
        <source>General failure</source>
        <translation>Fallo general</translation>
    </message>
    <message>
        <source>Bad handle passed to com function</source>
        <translation>Identificador incorrecto pasado a una función COM</translation>
    </message>
    <message>
        <source>Bad argument passed to function</source>
        <translation>Argumento incorrecto pasado a una función</translation>
    </message>
    <message>
        <source>Got quit message</source>
        <translation>Se recibió un mensaje de salida</translation>
    </message>
    <message>
        <source>Terminal buffer greater than 65521</source>
        <translation>Búfer del terminal mayor que 65521</translation>
    </message>
    <message>
        <source>ComPort component not assigned</source>
        <translation>Componente ComPort no asignado</translation>
    </message>
    <message>
        <source>Internal error creating window class</source>
        <translation>Error interno al crear la clase de ventana</translation>
    </message>
    <message>
        <source>Modem component not assigned</source>
        <translation>Componente de módem no asignado</translation>
    </message>
    <message>
        <source>Phonebook component not assigned</source>
        <translation>Componente de agenda telefónica no asignado</translation>
    </message>
    <message>
        <source>Component not compatible with WinSock</source>
        <translation>Componente no compatible con WinSock</translation>
    </message>
    <message>
        <source>ie_BadId - Specified comport doesn&apos;t exist</source>
        <translation>ie_BadId - El puerto COM indicado no existe</translation>
    </message>
    <message>
        <source>ie_Baudrate - unsupported baud rate</source>
        <translation>ie_Baudrate - velocidad en baudios no admitida</translation>
    </message>
    <message>
        <source>ie_Bytesize - invalid byte size</source>
        <translation>ie_Bytesize - tamaño de byte no válido</translation>
    </message>
    <message>
        <source>ie_Default - error in default parameters</source>
        <translation>ie_Default - error en los parámetros predeterminados</translation>
    </message>
    <message>
        <source>ie_Hardware - Specified comport in use</source>
        <translation>ie_Hardware - El puerto COM indicado está en uso</translation>
    </message>
    <message>
        <source>ie_Memory - unable to allocate queues</source>
        <translation>ie_Memory - no se pueden reservar las colas</translation>
    </message>
    <message>
        <source>ie_NOpen - device not open</source>
        <translation>ie_NOpen - dispositivo no abierto</translation>
    </message>
    <message>
        <source>ie_Open - device already open</source>
        <translation>ie_Open - dispositivo ya abierto</translation>
    </message>
    <message>
        <source>No more handles, can&apos;t open port</source>
        <translation>No quedan identificadores, no se puede abrir el puerto</translation>
    </message>
    <message>
        <source>No timers available</source>
        <translation>No hay temporizadores disponibles</translation>
    </message>
    <message>
        <source>The ComNumber property of the TQpComPort has not been set</source>
        <translation>No se ha establecido la propiedad ComNumber de TQpComPort</translation>
    </message>
    <message>
        <source>Comport was not opened by Tapi</source>
        <translation>El puerto COM no fue abierto por Tapi</translation>
    </message>
    <message>
        <source>No device layer specified</source>
        <translation>No se ha especificado ninguna capa de dispositivo</translation>
    </message>
    <message>
        <source>Function not supported by driver</source>
        <translation>Función no admitida por el controlador</translation>
    </message>
    <message>
        <source>EnableCommNotification failed</source>
        <translation>Falló EnableCommNotification</translation>
    </message>
    <message>
        <source>Failed to put entire block</source>
        <translation>No se pudo escribir el bloque completo</translation>
    </message>
    <message>
        <source>Failed to get entire block</source>
        <translation>No se pudo leer el bloque completo</translation>
    </message>
    <message>
        <source>Output buffer too small for block</source>
        <translation>Búfer de salida demasiado pequeño para el bloque</translation>
    </message>
    <message>
        <source>Buffer is empty</source>
        <translation>El búfer está vacío</translation>
    </message>
    <message>
        <source>Tracing not enabled</source>
        <translation>Traza no activada</translation>
    </message>
    <message>
        <source>Logging not enabled</source>
        <translation>Registro no activado</translation>
    </message>
    <message>
        <source>Base address not set</source>
        <translation>Dirección base no establecida</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this entry?</source>
        <translation>¿Seguro que desea eliminar esta entrada?</translation>
    </message>
    <message>
        <source>No more trigger slots</source>
        <translation>No quedan ranuras de disparador</translation>
    </message>
    <message>
        <source>Data trigger too long</source>
        <translation>Disparador de datos demasiado largo</translation>
    </message>
    <message>
        <source>Bad trigger handle</source>
        <translation>Identificador de disparador incorrecto</translation>
    </message>
    <message>
        <source>Start string is empty</source>
        <translation>La cadena inicial está vacía</translation>
    </message>
    <message>
        <source>Packet size cannot be smaller than start string</source>
        <translation>El tamaño del paquete no puede ser menor que la cadena inicial</translation>
    </message>
    <message>
        <source>CharCount packets must have an end-condition</source>
        <translation>Los paquetes CharCount deben tener una condición final</translation>
    </message>
    <message>
        <source>End string is empty</source>
        <translation>La cadena final está vacía</translation>
    </message>
    <message>
        <source>Packet size cannot be zero</source>
        <translation>El tamaño del paquete no puede ser cero</translation>
    </message>
    <message>
        <source>Packet too long</source>
        <translation>Paquete demasiado largo</translation>
    </message>
    <message>
        <source>Port Toolkit Error</source>
        <translation>Error de la biblioteca de puertos</translation>
    </message>
    <message>
        <source>Error loading Winsock DLL</source>
        <translation>Error al cargar la DLL de Winsock</translation>
    </message>
    <message>
        <source>Incorrect version of Winsock</source>
        <translation>Versión de Winsock incorrecta</translation>
    </message>
    <message>
        <source>Winsock not initialized - %s</source>
        <extracomment>%s stands for the reason and must stay as it is.</extracomment>
        <translation>Winsock no inicializado - %s</translation>
    </message>
    <message>
        <source>Specified port is not valid</source>
        <translation>El puerto indicado no es válido</translation>
    </message>
    <message>
        <source>Cannot change parameter while socket is connected</source>
        <translation>No se puede cambiar el parámetro mientras el socket está conectado</translation>
    </message>
    <message>
        <source>Cannot resolve destination address</source>
        <translation>No se puede resolver la dirección de destino</translation>
    </message>
    <message>
        <source>SOCKS request rejected or failed</source>
        <translation>Solicitud SOCKS rechazada o fallida</translation>
    </message>
    <message>
        <source>SOCKS server cannot reach the client&apos;s identification service</source>
        <translation>El servidor SOCKS no puede contactar con el servicio de identificación del cliente</translation>
    </message>
    <message>
        <source>SOCKS server rejected the user identifier</source>
        <translation>El servidor SOCKS rechazó el identificador de usuario</translation>
    </message>
    <message>
        <source>Unexpected answer from the SOCKS server</source>
        <translation>Respuesta inesperada del servidor SOCKS</translation>
    </message>
    <message>
        <source>General SOCKS server failure</source>
        <translation>Fallo general del servidor SOCKS</translation>
    </message>
    <message>
        <source>Connection not allowed by the SOCKS server&apos;s rules</source>
        <translation>Conexión no permitida por las reglas del servidor SOCKS</translation>
    </message>
    <message>
        <source>Network unreachable from the SOCKS server</source>
        <translation>Red inaccesible desde el servidor SOCKS</translation>
    </message>
    <message>
        <source>Host unreachable from the SOCKS server</source>
        <translation>Host inaccesible desde el servidor SOCKS</translation>
    </message>
    <message>
        <source>Connection refused by the destination host</source>
        <translation>Conexión rechazada por el host de destino</translation>
    </message>
    <message>
        <source>TTL expired at the SOCKS server</source>
        <translation>TTL caducado en el servidor SOCKS</translation>
    </message>
    <message>
        <source>Command not supported by the SOCKS server</source>
        <translation>Comando no admitido por el servidor SOCKS</translation>
    </message>
    <message>
        <source>Address type not supported by the SOCKS server</source>
        <translation>Tipo de dirección no admitido por el servidor SOCKS</translation>
    </message>
    <message>
        <source>SOCKS server replied with an IPv6 address</source>
        <translation>El servidor SOCKS respondió con una dirección IPv6</translation>
    </message>
    <message>
        <source>Invalid SOCKS server reply</source>
        <translation>Respuesta no válida del servidor SOCKS</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Ninguno</translation>
    </message>
    <message>
        <source>Interrupted function call</source>
        <translation>Llamada a función interrumpida</translation>
    </message>
    <message>
        <source>Bad file number</source>
        <translation>Número de archivo incorrecto</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Permiso denegado</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Error desconocido</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>Argumento no válido</translation>
    </message>
    <message>
        <source>Warning : the socket would block on this call</source>
        <translation>Advertencia: el socket se bloquearía en esta llamada</translation>
    </message>
    <message>
        <source>A blocking call is in progress</source>
        <translation>Hay una llamada bloqueante en curso</translation>
    </message>
    <message>
        <source>WSAEALREADY: watch out, Al is ready</source>
        <translation>WSAEALREADY: atención, la operación ya está en curso</translation>
    </message>
    <message>
        <source>Socket descriptor is (1) not a socket, or (2) is of wrong type</source>
        <translation>El descriptor (1) no es un socket o (2) es de un tipo incorrecto</translation>
    </message>
    <message>
        <source>The destination address is required for this operation</source>
        <translation>Esta operación requiere la dirección de destino</translation>
    </message>
    <message>
        <source>The datagram was too large to fit into the buffer and was truncated</source>
        <translation>El datagrama era demasiado grande para el búfer y se truncó</translation>
    </message>
    <message>
        <source>WSAEPROTOTYPE</source>
        <translation>WSAEPROTOTYPE</translation>
    </message>
    <message>
        <source>The option is unknown or not supported</source>
        <translation>La opción es desconocida o no se admite</translation>
    </message>
    <message>
        <source>Either (1) not enough buffer space to create socket (2) protocol not supported</source>
        <translation>(1) No hay espacio de búfer suficiente para crear el socket o (2) el protocolo no se admite</translation>
    </message>
    <message>
        <source>Specified socket type not supported in this address family</source>
        <translation>El tipo de socket indicado no se admite en esta familia de direcciones</translation>
    </message>
    <message>
        <source>Operation is not supported by this socket</source>
        <translation>Este socket no admite la operación</translation>
    </message>
    <message>
        <source>Specified protocol family is not supported</source>
        <translation>La familia de protocolos indicada no se admite</translation>
    </message>
    <message>
        <source>Specified address family is not supported by this protocol</source>
        <translation>Este protocolo no admite la familia de direcciones indicada</translation>
    </message>
    <message>
        <source>The address is already in use for this operation</source>
        <translation>La dirección ya está en uso para esta operación</translation>
    </message>
    <message>
        <source>The address is not available from this machine</source>
        <translation>La dirección no está disponible desde esta máquina</translation>
    </message>
    <message>
        <source>The network subsystem has failed</source>
        <translation>El subsistema de red ha fallado</translation>
    </message>
    <message>
        <source>The network is unreachable from this machine at this time</source>
        <translation>En este momento la red no es accesible desde esta máquina</translation>
    </message>
    <message>
        <source>The network has been reset</source>
        <translation>La red se ha restablecido</translation>
    </message>
    <message>
        <source>The virtual circuit has been aborted due to timeout, etc</source>
        <translation>El circuito virtual se ha interrumpido por tiempo de espera agotado, etc.</translation>
    </message>
    <message>
        <source>The virtual circuit has been reset by the partner</source>
        <translation>El otro extremo ha restablecido el circuito virtual</translation>
    </message>
    <message>
        <source>The descriptor is not a socket, or no buffer space is available</source>
        <translation>El descriptor no es un socket o no hay espacio de búfer disponible</translation>
    </message>
    <message>
        <source>The socket is already connected</source>
        <translation>El socket ya está conectado</translation>
    </message>
    <message>
        <source>The socket is not connected</source>
        <translation>El socket no está conectado</translation>
    </message>
    <message>
        <source>The socket has been shutdown</source>
        <translation>El socket se ha cerrado</translation>
    </message>
    <message>
        <source>WSAETOOMANYREFS</source>
        <translation>WSAETOOMANYREFS</translation>
    </message>
    <message>
        <source>The operation timed out</source>
        <translation>Se agotó el tiempo de espera de la operación</translation>
    </message>
    <message>
        <source>The attempt to connect was forcibly refused</source>
        <translation>El intento de conexión fue rechazado de forma forzosa</translation>
    </message>
    <message>
        <source>WSAELOOP: see WSAELOOP</source>
        <translation>WSAELOOP: véase WSAELOOP</translation>
    </message>
    <message>
        <source>The name is too long</source>
        <translation>El nombre es demasiado largo</translation>
    </message>
    <message>
        <source>The host machine is down</source>
        <translation>El host no está operativo</translation>
    </message>
    <message>
        <source>The host machine is unreachable</source>
        <translation>El host es inaccesible</translation>
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
        <translation>Subsistema de red inutilizable</translation>
    </message>
    <message>
        <source>Version requested by WSAStartUp not supported by loaded Winsock DLL</source>
        <translation>La DLL de Winsock cargada no admite la versión solicitada por WSAStartUp</translation>
    </message>
    <message>
        <source>WSAStartUp not yet called</source>
        <translation>Aún no se ha llamado a WSAStartUp</translation>
    </message>
    <message>
        <source>WSAEDISCON</source>
        <translation>WSAEDISCON</translation>
    </message>
    <message>
        <source>Host not found</source>
        <translation>Host no encontrado</translation>
    </message>
    <message>
        <source>Host not found, or SERVERFAIL, can try again</source>
        <translation>Host no encontrado o SERVERFAIL; puede volver a intentarlo</translation>
    </message>
    <message>
        <source>Non recoverable errors, FORMERR, REFUSED, NOTIMP</source>
        <translation>Errores irrecuperables, FORMERR, REFUSED, NOTIMP</translation>
    </message>
    <message>
        <source>Valid name, but no data record of requested type</source>
        <translation>Nombre válido, pero sin registro de datos del tipo solicitado</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Memoria agotada</translation>
    </message>
    <message>
        <source>Port exception</source>
        <translation>Excepción de puerto</translation>
    </message>
</context>
<context>
    <name>Program</name>
    <message>
        <source>QUILL-2 Controller: drives a remote antenna selector.</source>
        <translation>Controlador QUILL-2: maneja un selector de antenas remoto.</translation>
    </message>
    <message>
        <source>FILE</source>
        <extracomment>The value of --settings; its description and the help text name it too.</extracomment>
        <translation>ARCHIVO</translation>
    </message>
    <message>
        <source>Use FILE as the settings file.</source>
        <translation>Usar ARCHIVO como archivo de configuración.</translation>
    </message>
    <message>
        <source>List the serial ports with their COM numbers and devices, then exit.</source>
        <translation>Listar los puertos serie con sus números COM y sus dispositivos, y salir.</translation>
    </message>
    <message>
        <source>No serial ports found.</source>
        <translation>No se encontraron puertos serie.</translation>
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
        <translation>Controlador QUILL-2: maneja un selector de antenas remoto.

Archivo de configuración: %1
  (quill.ini junto al ejecutable si ese archivo existe o se puede escribir en su carpeta;
  si no, $XDG_CONFIG_HOME/quill/quill.ini, por defecto ~/.config/quill/quill.ini;
  un programa instalado usa siempre este último; --settings ARCHIVO indica otro)
Los puertos serie se eligen por número COM: /dev/ttyS&lt;n&gt; es COM&lt;n+1&gt;, /dev/ttyUSB&lt;n&gt;
  COM&lt;n+33&gt;, /dev/ttyACM&lt;n&gt; COM&lt;n+65&gt;; otros dispositivos reciben uno en la sección
  [ComMap] del archivo de configuración o en la variable de entorno QUILL_COM_MAP
  (COM5=/dev/pts/3;COM6=/dev/ttyV1).
Las ventanas necesitan una pantalla (DISPLAY o WAYLAND_DISPLAY); si no la hay, ejecútelo
  como &quot;xvfb-run quill&quot;.
Más información en &quot;man quill&quot;.</translation>
    </message>
    <message>
        <source>DISPLAY and WAYLAND_DISPLAY are not set</source>
        <translation>DISPLAY y WAYLAND_DISPLAY no están definidas</translation>
    </message>
    <message>
        <source>nothing answers at DISPLAY=%1</source>
        <translation>nada responde en DISPLAY=%1</translation>
    </message>
    <message>
        <source>nothing answers at WAYLAND_DISPLAY=%1, and DISPLAY is not set</source>
        <translation>nada responde en WAYLAND_DISPLAY=%1 y DISPLAY no está definida</translation>
    </message>
    <message>
        <source>nothing answers at DISPLAY=%1 or WAYLAND_DISPLAY=%2</source>
        <translation>nada responde en DISPLAY=%1 ni en WAYLAND_DISPLAY=%2</translation>
    </message>
    <message>
        <source>no display found (%1); set DISPLAY or WAYLAND_DISPLAY to a running display, or start it as &quot;xvfb-run quill&quot;</source>
        <extracomment>%1 says what was looked at and found silent.</extracomment>
        <translation>no se encontró ninguna pantalla (%1); asigne a DISPLAY o WAYLAND_DISPLAY una pantalla en funcionamiento, o inícielo como &quot;xvfb-run quill&quot;</translation>
    </message>
    <message>
        <source>the window system did not start</source>
        <translation>el sistema de ventanas no se inició</translation>
    </message>
    <message>
        <source>the window system did not start on DISPLAY=%1</source>
        <translation>el sistema de ventanas no se inició en DISPLAY=%1</translation>
    </message>
    <message>
        <source>the window system did not start on WAYLAND_DISPLAY=%1; its plugin comes with qt6-wayland</source>
        <translation>el sistema de ventanas no se inició en WAYLAND_DISPLAY=%1; su complemento se incluye en qt6-wayland</translation>
    </message>
    <message>
        <source>the Wayland display (WAYLAND_DISPLAY=%1) runs, but the toolkit&apos;s Wayland plugin is not installed: install qt6-wayland (sudo apt install qt6-wayland), or run the program under X (DISPLAY)</source>
        <translation>la pantalla Wayland (WAYLAND_DISPLAY=%1) funciona, pero el complemento Wayland de la biblioteca gráfica no está instalado: instale qt6-wayland (sudo apt install qt6-wayland) o ejecute el programa bajo X (DISPLAY)</translation>
    </message>
    <message>
        <source>another instance uses %1 but does not answer</source>
        <translation>otra instancia usa %1 pero no responde</translation>
    </message>
    <message>
        <source>%1; remote control is off</source>
        <extracomment>%1 says why the session bus cannot be used.</extracomment>
        <translation>%1; el control remoto está desactivado</translation>
    </message>
</context>
<context>
    <name>QtDialogs</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
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
        <translation>Comandos:
  list                  cada controlador en ejecución: su archivo de configuración, nombre de
                        bus y estado del enlace (--json: un array de objetos)
  status                el estado del controlador en una línea (--json: un objeto)
  select N [--radio R]  selecciona la antena N (1-8) para la radio R (por defecto: la seguida)
  auto [--radio R]      activa el modo automático en la radio R (por defecto: la seguida)
  follow R              sigue la radio R (1 o 2) en la ventana principal
  watch                 muestra el estado y después cada cambio, una línea por propiedad,
                        hasta que se interrumpa (--json: un objeto por cambio)
  show                  trae la ventana principal al frente

Sin --settings, los comandos se dirigen al único controlador en ejecución; si hay varios,
indique uno con --settings.

Estado de salida: 0 hecho; 1 rechazado por el controlador, varios en ejecución sin --settings
o línea de comandos incorrecta; 2 ningún controlador en ejecución.</translation>
    </message>
    <message>
        <source>no controller running (%1)</source>
        <extracomment>%1 is the bus name that was called, or why none can be.</extracomment>
        <translation>ningún controlador en ejecución (%1)</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Conectado</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Desconectado</translation>
    </message>
    <message>
        <source>%1, %2 %3, following radio %4</source>
        <extracomment>%1 is the link state, %2 the mode (LAN, COM/USB), %3 the address or port, %4 the radio&apos;s number.</extracomment>
        <translation>%1, %2 %3, siguiendo la radio %4</translation>
    </message>
    <message>
        <source>no mode</source>
        <translation>sin modo</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>automático</translation>
    </message>
    <message>
        <source>manual</source>
        <translation>manual</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <extracomment>An antenna&apos;s number and its name.</extracomment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>radio %1: band %2, %3, antenna %4</source>
        <extracomment>%1 is the radio&apos;s number, %2 its band, %3 &quot;Auto&quot; or &quot;manual&quot;, %4 the antenna.</extracomment>
        <translation>radio %1: banda %2, %3, antena %4</translation>
    </message>
    <message>
        <source>cannot watch: %1</source>
        <translation>no se puede observar: %1</translation>
    </message>
    <message>
        <source>the controller has ended</source>
        <translation>el controlador ha terminado</translation>
    </message>
    <message>
        <source>no controller running</source>
        <translation>ningún controlador en ejecución</translation>
    </message>
    <message>
        <source>no controller running for %1 (%2)</source>
        <extracomment>%1 is the settings file, %2 the bus name its controller would have.</extracomment>
        <translation>ningún controlador en ejecución para %1 (%2)</translation>
    </message>
    <message numerus="yes">
        <source>%n controllers are running; name one with --settings FILE:</source>
        <extracomment>Followed by one line per controller: its settings file and bus name.</extracomment>
        <translation>
            <numerusform>hay %n controlador en ejecución; indique uno con --settings ARCHIVO:</numerusform>
            <numerusform>hay %n controladores en ejecución; indique uno con --settings ARCHIVO:</numerusform>
        </translation>
    </message>
    <message>
        <source>Drives a running QUILL-2 Controller over the session bus.</source>
        <translation>Maneja un Controlador QUILL-2 en ejecución a través del bus de sesión.</translation>
    </message>
    <message>
        <source>FILE</source>
        <extracomment>The value of --settings, also named in the help and in messages.</extracomment>
        <translation>ARCHIVO</translation>
    </message>
    <message>
        <source>R</source>
        <extracomment>The value of --radio, also named in the help.</extracomment>
        <translation>R</translation>
    </message>
    <message>
        <source>Reach the controller that uses FILE as its settings file.</source>
        <translation>Dirigirse al controlador que usa ARCHIVO como archivo de configuración.</translation>
    </message>
    <message>
        <source>The radio (1 or 2) for select and auto.</source>
        <translation>La radio (1 o 2) para select y auto.</translation>
    </message>
    <message>
        <source>Print JSON (list, status and watch).</source>
        <translation>Imprimir en JSON (list, status y watch).</translation>
    </message>
    <message>
        <source>command</source>
        <extracomment>The name of the command argument in the usage line.</extracomment>
        <translation>comando</translation>
    </message>
    <message>
        <source>list, status, select, auto, follow, watch or show</source>
        <translation>list, status, select, auto, follow, watch o show</translation>
    </message>
    <message>
        <source>%1 (see --help)</source>
        <extracomment>%1 says what is wrong with the command line.</extracomment>
        <translation>%1 (véase --help)</translation>
    </message>
    <message>
        <source>no command</source>
        <translation>falta el comando</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>comando desconocido %1</translation>
    </message>
    <message>
        <source>%1: wrong number of arguments</source>
        <translation>%1: número de argumentos incorrecto</translation>
    </message>
    <message>
        <source>--radio takes a number</source>
        <translation>--radio requiere un número</translation>
    </message>
    <message>
        <source>no controller running (no session bus)</source>
        <translation>ningún controlador en ejecución (no hay bus de sesión)</translation>
    </message>
    <message>
        <source>no controller running (the session bus cannot be reached)</source>
        <translation>ningún controlador en ejecución (no se puede acceder al bus de sesión)</translation>
    </message>
    <message>
        <source>follow takes a radio number</source>
        <translation>follow requiere un número de radio</translation>
    </message>
    <message>
        <source>select takes an antenna number</source>
        <translation>select requiere un número de antena</translation>
    </message>
</context>
<context>
    <name>Recovery</name>
    <message>
        <source>%1 names no device: it is not reopened by itself</source>
        <translation>%1 no corresponde a ningún dispositivo: no se reabrirá automáticamente</translation>
    </message>
    <message>
        <source>%1 (%2) is a pseudo-terminal&apos;s number, which goes to the next terminal any program opens: it is not reopened by itself (a link made anew for each new terminal is followed)</source>
        <translation>%1 (%2) es el número de un pseudoterminal, que pasa al siguiente terminal que abra cualquier programa: no se reabrirá automáticamente (sí se sigue un enlace que se vuelva a crear para cada terminal nuevo)</translation>
    </message>
    <message>
        <source>Cannot watch for %1 to come back: %2</source>
        <extracomment>%2 is the system&apos;s reason.</extracomment>
        <translation>No se puede vigilar el regreso de %1: %2</translation>
    </message>
    <message>
        <source>Waiting for %1 (%2) to come back</source>
        <translation>Esperando a que vuelva %1 (%2)</translation>
    </message>
    <message>
        <source>%1 (%2) still leads where it did before the loss, to a terminal that may be another program&apos;s: waiting for the link to be made anew</source>
        <translation>%1 (%2) sigue apuntando adonde apuntaba antes de la pérdida, a un terminal que puede ser de otro programa: esperando a que el enlace se vuelva a crear</translation>
    </message>
    <message>
        <source>%1 is back (%2): reopened</source>
        <translation>%1 ha vuelto (%2): reabierto</translation>
    </message>
    <message>
        <source>%1&apos;s adapter is back as %2: reopened</source>
        <extracomment>%2 is the number the same adapter has now.</extracomment>
        <translation>el adaptador de %1 ha vuelto como %2: reabierto</translation>
    </message>
    <message>
        <source>%1 is back but cannot be opened: %2</source>
        <extracomment>%2 is why it cannot be opened.</extracomment>
        <translation>%1 ha vuelto, pero no se puede abrir: %2</translation>
    </message>
</context>
<context>
    <name>Remote</name>
    <message>
        <source>No port is open</source>
        <translation>No hay ningún puerto abierto</translation>
    </message>
    <message>
        <source>No communications mode is chosen</source>
        <translation>No se ha elegido ningún modo de comunicación</translation>
    </message>
    <message>
        <source>The controller is closing</source>
        <translation>El controlador se está cerrando</translation>
    </message>
    <message>
        <source>A message box is waiting for the user</source>
        <translation>Un cuadro de mensaje espera la respuesta del usuario</translation>
    </message>
    <message>
        <source>The controller is starting</source>
        <translation>El controlador se está iniciando</translation>
    </message>
    <message>
        <source>A command is being sent</source>
        <translation>Se está enviando un comando</translation>
    </message>
    <message>
        <source>The last command has not left yet</source>
        <translation>El último comando aún no ha salido</translation>
    </message>
    <message>
        <source>no session bus (DBUS_SESSION_BUS_ADDRESS is not set)</source>
        <translation>no hay bus de sesión (DBUS_SESSION_BUS_ADDRESS no está definida)</translation>
    </message>
    <message>
        <source>the session bus cannot be reached (%1)</source>
        <extracomment>%1 is the bus library&apos;s reason.</extracomment>
        <translation>no se puede acceder al bus de sesión (%1)</translation>
    </message>
    <message>
        <source>the session bus does not answer (%1)</source>
        <translation>el bus de sesión no responde (%1)</translation>
    </message>
    <message>
        <source>the session bus refused the controller object</source>
        <translation>el bus de sesión rechazó el objeto del controlador</translation>
    </message>
    <message>
        <source>the bus name %1 cannot be claimed (%2)</source>
        <translation>no se puede reservar el nombre de bus %1 (%2)</translation>
    </message>
    <message>
        <source>the session bus has gone; remote control is off until it comes back</source>
        <translation>el bus de sesión ha desaparecido; el control remoto queda desactivado hasta que vuelva</translation>
    </message>
    <message>
        <source>the session bus is back; remote control is on (%1)</source>
        <extracomment>%1 is the bus name the controller is found by.</extracomment>
        <translation>el bus de sesión ha vuelto; el control remoto está activado (%1)</translation>
    </message>
    <message>
        <source>another controller holds %1; remote control stays off</source>
        <translation>otro controlador ocupa %1; el control remoto sigue desactivado</translation>
    </message>
    <message numerus="yes">
        <source>Busy: %n calls are waiting already</source>
        <translation>
            <numerusform>Ocupado: ya hay %n llamada en espera</numerusform>
            <numerusform>Ocupado: ya hay %n llamadas en espera</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Busy: %n calls are waiting already (%1)</source>
        <extracomment>%1 is why the first waiting call waits.</extracomment>
        <translation>
            <numerusform>Ocupado: ya hay %n llamada en espera (%1)</numerusform>
            <numerusform>Ocupado: ya hay %n llamadas en espera (%1)</numerusform>
        </translation>
    </message>
    <message>
        <source>Busy: waited %1 s for its turn</source>
        <translation>Ocupado: se esperó %1 s sin que llegara su turno</translation>
    </message>
    <message>
        <source>Busy: waited %1 s for its turn (%2)</source>
        <extracomment>%2 is why the first waiting call waits.</extracomment>
        <translation>Ocupado: se esperó %1 s sin que llegara su turno (%2)</translation>
    </message>
    <message>
        <source>Radio %1 is out of range (1 to 2)</source>
        <translation>La radio %1 está fuera de rango (1 a 2)</translation>
    </message>
    <message>
        <source>Antenna %1 is out of range (1 to 8)</source>
        <translation>La antena %1 está fuera de rango (1 a 8)</translation>
    </message>
    <message>
        <source>The device has not answered the previous command yet</source>
        <translation>El dispositivo aún no ha respondido al comando anterior</translation>
    </message>
    <message>
        <source>Radio %1 is not the followed radio; follow it first</source>
        <translation>La radio %1 no es la radio seguida; sígala primero</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>the name is empty</source>
        <translation>el nombre está vacío</translation>
    </message>
    <message>
        <source>the name holds a line break</source>
        <translation>el nombre contiene un salto de línea</translation>
    </message>
    <message>
        <source>the name starts or ends with a blank</source>
        <translation>el nombre empieza o termina con un espacio en blanco</translation>
    </message>
    <message>
        <source>a key name cannot hold &quot;=&quot;</source>
        <translation>un nombre de clave no puede contener &quot;=&quot;</translation>
    </message>
    <message>
        <source>a key name cannot start with &quot;;&quot; or &quot;#&quot;</source>
        <translation>un nombre de clave no puede empezar por &quot;;&quot; ni por &quot;#&quot;</translation>
    </message>
    <message>
        <source>a key name cannot start with &quot;[&quot;</source>
        <translation>un nombre de clave no puede empezar por &quot;[&quot;</translation>
    </message>
    <message>
        <source>Unable to write to %1</source>
        <translation>No se puede escribir en %1</translation>
    </message>
    <message>
        <source>Cannot store section &quot;%1&quot; in %2: %3</source>
        <extracomment>%2 is the settings file, %3 why the name cannot be stored.</extracomment>
        <translation>No se puede guardar la sección &quot;%1&quot; en %2: %3</translation>
    </message>
    <message>
        <source>Cannot store key &quot;%1&quot; in %2: %3</source>
        <translation>No se puede guardar la clave &quot;%1&quot; en %2: %3</translation>
    </message>
</context>
<context>
    <name>TComSelectForm</name>
    <message>
        <source>Select Port</source>
        <translation>Seleccionar puerto</translation>
    </message>
    <message>
        <source>The configured serial port is not valid.</source>
        <translation>El puerto configurado no es válido.</translation>
    </message>
    <message>
        <source>Please choose another port.</source>
        <translation>Elija otro puerto.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
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
        <translation>Comunicaciones</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Desactivado</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Sin enlace</translation>
    </message>
    <message>
        <source>Available Ports</source>
        <translation>Puertos detectados</translation>
    </message>
    <message>
        <source>Reopen the port when it comes back</source>
        <translation>Reabrir el puerto cuando vuelva</translation>
    </message>
    <message>
        <source>Communications Mode</source>
        <translation>Modo de comunicación</translation>
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
        <translation>Configuración LAN</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>Dirección IP</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Puerto</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Anular</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Registro</translation>
    </message>
    <message>
        <source>Try %1 %2</source>
        <translation>Intento %1 %2</translation>
    </message>
    <message>
        <source>Sent: %1</source>
        <translation>Enviado: %1</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Conectando</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Conectado</translation>
    </message>
    <message>
        <source>Updating</source>
        <translation>Cargando</translation>
    </message>
    <message>
        <source>Communications failed</source>
        <translation>Fallo de comunicación</translation>
    </message>
    <message>
        <source>COM%1 lost at %2; its error boxes close by themselves when it is back</source>
        <translation>COM%1 perdido a las %2; sus cuadros de error se cerrarán solos cuando vuelva</translation>
    </message>
    <message>
        <source>COM%1 back at %2, %3 s after the loss; its error boxes were closed</source>
        <translation>COM%1 de vuelta a las %2, %3 s después de la pérdida; se cerraron sus cuadros de error</translation>
    </message>
    <message>
        <source>COM%1 back at %2, %3 s after the loss</source>
        <translation>COM%1 de vuelta a las %2, %3 s después de la pérdida</translation>
    </message>
    <message>
        <source>Using COM%1</source>
        <translation>Usando COM%1</translation>
    </message>
    <message>
        <source>the link is not in COM/USB mode</source>
        <translation>el enlace no está en modo COM/USB</translation>
    </message>
    <message>
        <source>Error opening COM%1</source>
        <translation>Error al abrir COM%1</translation>
    </message>
    <message>
        <source>COM%1 names no device</source>
        <translation>COM%1 no corresponde a ningún dispositivo</translation>
    </message>
    <message>
        <source>COM%1: %2</source>
        <translation>COM%1: %2</translation>
    </message>
    <message>
        <source>Port: %1</source>
        <translation>Puerto: %1</translation>
    </message>
    <message>
        <source>Port: %1, which names no device</source>
        <translation>Puerto: %1, que no corresponde a ningún dispositivo</translation>
    </message>
    <message>
        <source>Port: %1 (%2)</source>
        <translation>Puerto: %1 (%2)</translation>
    </message>
    <message>
        <source>Keep this adapter as COM%1</source>
        <translation>Fijar este adaptador como COM%1</translation>
    </message>
    <message>
        <source>Keep this adapter as COMn</source>
        <translation>Fijar este adaptador como COMn</translation>
    </message>
    <message>
        <source>COM%1 is kept for %2</source>
        <translation>COM%1 queda asignado a %2</translation>
    </message>
    <message>
        <source>Dropped a line longer than %1 characters</source>
        <translation>Se descartó una línea de más de %1 caracteres</translation>
    </message>
    <message>
        <source>Tries: %1</source>
        <translation>Intentos: %1</translation>
    </message>
    <message>
        <source>Error opening COM port</source>
        <translation>Error al abrir el puerto COM</translation>
    </message>
    <message>
        <source>COM disabled</source>
        <translation>COM desactivado</translation>
    </message>
    <message>
        <source>OK</source>
        <comment>the button&apos;s full text</comment>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <comment>the button&apos;s full text</comment>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>TGetComPorts</name>
    <message>
        <source>Disable</source>
        <translation>Ninguno</translation>
    </message>
</context>
<context>
    <name>TQpCustomTerminal</name>
    <message>
        <source>Cannot open file &quot;%1&quot;. %2</source>
        <translation>No se puede abrir el archivo &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>Capture to &quot;%1&quot; stopped: %2</source>
        <translation>Se detuvo la captura en &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copiar</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Pegar</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>Seleccionar &amp;todo</translation>
    </message>
    <message>
        <source>C&amp;lear</source>
        <translation>&amp;Borrar</translation>
    </message>
    <message>
        <source>&amp;New line after carriage return</source>
        <translation>&amp;Nueva línea tras retorno de carro</translation>
    </message>
</context>
<context>
    <name>TQuillMain</name>
    <message>
        <source>Antenna %1</source>
        <translation>Antena %1</translation>
    </message>
    <message>
        <source>last known value, the link is down</source>
        <translation>último valor conocido, el enlace está caído</translation>
    </message>
    <message>
        <source>QUILL-2 Controller V1.0</source>
        <translation>Controlador QUILL-2 V1.0</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Sin enlace</translation>
    </message>
    <message>
        <source>Link: Disconnected</source>
        <translation>Enlace: desconectado</translation>
    </message>
    <message>
        <source>Band</source>
        <translation>Banda</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Radio #1</source>
        <translation>Radio 1</translation>
    </message>
    <message>
        <source>Radio #2</source>
        <translation>Radio 2</translation>
    </message>
    <message>
        <source>Antennas</source>
        <translation>Antenas</translation>
    </message>
    <message>
        <source>Link: Connected</source>
        <translation>Enlace: conectado</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Conectado</translation>
    </message>
    <message>
        <source>Antenna %1 Name</source>
        <translation>Nombre de la antena %1</translation>
    </message>
    <message>
        <source>New name:</source>
        <translation>Nombre nuevo:</translation>
    </message>
</context>
</TS>
