// How the commands print: messages in the user's language on standard
// error, results on standard output, and with --json everything as JSON on
// standard output, failures included, so that a script never has to read
// English.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "chkimport/forms.h"
#include "chkimport/translator.h"

namespace chkimport::cli {

enum Exit { kSuccess = 0, kMessage = 1, kUsage = 2 };

// Each "{name}" of `text` replaced by its value.
std::string Fill(std::string text, std::initializer_list<std::pair<const char*, std::string>> values);

// `one` or `many` (texts with "{n}") by the count, translated and filled.
std::string Count(Translator& tr, long long n, const char* one, const char* many);

void PrintJson(const nlohmann::json& value);
nlohmann::json ErrorsJson(const std::vector<ImportError>& errors);

// Why a command did not do its work.
struct Failure {
  std::string code;     // a stable name: "usage", "table-not-found", ... (see FailureCode)
  std::string message;  // in the user's language
  int number = 0;       // the runtime error's number; 0 for a message
  std::vector<std::string> routines;
  std::vector<std::string> hints;  // more lines for a person; the details say the same to a script
  nlohmann::json details = nlohmann::json::object();  // more members of "error"
};

// {"error": {"code", "message", "number", "routines", ...details}}.
nlohmann::json FailureJson(const Failure& failure);
// As JSON on standard output, or as "chkimport: MESSAGE" on standard error.
void PrintFailure(const Failure& failure, bool json);

// The stable name of a result text of the component or of the set-up of a
// form ("database-not-found", "chk-not-found", "table-not-found", ...), in
// English or in the words of `tr`; "failed" for any other.
std::string FailureCode(const std::string& result, Translator* tr = nullptr);

// "chkimport: TEXT" on standard error.
void Say(const std::string& text);

}  // namespace chkimport::cli
