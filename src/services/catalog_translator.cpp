#include "chkimport/catalog_translator.h"

#include <dlfcn.h>
#include <gettext-po.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <type_traits>

#include "chkimport/vb_error.h"

#ifndef CHKIMPORT_INSTALLED_LANGUAGES
#define CHKIMPORT_INSTALLED_LANGUAGES "/usr/local/share/chkimport/languages"
#endif
#ifndef CHKIMPORT_LANGUAGES_FROM_BINDIR
#define CHKIMPORT_LANGUAGES_FROM_BINDIR "../share/chkimport/languages"
#endif

namespace chkimport {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kBadLanguageFile = 5;  // "Invalid procedure call or argument"

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool isEnglish(const std::string& language) {
  return language.empty() || lowerAscii(language) == "english";
}

// The catalog file of a language: <dir>/<language>.po, else the .po file whose
// name equals it without regard to case (the first by name if several do).
// Empty when there is none. A language is a name, never a path; a folder is
// never a catalog.
fs::path findCatalog(const fs::path& dir, const std::string& language) {
  if (language.empty() || language.find_first_of(std::string("/\0", 2)) != std::string::npos) return {};
  std::error_code ec;
  fs::path exact = dir / (language + ".po");
  if (fs::exists(exact, ec) && !fs::is_directory(exact, ec)) return exact;

  const std::string wanted = lowerAscii(language);
  std::vector<fs::path> matches;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& candidate = it->path();
    std::error_code typeError;
    if (candidate.extension() == ".po" && lowerAscii(candidate.stem().string()) == wanted &&
        !it->is_directory(typeError))
      matches.push_back(candidate);
  }
  if (matches.empty()) return {};
  return *std::min_element(matches.begin(), matches.end());
}

[[noreturn]] void raiseBadFile(const fs::path& file, const std::string& what) {
  Raise(kBadLanguageFile, "Cannot read language file '" + file.string() + "': " + what);
}

// libgettextpo is loaded the first time a catalog is read: a run in English
// never reads one, and loading the library (with libunistring behind it)
// was a tenth of the program's start.
struct PoLibrary {
  decltype(&po_file_read) fileRead = nullptr;
  decltype(&po_file_free) fileFree = nullptr;
  decltype(&po_file_domains) fileDomains = nullptr;
  decltype(&po_message_iterator) messageIterator = nullptr;
  decltype(&po_message_iterator_free) messageIteratorFree = nullptr;
  decltype(&po_next_message) nextMessage = nullptr;
  decltype(&po_message_msgid) msgid = nullptr;
  decltype(&po_message_msgstr) msgstr = nullptr;
  decltype(&po_message_msgctxt) msgctxt = nullptr;
  decltype(&po_message_is_obsolete) isObsolete = nullptr;
  decltype(&po_message_is_fuzzy) isFuzzy = nullptr;
  decltype(&po_header_field) headerField = nullptr;
  std::string error;  // why it could not be loaded
};

constexpr const char* kPoLibraryName = "libgettextpo.so.0";

const PoLibrary& poLibrary() {
  static const PoLibrary library = [] {
    PoLibrary l;
    void* handle = dlopen(kPoLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      l.error = why ? why : std::string("cannot load ") + kPoLibraryName;
      return l;
    }
    auto load = [&](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
      if (!function && l.error.empty()) l.error = std::string(kPoLibraryName) + " has no " + name;
    };
    // po_file_read is the header's name for the versioned entry.
    load(l.fileRead, "po_file_read_v3");
    load(l.fileFree, "po_file_free");
    load(l.fileDomains, "po_file_domains");
    load(l.messageIterator, "po_message_iterator");
    load(l.messageIteratorFree, "po_message_iterator_free");
    load(l.nextMessage, "po_next_message");
    load(l.msgid, "po_message_msgid");
    load(l.msgstr, "po_message_msgstr");
    load(l.msgctxt, "po_message_msgctxt");
    load(l.isObsolete, "po_message_is_obsolete");
    load(l.isFuzzy, "po_message_is_fuzzy");
    load(l.headerField, "po_header_field");
    return l;
  }();
  return library;
}

// libgettextpo's handlers get no context pointer and the library keeps them
// in globals, so reads are serialised and report into the current list.
std::mutex readMutex;
std::vector<std::string>* readErrors = nullptr;

void collect(int severity, const char* filename, size_t lineno, const char* text) {
  if (severity == PO_SEVERITY_WARNING || !readErrors) return;
  std::string message = text ? text : "unknown error";
  std::replace(message.begin(), message.end(), '\n', ' ');
  while (!message.empty() && message.back() == ' ') message.pop_back();
  if (filename && lineno != static_cast<size_t>(-1) && lineno > 0)
    message = "line " + std::to_string(lineno) + ": " + message;
  readErrors->push_back(std::move(message));
}

// Returns even after a fatal error: po_file_read then ends the read, closes the
// file and hands back what it has, which is discarded.
void onError(int severity, po_message_t, const char* filename, size_t lineno, size_t, int, const char* text) {
  collect(severity, filename, lineno, text);
}

void onError2(int severity, po_message_t, const char* filename, size_t lineno, size_t, int, const char* text,
              po_message_t, const char*, size_t, size_t, int, const char*) {
  collect(severity, filename, lineno, text);
}

// The charset a catalog's header entry declares; "" when it declares none.
std::string declaredCharset(const PoLibrary& po, const char* header) {
  std::unique_ptr<char, decltype(&std::free)> field(po.headerField(header, "Content-Type"), &std::free);
  if (!field) return "";
  const std::string type = field.get();
  const auto at = lowerAscii(type).find("charset=");
  if (at == std::string::npos) return "";
  const std::string charset = type.substr(at + 8);
  return charset.substr(0, charset.find_first_of("; \t"));
}

bool isUtf8Compatible(const std::string& charset) {
  const std::string name = lowerAscii(charset);
  // "CHARSET" is the placeholder of an unfilled template.
  return name.empty() || name == "charset" || name == "utf-8" || name == "utf8" || name == "ascii" ||
         name == "us-ascii";
}

// Converts the texts of a catalog written in another charset to UTF-8.
class ToUtf8 {
 public:
  explicit ToUtf8(const std::string& charset) : cd_(iconv_open("UTF-8", charset.c_str())) {}
  ~ToUtf8() {
    if (ok()) iconv_close(cd_);
  }
  ToUtf8(const ToUtf8&) = delete;
  ToUtf8& operator=(const ToUtf8&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> operator()(const std::string& text) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(text.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    if (iconv(cd_, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1) ||
        iconv(cd_, nullptr, nullptr, &dst, &outLeft) == static_cast<size_t>(-1))
      return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

std::unordered_map<std::string, std::string> readCatalog(const fs::path& file) {
  const PoLibrary& lib = poLibrary();
  if (!lib.error.empty()) raiseBadFile(file, lib.error);
  std::vector<std::string> errors;
  po_file_t read = nullptr;
  int openError = 0;
  {
    std::lock_guard lock(readMutex);
    readErrors = &errors;
    const po_xerror_handler handler{onError, onError2};
    errno = 0;
    read = lib.fileRead(file.c_str(), &handler);
    openError = errno;
    readErrors = nullptr;
  }
  std::unique_ptr<std::remove_pointer_t<po_file_t>, decltype(&po_file_free)> po(read, lib.fileFree);
  if (!po) raiseBadFile(file, std::generic_category().message(openError ? openError : EIO));
  if (!errors.empty()) {
    std::string what = errors.front();
    if (errors.size() > 1) what += " (and " + std::to_string(errors.size() - 1) + " more errors)";
    raiseBadFile(file, what);
  }

  struct Entry {
    std::string english, translation;
    bool hasContext;
  };
  std::unordered_map<std::string, std::string> catalog;
  for (const char* const* domain = lib.fileDomains(po.get()); domain && *domain; ++domain) {
    std::string charset;
    std::vector<Entry> entries;
    std::unique_ptr<std::remove_pointer_t<po_message_iterator_t>, decltype(&po_message_iterator_free)>
        messages(lib.messageIterator(po.get(), *domain), lib.messageIteratorFree);
    while (po_message_t message = lib.nextMessage(messages.get())) {
      const char* english = lib.msgid(message);
      const char* translation = lib.msgstr(message);
      if (lib.isObsolete(message) || !translation || !*translation) continue;
      if (!*english)
        charset = declaredCharset(lib, translation);  // the header entry
      else if (!lib.isFuzzy(message))
        entries.push_back({english, translation, lib.msgctxt(message) != nullptr});
    }

    std::optional<ToUtf8> toUtf8;
    if (!isUtf8Compatible(charset)) {
      toUtf8.emplace(charset);
      if (!toUtf8->ok()) raiseBadFile(file, "unknown charset " + charset);
    }
    for (auto& entry : entries) {
      if (toUtf8) {
        auto english = (*toUtf8)(entry.english);
        auto translation = (*toUtf8)(entry.translation);
        if (!english || !translation)
          raiseBadFile(file, "the translation of \"" + entry.english + "\" is not in charset " + charset);
        entry.english = std::move(*english);
        entry.translation = std::move(*translation);
      }
      // A context does not select a translation here; an entry without one
      // takes precedence over entries with one.
      if (entry.hasContext)
        catalog.emplace(std::move(entry.english), std::move(entry.translation));
      else
        catalog.insert_or_assign(std::move(entry.english), std::move(entry.translation));
    }
  }
  return catalog;
}

}  // namespace

CatalogTranslator::CatalogTranslator(std::filesystem::path languagesDir)
    : languagesDir_(std::move(languagesDir)) {}

std::filesystem::path CatalogTranslator::DefaultLanguagesDir(const std::filesystem::path& binaryDir,
                                                             const std::filesystem::path& toInstalled) {
  std::error_code ec;
  fs::path beside = binaryDir / "languages";
  if (fs::is_directory(beside, ec)) return beside;
  fs::path installed = (binaryDir / toInstalled).lexically_normal();
  if (!toInstalled.empty() && fs::is_directory(installed, ec)) return installed;
  return CHKIMPORT_INSTALLED_LANGUAGES;
}

std::filesystem::path CatalogTranslator::DefaultLanguagesDir(const std::filesystem::path& executableDir) {
  return DefaultLanguagesDir(executableDir, CHKIMPORT_LANGUAGES_FROM_BINDIR);
}

std::filesystem::path CatalogTranslator::FolderOf(const void* object) {
  Dl_info info{};
  if (dladdr(object, &info) == 0 || !info.dli_fname || !*info.dli_fname) return {};
  std::error_code ec;
  fs::path file = fs::canonical(info.dli_fname, ec);
  return ec ? fs::path(info.dli_fname).parent_path() : file.parent_path();
}

std::string CatalogTranslator::T(const std::string& text) {
  if (auto found = catalog_.find(text); found != catalog_.end()) return found->second;
  if (!text.empty() && collectsMissing() && missingSeen_.insert(text).second) missing_.push_back(text);
  return text;
}

void CatalogTranslator::setTable(const std::string& table) {
  table_ = table;
}

void CatalogTranslator::setLANGUAGE(const std::string& language) {
  if (languageSet_ && language == language_) return;
  fs::path file = findCatalog(languagesDir_, language);
  auto catalog = file.empty() ? decltype(catalog_){} : readCatalog(file);
  catalog_ = std::move(catalog);
  catalogFile_ = std::move(file);
  language_ = language;
  languageSet_ = true;
}

void CatalogTranslator::setTest(bool test) {
  test_ = test;
}

// English without a catalog lacks nothing; any other language without one
// lacks every text.
bool CatalogTranslator::collectsMissing() const {
  return test_ && (!catalogFile_.empty() || !isEnglish(language_));
}

}  // namespace chkimport
