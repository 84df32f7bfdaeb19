#include "remote_names.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string Canonical(const std::string& Path) {
  std::error_code Ec;
  const std::filesystem::path Absolute = std::filesystem::absolute(Path, Ec);
  if (Ec) return Path;
  // The file may not exist yet (its first write makes it): resolve what exists.
  const std::filesystem::path Resolved = std::filesystem::weakly_canonical(Absolute, Ec);
  return Ec ? Absolute.lexically_normal().string() : Resolved.string();
}

}  // namespace

std::string RemoteBusName(const std::string& SettingsFile, const std::string& DefaultSettingsFile) {
  const std::string Base = QUILL_APP_ID;
  const std::string File = Canonical(SettingsFile);
  if (File == Canonical(DefaultSettingsFile)) return Base;
  const QByteArray Hash = QCryptographicHash::hash(QByteArray::fromStdString(File), QCryptographicHash::Sha256);
  // 48 bits: enough to keep the few settings files of one user apart. A bus name element may
  // not start with a digit, hence the letter.
  return Base + ".s" + Hash.toHex().left(12).toStdString();
}

bool SessionBusConfigured() {
  const char* Address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (Address && *Address) return true;
  const char* Runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!Runtime || !*Runtime) return false;
  struct stat St {};
  return stat((std::string(Runtime) + "/bus").c_str(), &St) == 0 && S_ISSOCK(St.st_mode);
}
