#pragma once
// Where the controller is found on the session bus, shared by the program and quill-ctl:
// the bus name for a settings file, the object, the interface and the error names. Plain
// functions of their arguments and the environment: any thread.

#include <string>

inline constexpr const char* RemoteObjectPath = "/";
inline constexpr const char* RemoteInterface = "local.quill.Controller1";

// Error names of the interface's failed calls; the message says the reason in words.
inline constexpr const char* RemoteErrorInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
inline constexpr const char* RemoteErrorNoPort = "local.quill.Controller1.Error.NoPort";
inline constexpr const char* RemoteErrorNotFollowed = "local.quill.Controller1.Error.NotFollowed";
inline constexpr const char* RemoteErrorBusy = "local.quill.Controller1.Error.Busy";
inline constexpr const char* RemoteErrorFailed = "local.quill.Controller1.Error.Failed";

// The bus name of the instance that uses SettingsFile: the application id for the default
// settings file, and the application id with ".s" and a short hash of the file's canonical
// path for any other, so each settings file (each device) has one instance of its own.
std::string RemoteBusName(const std::string& SettingsFile, const std::string& DefaultSettingsFile);

// True when a session bus can be tried: its address is set, or the user's runtime folder has
// the bus socket. Looked at before connecting, so nothing is started to provide a bus.
bool SessionBusConfigured();
