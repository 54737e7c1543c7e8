#include "chkimport/chkimport.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "chkimport/catalog_translator.h"
#include "chkimport/cls_chk_import.h"
#include "chkimport/forms.h"
#include "component/preview.h"

struct chkimport_object {
  chkimport::clsCHKImport component{chkimport::ModuleState::Own};
  std::unique_ptr<chkimport::CatalogTranslator> translator;
  std::string lastError;
};

namespace {

char* copyString(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

#ifndef CHKIMPORT_LANGUAGES_FROM_LIBDIR
#define CHKIMPORT_LANGUAGES_FROM_LIBDIR "../share/chkimport/languages"
#endif

// The catalogs installed with this library, wherever the installation was put.
std::filesystem::path installedLanguages() {
  static const char anchor = 0;
  return chkimport::CatalogTranslator::DefaultLanguagesDir(chkimport::CatalogTranslator::FolderOf(&anchor),
                                                           CHKIMPORT_LANGUAGES_FROM_LIBDIR);
}

std::string describe(const std::exception& e) {
  if (auto* vb = dynamic_cast<const chkimport::VbError*>(&e))
    return "error " + std::to_string(vb->Number) + ": " + vb->Description;
  return e.what();
}

}  // namespace

extern "C" {

chkimport_object* chkimport_create(const char* prog_id) {
  if (!prog_id) return nullptr;
  try {
    chkimport::CreateObject(prog_id);  // checks the ProgID
    return new chkimport_object;
  } catch (...) {
    return nullptr;
  }
}

int chkimport_set_language(chkimport_object* object, const char* language, const char* languages_dir) {
  if (!object) return -1;
  try {
    auto dir = languages_dir ? std::filesystem::path(languages_dir) : installedLanguages();
    if (language) object->component.SetLanguage(language);
    auto translator = std::make_unique<chkimport::CatalogTranslator>(dir);
    translator->setLANGUAGE(object->component.Language());
    object->component.SetObjLanguage(*translator);
    object->translator = std::move(translator);
    object->lastError.clear();
    return 0;
  } catch (const std::exception& e) {
    object->lastError = describe(e);
    return -1;
  }
}

int chkimport_set_include_within(chkimport_object* object, const char* folder) {
  if (!object) return -1;
  try {
    object->component.SetIncludeWithin(folder ? folder : "");
    object->lastError.clear();
    return 0;
  } catch (const std::exception& e) {
    object->lastError = describe(e);
    return -1;
  }
}

char* chkimport_get_chk_code(chkimport_object* object, const char* chk_name, const char* db_name,
                             const char* table_name, int show_gui, int overwrite, int ignore_new,
                             int generate_tables) {
  if (!object) return nullptr;
  try {
    std::string result = object->component.GetCHKCode(chk_name ? chk_name : "", db_name ? db_name : "",
                                                      table_name ? table_name : "", show_gui != 0,
                                                      overwrite != 0, ignore_new != 0, generate_tables != 0);
    object->lastError.clear();
    char* copy = copyString(result);
    if (!copy) object->lastError = "out of memory";
    return copy;
  } catch (const std::exception& e) {
    object->lastError = describe(e);
    return nullptr;
  }
}

char* chkimport_preview_chk_code(chkimport_object* object, const char* chk_name, const char* db_name,
                                 const char* table_name, int overwrite, int ignore_new, int generate_tables) {
  if (!object) return nullptr;
  try {
    const auto preview = object->component.PreviewCHKCode(chk_name ? chk_name : "", db_name ? db_name : "",
                                                          table_name ? table_name : "", overwrite != 0,
                                                          ignore_new != 0, generate_tables != 0);
    object->lastError.clear();
    char* copy = copyString(chkimport::PreviewJson(preview));
    if (!copy) object->lastError = "out of memory";
    return copy;
  } catch (const std::exception& e) {
    object->lastError = describe(e);
    return nullptr;
  }
}

namespace {

// A form call with the object's translator and language.
char* formCall(chkimport_object* object, bool convert, const char* rec_name, const char* db_name,
               chkimport::FormOptions options) {
  if (!object) return nullptr;
  try {
    options.translator = object->translator.get();
    options.includeWithin = object->component.IncludeWithin();
    options.language = object->component.Language();
    const auto r = convert ? chkimport::ConvertForm(rec_name ? rec_name : "", db_name ? db_name : "", options)
                           : chkimport::NewView(rec_name ? rec_name : "", db_name ? db_name : "", options);
    object->lastError.clear();
    char* copy = copyString(r.result);
    if (!copy) object->lastError = "out of memory";
    return copy;
  } catch (const std::exception& e) {
    object->lastError = describe(e);
    return nullptr;
  }
}

}  // namespace

char* chkimport_new_view(chkimport_object* object, const char* rec_name, const char* db_name,
                         const char* table_name, const char* encoding) {
  chkimport::FormOptions options;
  options.view = table_name ? table_name : "";
  options.encoding = encoding ? encoding : "";
  return formCall(object, false, rec_name, db_name, options);
}

char* chkimport_convert(chkimport_object* object, const char* rec_name, const char* chk_name,
                        const char* db_name, const char* table_name, int overwrite, int generate_tables) {
  chkimport::FormOptions options;
  options.chk = chk_name ? chk_name : "";
  options.view = table_name ? table_name : "";
  options.overwrite = overwrite != 0;
  options.tables = generate_tables != 0;
  return formCall(object, true, rec_name, db_name, options);
}

char* chkimport_convert_with_data(chkimport_object* object, const char* rec_name, const char* chk_name,
                                  const char* db_name, const char* table_name, const char* data_table,
                                  int overwrite, int generate_tables, int data_flags) {
  chkimport::FormOptions options;
  options.chk = chk_name ? chk_name : "";
  options.view = table_name ? table_name : "";
  options.dataTable = data_table ? data_table : "";
  options.overwrite = overwrite != 0;
  options.tables = generate_tables != 0;
  options.noData = (data_flags & CHKIMPORT_NO_DATA) != 0;
  options.skipDeleted = (data_flags & CHKIMPORT_SKIP_DELETED) != 0;
  options.lenient = (data_flags & CHKIMPORT_LENIENT) != 0;
  return formCall(object, true, rec_name, db_name, options);
}

const char* chkimport_last_error(const chkimport_object* object) {
  return object ? object->lastError.c_str() : "no object";
}

void chkimport_free_string(char* text) {
  std::free(text);
}

void chkimport_destroy(chkimport_object* object) {
  delete object;
}

}  // extern "C"
