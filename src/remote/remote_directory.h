#pragma once
// The controllers running on a session bus, as start-up and quill-ctl find them: every bus
// name under the application id, with the settings file and link state each one publishes.
// Blocking calls on the given connection: the thread that owns it (the GUI thread in the
// program, the main thread in quill-ctl).

#include <QDBusConnection>

#include <string>
#include <vector>

struct TRunningController {
  std::string BusName;
  std::string SettingsFile;  // as the controller names it; empty when it did not say
  std::string LinkState;     // empty when it did not say
};

// Every controller on Bus, ordered by bus name; empty with Why set when the bus cannot list
// its names. One that does not answer within TimeoutMs is listed with empty fields.
std::vector<TRunningController> ListControllers(const QDBusConnection& Bus, std::string& Why, int TimeoutMs = 3000);

// Among Running, the controller whose settings file is SettingsFile (the same file, also
// through another path or a hard link); nullptr when none is.
const TRunningController* ControllerOfFile(const std::vector<TRunningController>& Running, const std::string& SettingsFile);

// Registers with the type system every type the D-Bus layer builds values of (its argument,
// variant, path, signature, error and descriptor types, and their marshalling), so none is
// first registered by the bus thread while another thread builds one. Once, at start-up,
// before any bus connection is made; any thread.
void RegisterRemoteTypes();
