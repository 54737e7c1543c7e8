// The translator of a language other than English: a gettext catalog
// <languages folder>/<LANGUAGE>.po whose msgid is the English text and whose
// msgstr is its translation. A text the catalog lacks stays English.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "chkimport/export.h"
#include "chkimport/translator.h"

namespace chkimport {

class CHKIMPORT_API CatalogTranslator : public Translator {
 public:
  explicit CatalogTranslator(std::filesystem::path languagesDir);

  // <binaryDir>/languages when that folder exists (a build tree or an
  // unpacked copy); else <binaryDir>/<toInstalled> when that exists: the
  // installed catalogs seen from an installed program, library or Python
  // module, wherever the installation was put; else the folder the build
  // installs the catalogs to.
  static std::filesystem::path DefaultLanguagesDir(const std::filesystem::path& binaryDir,
                                                   const std::filesystem::path& toInstalled);
  // The same for the program in executableDir.
  static std::filesystem::path DefaultLanguagesDir(const std::filesystem::path& executableDir);
  // The folder of the program or shared object that holds `object` (a
  // variable or function of it); empty when it cannot be told.
  static std::filesystem::path FolderOf(const void* object);

  std::string T(const std::string& text) override;

  void setTable(const std::string& table) override;
  // Loads the language's catalog, found by file name, else by file name
  // without regard to case. No file means English texts. A file that cannot
  // be read or parsed raises error 5 and leaves the previous language in use.
  void setLANGUAGE(const std::string& language) override;
  // From now on, collect the texts the language lacks (see Missing).
  void setTest(bool test) override;

  const std::string& Table() const { return table_; }
  const std::string& LANGUAGE() const { return language_; }
  bool Test() const { return test_; }
  const std::filesystem::path& LanguagesDir() const { return languagesDir_; }
  // The catalog in use; empty when the language has no file.
  const std::filesystem::path& CatalogFile() const { return catalogFile_; }
  // In test mode: each text T could not translate, once, in order of first use.
  const std::vector<std::string>& Missing() const { return missing_; }

 private:
  bool collectsMissing() const;

  std::filesystem::path languagesDir_;
  std::string table_;
  std::string language_;
  bool languageSet_ = false;
  bool test_ = false;
  std::filesystem::path catalogFile_;
  std::unordered_map<std::string, std::string> catalog_;
  std::vector<std::string> missing_;
  std::unordered_set<std::string> missingSeen_;
};

}  // namespace chkimport
