#pragma once
// Where the controller is found on the session bus, shared by the program and quill-ctl:
// the bus name for a settings file, the object, the interface and the error names. Plain
// functions of their arguments, the file system and the environment: any thread.

#include <string>

inline constexpr const char* RemoteObjectPath = "/";
inline constexpr const char* RemoteInterface = "local.quill.Controller1";

// Error names of the interface's failed calls; the message says the reason in words.
inline constexpr const char* RemoteErrorInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
inline constexpr const char* RemoteErrorNoPort = "local.quill.Controller1.Error.NoPort";
inline constexpr const char* RemoteErrorNotFollowed = "local.quill.Controller1.Error.NotFollowed";
inline constexpr const char* RemoteErrorBusy = "local.quill.Controller1.Error.Busy";
inline constexpr const char* RemoteErrorFailed = "local.quill.Controller1.Error.Failed";

// The application id: the bus name of the default settings file's controller, and the first
// element of every other controller's name.
std::string RemoteBusBase();
// True when Name is a controller's bus name: the application id, or the id with one more
// element.
bool IsControllerBusName(const std::string& Name);

// The bus name of the instance that uses SettingsFile: the application id for the default
// settings file (also when reached through another path or a hard link), and the application
// id with ".s" and a short hash of the file's canonical path for any other, so each settings
// file (each device) has one instance of its own. The name never depends on the file's inode:
// every save replaces the file (a new inode), and a file that does not exist yet is written
// later; the name stays the same through both. Two paths of one file (hard links) are told
// apart from the name by SameSettingsFile, which start-up and quill-ctl ask of the running
// controllers' settings files.
std::string RemoteBusName(const std::string& SettingsFile, const std::string& DefaultSettingsFile);

// The name a starting controller holds while it looks for a running one and claims its own:
// one per file (its device and inode, or its canonical path while it does not exist), so two
// starts through two paths of one file take turns instead of both finding nothing. Not a
// controller's name (IsControllerBusName is false).
std::string RemoteStartLockName(const std::string& SettingsFile);

// The absolute path with symbolic links resolved (as far as the path exists).
std::string CanonicalSettingsPath(const std::string& Path);
// The absolute path, symbolic links kept: how a controller names its settings file to others.
// A save replaces the file at this path (a link there becomes a file of its own), so this is
// the path that goes on naming the file the controller uses.
std::string AbsoluteSettingsPath(const std::string& Path);
// True when A and B are one file: the same device and inode while both exist, otherwise the
// same canonical path.
bool SameSettingsFile(const std::string& A, const std::string& B);

// True when a session bus can be tried: its address is set, or the user's runtime folder has
// the bus socket. Looked at before connecting, so nothing is started to provide a bus.
bool SessionBusConfigured();
// The session bus's address as the environment gives it now (DBUS_SESSION_BUS_ADDRESS, or
// the socket in the user's runtime folder); empty when SessionBusConfigured() is false.
std::string SessionBusAddress();
