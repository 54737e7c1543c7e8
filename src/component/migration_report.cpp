#include "component/migration_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "chkimport/translator.h"
#include "core/migration_notes.h"
#include "dialogs/frm_import.h"
#include "services/vb_strings.h"

namespace chkimport {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x {
  }, y{};
  return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// The lines of an advice comment, as the user reads them.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (;;) {
    const auto end = text.find('\n', from);
    std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) lines.push_back(line);
    if (end == std::string::npos) return lines;
    from = end + 1;
  }
}

// The report's contents, written once for both forms of it.
class Writer {
 public:
  explicit Writer(Translator& tr) : tr_(tr) {}
  virtual ~Writer() = default;

  std::string Write(const std::string& db, const std::vector<ReportForm>& forms) {
    std::size_t failed = 0, advice = 0, unmatched = 0;
    std::vector<std::size_t> byKind(kAdviceKinds.size());
    for (const ReportForm& form : forms) {
      if (!form.failure.empty()) ++failed;
      advice += form.advice.size();
      unmatched += form.unmatched.size();
      for (const Advice& a : form.advice) ++byKind[KindIndex(a.kind)];
    }
    const std::string title = tr_.T("Migration report");
    Begin(title, db);
    Heading(2, tr_.T("Summary"));
    Table({tr_.T("What"), tr_.T("Count")},
          {{tr_.T("Forms"), std::to_string(forms.size())},
           {tr_.T("Forms not converted"), std::to_string(failed)},
           {tr_.T("Comments of advice to go through"), std::to_string(advice)},
           {tr_.T("CHK fields without a row in the view"), std::to_string(unmatched)}});
    std::vector<std::vector<std::string>> kinds;
    for (std::size_t k = 0; k < kAdviceKinds.size(); ++k)
      if (byKind[k] > 0)
        kinds.push_back({tr_.T(AdviceKindTitle(kAdviceKinds[k])), std::to_string(byKind[k])});
    if (!kinds.empty()) Table({tr_.T("What to do"), tr_.T("Count")}, kinds);

    for (const ReportForm& form : forms) {
      Heading(2, form.source + (form.view.empty() ? "" : " \u2192 " + form.view));
      if (!form.failure.empty()) {
        Paragraph(tr_.T("Not converted; nothing of it is in the database:") + " " + form.failure);
        continue;
      }
      std::string facts;
      if (form.fields > 0) facts += tr_.T("Fields:") + " " + std::to_string(form.fields) + ". ";
      if (!form.dataTable.empty())
        facts += tr_.T("Records:") + " " + std::to_string(form.records) + " " + tr_.T("into") + " " +
                 form.dataTable + ". ";
      Paragraph(facts + tr_.T("Comments of advice:") + " " + std::to_string(form.advice.size()) + ".");
      if (!form.outcome.empty()) Paragraph(tr_.T("The import said:") + " " + tr_.T(form.outcome));
      std::vector<std::vector<std::string>> rows;
      for (std::size_t k = 0; k < kAdviceKinds.size(); ++k)
        for (const Advice& a : form.advice)
          if (KindIndex(a.kind) == k)
            rows.push_back({tr_.T(AdviceKindTitle(kAdviceKinds[k])), a.field, a.text});
      if (!rows.empty()) Table({tr_.T("What to do"), tr_.T("Field"), tr_.T("Advice")}, rows);
      if (!form.unmatched.empty()) {
        Heading(3, tr_.T("CHK fields without a row in the view"));
        List(form.unmatched);
      }
    }
    End();
    return out_;
  }

 protected:
  static std::size_t KindIndex(const std::string& key) {
    for (std::size_t k = 0; k < kAdviceKinds.size(); ++k)
      if (key == AdviceKindKey(kAdviceKinds[k])) return k;
    return kAdviceKinds.size() - 1;
  }

  virtual void Begin(const std::string& title, const std::string& db) = 0;
  virtual void Heading(int level, const std::string& text) = 0;
  virtual void Paragraph(const std::string& text) = 0;
  virtual void Table(const std::vector<std::string>& head,
                     const std::vector<std::vector<std::string>>& rows) = 0;
  virtual void List(const std::vector<std::string>& items) = 0;
  virtual void End() = 0;

  Translator& tr_;
  std::string out_;
};

class MarkdownWriter : public Writer {
 public:
  using Writer::Writer;

 private:
  // Text that Markdown takes as it is.
  static std::string Escape(std::string_view text) {
    std::string escaped;
    for (char c : text) {
      if (std::strchr("\\`*_[]<>|#", c)) escaped += '\\';
      escaped += c;
    }
    return escaped;
  }
  static std::string Cell(const std::string& text) {
    std::string cell;
    for (const std::string& line : LinesOf(text)) cell += (cell.empty() ? "" : "<br>") + Escape(line);
    return cell;
  }

  void Begin(const std::string& title, const std::string& db) override {
    out_ += "# " + Escape(title) + "\n\n";
    out_ += Escape(tr_.T("View database:") + " " + db + " (chkimport " CHKIMPORT_VERSION ")") + "\n\n";
  }
  void Heading(int level, const std::string& text) override {
    out_ += std::string(static_cast<std::size_t>(level), '#') + " " + Escape(text) + "\n\n";
  }
  void Paragraph(const std::string& text) override { out_ += Escape(text) + "\n\n"; }
  void Table(const std::vector<std::string>& head,
             const std::vector<std::vector<std::string>>& rows) override {
    std::string rule;
    for (const std::string& h : head) {
      out_ += "| " + Escape(h) + " ";
      rule += "|---";
    }
    out_ += "|\n" + rule + "|\n";
    for (const auto& row : rows) {
      for (const std::string& cell : row) out_ += "| " + Cell(cell) + " ";
      out_ += "|\n";
    }
    out_ += "\n";
  }
  void List(const std::vector<std::string>& items) override {
    for (const std::string& item : items) out_ += "- " + Escape(item) + "\n";
    out_ += "\n";
  }
  void End() override {}
};

class HtmlWriter : public Writer {
 public:
  using Writer::Writer;

 private:
  static std::string Escape(std::string_view text) {
    std::string escaped;
    for (char c : text) {
      switch (c) {
        case '&':
          escaped += "&amp;";
          break;
        case '<':
          escaped += "&lt;";
          break;
        case '>':
          escaped += "&gt;";
          break;
        case '"':
          escaped += "&quot;";
          break;
        default:
          escaped += c;
      }
    }
    return escaped;
  }

  void Begin(const std::string& title, const std::string& db) override {
    out_ +=
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + Escape(title) +
        "</title>\n<style>\n"
        "body { font-family: sans-serif; margin: 2em; color: #222; }\n"
        "table { border-collapse: collapse; margin: 1em 0; }\n"
        "th, td { border: 1px solid #aaa; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }\n"
        "th { background: #eee; }\n"
        "td.advice { font-family: monospace; white-space: pre-wrap; }\n"
        "</style>\n</head>\n<body>\n<h1>" +
        Escape(title) + "</h1>\n<p>" + Escape(tr_.T("View database:") + " " + db) +
        " (chkimport " CHKIMPORT_VERSION ")</p>\n";
  }
  void Heading(int level, const std::string& text) override {
    const std::string tag = "h" + std::to_string(level);
    out_ += "<" + tag + ">" + Escape(text) + "</" + tag + ">\n";
  }
  void Paragraph(const std::string& text) override { out_ += "<p>" + Escape(text) + "</p>\n"; }
  void Table(const std::vector<std::string>& head,
             const std::vector<std::vector<std::string>>& rows) override {
    out_ += "<table>\n<thead><tr>";
    for (const std::string& h : head) out_ += "<th>" + Escape(h) + "</th>";
    out_ += "</tr></thead>\n";
    for (const auto& row : rows) {
      out_ += "<tr>";
      for (std::size_t i = 0; i < row.size(); ++i) {
        std::string cell;
        for (const std::string& line : LinesOf(row[i])) cell += (cell.empty() ? "" : "\n") + line;
        out_ += (head.size() == 3 && i == 2 ? "<td class=\"advice\">" : "<td>") + Escape(cell) + "</td>";
      }
      out_ += "</tr>\n";
    }
    out_ += "</table>\n";
  }
  void List(const std::vector<std::string>& items) override {
    out_ += "<ul>\n";
    for (const std::string& item : items) out_ += "<li>" + Escape(item) + "</li>\n";
    out_ += "</ul>\n";
  }
  void End() override { out_ += "</body>\n</html>\n"; }
};

}  // namespace

bool IsReportPath(const std::string& path, bool* html) {
  const std::string extension = AsciiLower(std::filesystem::path(path).extension().string());
  if (html) *html = extension == ".html" || extension == ".htm";
  return extension == ".md" || extension == ".html" || extension == ".htm";
}

std::string ReportRefused(const std::string& path, const std::string& db,
                          const std::vector<std::string>& recs, const std::vector<std::string>& chks,
                          const std::string& encoding) {
  for (const std::string& rec : recs)
    if (SameFile(path, rec)) return "the data file " + rec;
  if (chks.empty()) return ReportWouldReplace(path, "", db, encoding);
  for (const std::string& chk : chks)
    if (std::string why = ReportWouldReplace(path, chk, db, encoding); !why.empty()) return why;
  return "";
}

std::string WriteMigrationReport(const std::string& path, const std::string& db,
                                 const std::vector<ReportForm>& forms, Translator& tr) {
  bool html = false;
  IsReportPath(path, &html);
  const std::string text = html ? HtmlWriter(tr).Write(db, forms) : MarkdownWriter(tr).Write(db, forms);

  // A new file beside the report takes its name once it is written whole.
  namespace fs = std::filesystem;
  const fs::path target(path);
  std::string temporary =
      (target.parent_path().empty() ? fs::path(".") : target.parent_path()) / (".chkimport-report-XXXXXX");
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return path + ": " + std::strerror(errno);
  std::FILE* file = fdopen(fd, "wb");
  bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  int error = errno;
  if (file) {
    written = std::fflush(file) == 0 && fsync(fd) == 0 && written;
    if (!written && error == 0) error = errno;
    if (std::fclose(file) != 0 && written) {
      written = false;
      error = errno;
    }
  } else {
    close(fd);
  }
  // As a file the user made: the umask's mode, not mkstemp's.
  const mode_t mask = umask(0);
  umask(mask);
  if (written && chmod(temporary.c_str(), 0666 & ~mask) != 0) {
    written = false;
    error = errno;
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (written) return "";
  unlink(temporary.c_str());
  return path + ": " + std::strerror(error ? error : EIO);
}

}  // namespace chkimport
