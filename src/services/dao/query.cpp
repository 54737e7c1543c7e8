#include "services/dao/query.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "services/dao/errors.h"
#include "services/dao/names.h"

namespace chkimport::dao::detail {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

struct Token {
  enum Kind { Word, Quoted, Star, AtLeast } kind;
  std::string text;
};

std::vector<Token> Tokens(const std::string& sql) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '[') {
      const std::size_t close = sql.find(']', i + 1);
      if (close == std::string::npos) RaiseSyntax();
      tokens.push_back({Token::Quoted, sql.substr(i + 1, close - i - 1)});
      i = close + 1;
    } else if (c == '"') {
      // As SQLite quotes a name: in double quotes, a double quote inside
      // doubled.
      std::string name;
      for (++i;; ++i) {
        if (i >= sql.size()) RaiseSyntax();
        if (sql[i] == '"') {
          if (i + 1 < sql.size() && sql[i + 1] == '"') {
            name += '"';
            ++i;
            continue;
          }
          break;
        }
        name += sql[i];
      }
      tokens.push_back({Token::Quoted, std::move(name)});
      ++i;
    } else if (c == '*') {
      tokens.push_back({Token::Star, "*"});
      ++i;
    } else if (c == '>' && i + 1 < sql.size() && sql[i + 1] == '=') {
      tokens.push_back({Token::AtLeast, ">="});
      i += 2;
    } else {
      std::size_t end = i + 1;
      while (end < sql.size() && !IsBlank(sql[end]) &&
             std::string_view("[]\"*>=").find(sql[end]) == std::string_view::npos)
        ++end;
      tokens.push_back({Token::Word, sql.substr(i, end - i)});
      i = end;
    }
  }
  return tokens;
}

bool IsWord(const Token& token, std::string_view word) {
  return token.kind == Token::Word && SameName(token.text, word);
}

// A table name written without quotes: letters, digits, underscores and
// any non-ASCII character.
bool IsPlainName(const std::string& name) {
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || c == '_' || u >= 0x80)) return false;
  }
  return !name.empty();
}

}  // namespace

Query ParseQuery(const std::string& sql) {
  const std::vector<Token> t = Tokens(sql);
  if (t.size() != 4 && t.size() != 8) RaiseSyntax();
  if (!IsWord(t[0], "select") || t[1].kind != Token::Star || !IsWord(t[2], "from")) RaiseSyntax();
  Query query;
  if (t[3].kind == Token::Quoted && !t[3].text.empty()) {
    query.table = t[3].text;
  } else if (t[3].kind == Token::Word && IsPlainName(t[3].text)) {
    query.table = t[3].text;
  } else {
    RaiseSyntax();
  }
  if (t.size() == 8) {
    if (!IsWord(t[4], "where") || !IsWord(t[5], "pagenumber") || t[6].kind != Token::AtLeast ||
        !IsWord(t[7], "0"))
      RaiseSyntax();
    query.pagesOnly = true;
  }
  return query;
}

}  // namespace chkimport::dao::detail
