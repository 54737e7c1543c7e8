#include "cli/output.h"

#include <iostream>

namespace chkimport::cli {

std::string Fill(std::string text, std::initializer_list<std::pair<const char*, std::string>> values) {
  for (const auto& [name, value] : values) {
    const std::string key = std::string("{") + name + "}";
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

std::string Count(Translator& tr, long long n, const char* one, const char* many) {
  return Fill(tr.T(n == 1 ? one : many), {{"n", std::to_string(n)}});
}

void PrintJson(const nlohmann::json& value) {
  std::cout << value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

nlohmann::json ErrorsJson(const std::vector<ImportError>& errors) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& e : errors)
    list.push_back({{"number", e.number}, {"description", e.description}, {"routines", e.routines}});
  return list;
}

nlohmann::json FailureJson(const Failure& failure) {
  nlohmann::json error = {{"code", failure.code},
                          {"message", failure.message},
                          {"number", failure.number},
                          {"routines", failure.routines}};
  for (const auto& [key, value] : failure.details.items()) error[key] = value;
  return {{"error", error}};
}

void PrintFailure(const Failure& failure, bool json) {
  if (json) {
    PrintJson(FailureJson(failure));
    return;
  }
  Say(failure.message);
  for (const auto& hint : failure.hints) Say(hint);
}

std::string FailureCode(const std::string& result, Translator* tr) {
  struct Known {
    const char* start;
    const char* code;
  };
  static const Known known[] = {
      {"No Table Name Supplied", "no-table-name"},
      {"MDB file not found.", "database-not-found"},
      {"Cannot open database.", "cannot-open-database"},
      {"CHECK file not found.", "chk-not-found"},
      {"REC file not found.", "rec-not-found"},
      {"No tables available.", "no-view-tables"},
      {"Table Not In MDB", "table-not-found"},
      {"No matching fields were found.", "no-matching-fields"},
      {"The import was not saved:", "not-saved"},
      {"error ", "runtime-error"},
  };
  // A message of the set-up of a form may follow the file's name.
  auto says = [&](const std::string& text) {
    return result.rfind(text, 0) == 0 || result.find(": " + text) != std::string::npos;
  };
  for (const Known& k : known)
    if (says(k.start) || (tr && says(tr->T(k.start)))) return k.code;
  if (result.find(" is not a check file: ") != std::string::npos) return "not-a-check-file";
  if (result.find("interrupted the") != std::string::npos) return "interrupted";
  return "failed";
}

void Say(const std::string& text) {
  std::cerr << "chkimport: " << text << "\n";
}

}  // namespace chkimport::cli
