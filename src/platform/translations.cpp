#include "translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>
#include <memory>

#include "platform/ini_file.h"

namespace {

// Where the build puts the compiled translations (a resource of this library).
const QString OwnFolder = QStringLiteral(":/i18n");

std::string Env(const char* Name) {
  const char* V = std::getenv(Name);
  return V ? V : "";
}

// "de_DE.UTF-8@euro" -> "de_DE"; "" for nothing usable.
QString LocaleName(const std::string& Value) {
  QString Name = QString::fromStdString(Value);
  Name = Name.left(Name.indexOf(QLatin1Char('.')) < 0 ? Name.size() : Name.indexOf(QLatin1Char('.')));
  Name = Name.left(Name.indexOf(QLatin1Char('@')) < 0 ? Name.size() : Name.indexOf(QLatin1Char('@')));
  return Name.trimmed();
}

bool IsPlainC(const QString& Name) { return Name == QLatin1String("C") || Name == QLatin1String("POSIX"); }

bool IsEnglish(const QString& Name) { return Name == QLatin1String("en") || Name.startsWith(QLatin1String("en_")); }

std::unique_ptr<QTranslator> Own, Toolkit;

void Remove(std::unique_ptr<QTranslator>& T) {
  if (T) QCoreApplication::removeTranslator(T.get());
  T.reset();
}

}  // namespace

TLocaleEnvironment TLocaleEnvironment::FromProcess() {
  return {Env("LANGUAGE"), Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")};
}

QStringList WantedLanguages(const std::string& Setting, const TLocaleEnvironment& E) {
  if (const QString Chosen = LocaleName(Setting); !Chosen.isEmpty())
    return IsEnglish(Chosen) || IsPlainC(Chosen) ? QStringList() : QStringList{Chosen};
  const std::string& Locale = !E.LcAll.empty() ? E.LcAll : !E.LcMessages.empty() ? E.LcMessages : E.Lang;
  const QString Main = LocaleName(Locale);
  if (Main.isEmpty() || IsPlainC(Main)) return {};
  QStringList Wanted;
  for (const QString& Part : QString::fromStdString(E.Language).split(QLatin1Char(':'), Qt::SkipEmptyParts))
    if (const QString Name = LocaleName(Part.toStdString()); !Name.isEmpty() && !IsPlainC(Name)) Wanted << Name;
  Wanted << Main;
  // English anywhere in the list stops the search there: what follows is less wanted.
  for (qsizetype I = 0; I < Wanted.size(); ++I)
    if (IsEnglish(Wanted[I])) return Wanted.mid(0, I);
  return Wanted;
}

QString InstallTranslationsFor(const std::string& SettingsFile) {
  return InstallTranslations(
      WantedLanguages(TIniFile(SettingsFile).ReadString("Main", "Language", ""), TLocaleEnvironment::FromProcess()));
}

QStringList TranslatedLanguages() {
  QStringList Names;
  for (const QString& File : QDir(OwnFolder).entryList({QStringLiteral("quill_*.qm")}, QDir::Files, QDir::Name))
    Names << File.mid(6, File.size() - 9);
  return Names;
}

QString InstallTranslations(const QStringList& Wanted) {
  Remove(Own);
  Remove(Toolkit);
  for (const QString& Name : Wanted) {
    const QLocale Locale(Name);
    // "de_AT" finds quill_de; a locale Qt does not know gives "C" and is passed over.
    if (Locale.language() == QLocale::C) continue;
    auto T = std::make_unique<QTranslator>();
    if (!T->load(Locale, QStringLiteral("quill"), QStringLiteral("_"), OwnFolder)) continue;
    Own = std::move(T);
    QCoreApplication::installTranslator(Own.get());
    auto Q = std::make_unique<QTranslator>();
    if (Q->load(Locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      Toolkit = std::move(Q);
      QCoreApplication::installTranslator(Toolkit.get());
    }
    const QString File = QFileInfo(Own->filePath()).completeBaseName();
    return File.mid(6);
  }
  return {};
}

std::string TrText(const char* Context, const char* Source) {
  return QCoreApplication::translate(Context, Source).toStdString();
}

std::string Filled(const std::string& Text, std::initializer_list<std::string> Args) {
  std::string Out;
  for (size_t I = 0; I < Text.size(); ++I) {
    const size_t N = I + 1 < Text.size() ? size_t(Text[I + 1] - '1') : Args.size();
    if (Text[I] == '%' && N < Args.size()) {
      Out += Args.begin()[N];
      ++I;
    } else {
      Out += Text[I];
    }
  }
  return Out;
}
