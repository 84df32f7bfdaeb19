#pragma once
// The language of the texts a person reads.
//
// The English texts in the sources are the source texts; translations are compiled from the
// .ts files in translations/ and built into the program. Texts that other programs or the
// tests parse (JSON, Name=Value lines, bus error names, the settings file, trace and dispatch
// logs) are never passed through here.
// Thread rules: InstallTranslations on the GUI (main) thread before the first window, and
// before any other thread asks for a text; TrText from any thread afterwards.

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <string>

// The locale variables that choose the language, as the environment gives them.
struct TLocaleEnvironment {
  std::string Language;    // LANGUAGE: a colon-separated list of languages, most wanted first
  std::string LcAll;       // LC_ALL
  std::string LcMessages;  // LC_MESSAGES
  std::string Lang;        // LANG
  static TLocaleEnvironment FromProcess();
};

// The languages to try, most wanted first, as locale names ("de_DE", "ja"); empty for English.
// Setting is the settings file's [Main] Language: not empty, it alone decides ("en", or
// anything that starts with "en", keeps English). Otherwise LANGUAGE's list comes first, then
// the locale of LC_ALL, else LC_MESSAGES, else LANG; a locale of "C" or "POSIX" means English
// and LANGUAGE is then not looked at.
QStringList WantedLanguages(const std::string& Setting, const TLocaleEnvironment& Env);

// Installs the program's translation and the toolkit's own (its buttons and standard menus)
// for the first wanted language the program has a translation for. Returns that language
// ("de", "es", "ja"), or "" when English stays: no language asked for, or none translated.
// A second call replaces what the first installed.
QString InstallTranslations(const QStringList& Wanted);

// InstallTranslations for the language the settings file's [Main] Language names, else the
// locale's. Reading never creates the file.
QString InstallTranslationsFor(const std::string& SettingsFile);

// The languages the program has translations for (their short names, sorted).
QStringList TranslatedLanguages();

// The translation of Source in Context (lupdate reads calls of TrText as translate calls).
std::string TrText(const char* Context, const char* Source);

// Text with %1 to %9 replaced by Args in one pass, byte for byte: paths, device and program
// names that are not UTF-8 stay exactly as they are (a trip through QString would change them).
// For TrText's results: Filled(TrText("Devices", "%1 is not there"), {Path}).
std::string Filled(const std::string& Text, std::initializer_list<std::string> Args);
