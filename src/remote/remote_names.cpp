#include "remote_names.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string CanonicalSettingsPath(const std::string& Path) {
  std::error_code Ec;
  const std::filesystem::path Absolute = std::filesystem::absolute(Path, Ec);
  if (Ec) return Path;
  // The file may not exist yet (its first write makes it): resolve what exists.
  const std::filesystem::path Resolved = std::filesystem::weakly_canonical(Absolute, Ec);
  return Ec ? Absolute.lexically_normal().string() : Resolved.string();
}

std::string AbsoluteSettingsPath(const std::string& Path) {
  std::error_code Ec;
  const std::filesystem::path Absolute = std::filesystem::absolute(Path, Ec);
  return Ec ? Path : Absolute.lexically_normal().string();
}

bool SameSettingsFile(const std::string& A, const std::string& B) {
  const std::string Ca = CanonicalSettingsPath(A), Cb = CanonicalSettingsPath(B);
  struct stat Sa {}, Sb {};
  if (stat(Ca.c_str(), &Sa) == 0 && stat(Cb.c_str(), &Sb) == 0) return Sa.st_dev == Sb.st_dev && Sa.st_ino == Sb.st_ino;
  return Ca == Cb;
}

std::string RemoteBusBase() { return QUILL_APP_ID; }

std::string RemoteStartLockName(const std::string& SettingsFile) {
  // Through the canonical path: "x/../a.ini" is a.ini even where x does not exist.
  const std::string File = CanonicalSettingsPath(SettingsFile);
  struct stat St {};
  const std::string Identity = stat(File.c_str(), &St) == 0
                                   ? "inode " + std::to_string(St.st_dev) + ":" + std::to_string(St.st_ino)
                                   : "path " + File;
  const QByteArray Hash = QCryptographicHash::hash(QByteArray::fromStdString(Identity), QCryptographicHash::Sha256);
  return RemoteBusBase() + ".starting.f" + Hash.toHex().left(12).toStdString();
}

bool IsControllerBusName(const std::string& Name) {
  const std::string Base = RemoteBusBase();
  if (Name == Base) return true;
  return Name.size() > Base.size() + 1 && Name.compare(0, Base.size() + 1, Base + ".") == 0 &&
         Name.find('.', Base.size() + 1) == std::string::npos;
}

std::string RemoteBusName(const std::string& SettingsFile, const std::string& DefaultSettingsFile) {
  const std::string Base = RemoteBusBase();
  if (!DefaultSettingsFile.empty() && SameSettingsFile(SettingsFile, DefaultSettingsFile)) return Base;
  const std::string File = CanonicalSettingsPath(SettingsFile);
  const QByteArray Hash = QCryptographicHash::hash(QByteArray::fromStdString(File), QCryptographicHash::Sha256);
  // 48 bits: enough to keep the few settings files of one user apart. A bus name element may
  // not start with a digit, hence the letter.
  return Base + ".s" + Hash.toHex().left(12).toStdString();
}

std::string SessionBusAddress() {
  const char* Address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (Address && *Address) return Address;
  const char* Runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!Runtime || !*Runtime) return {};
  const std::string Socket = std::string(Runtime) + "/bus";
  struct stat St {};
  return stat(Socket.c_str(), &St) == 0 && S_ISSOCK(St.st_mode) ? "unix:path=" + Socket : std::string();
}

bool SessionBusConfigured() { return !SessionBusAddress().empty(); }
