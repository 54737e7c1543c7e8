#include "cli/man_page.h"

#include <iostream>
#include <string>
#include <vector>

#ifndef CHKIMPORT_INSTALLED_LANGUAGES
#define CHKIMPORT_INSTALLED_LANGUAGES "/usr/local/share/chkimport/languages"
#endif

namespace chkimport {
namespace {

constexpr const char* kProgram = "chkimport";

// Text as roff shows it: backslashes and hyphens escaped, a leading dot or
// quote not taken for a request.
std::string roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string bold(const std::string& text) {
  return "\\fB" + roff(text) + "\\fR";
}

std::string italic(const std::string& text) {
  return "\\fI" + roff(text) + "\\fR";
}

// Options as --help shows them: not those of no group, and each command's
// help flag only once, among the program's options.
std::vector<const CLI::Option*> shownOptions(const CLI::App& app, bool withHelp) {
  const CLI::Option* help = app.get_help_ptr();
  return app.get_options(
      [&](const CLI::Option* opt) { return !opt->get_group().empty() && (withHelp || opt != help); });
}

// As --help tells it: a value has a type name, a flag none.
bool takesValue(const CLI::Option* opt) {
  return opt->get_type_size() != 0 && !opt->get_type_name().empty();
}

// "-h, --help" or "--chk TEXT" or "REC".
std::string optionTerm(const CLI::Option* opt) {
  std::vector<std::string> names;
  for (const auto& s : opt->get_snames()) names.push_back(bold("-" + s));
  for (const auto& l : opt->get_lnames()) names.push_back(bold("--" + l));
  if (names.empty()) return italic(opt->get_name());
  std::string term;
  for (const auto& name : names) term += (term.empty() ? "" : ", ") + name;
  if (takesValue(opt)) term += " " + italic(opt->get_type_name());
  return term;
}

// One option in a synopsis: the first long name, its value, brackets when
// it may be left out.
std::string synopsisItem(const CLI::Option* opt) {
  std::string item;
  if (!opt->get_lnames().empty())
    item = bold("--" + opt->get_lnames().front());
  else if (!opt->get_snames().empty())
    item = bold("-" + opt->get_snames().front());
  else
    item = italic(opt->get_name());
  if (opt->nonpositional() && takesValue(opt)) item += " " + italic(opt->get_type_name());
  return opt->get_required() ? item : "[" + item + "]";
}

std::vector<const CLI::App*> commands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

std::string describe(const CLI::Option* opt, const CLI::App& app) {
  std::string text = opt == app.get_help_ptr()
                         ? std::string("Print the help of chkimport, or of the command it follows, and exit.")
                         : opt->get_description();
  if (!text.empty() && text.back() != '.') text += '.';
  if (opt->get_required()) text += " Required.";
  if (!opt->get_default_str().empty()) text += " Default: " + opt->get_default_str() + ".";
  return roff(text);
}

// The program's description less its leading "chkimport VERSION: ".
std::string summary(const CLI::App& app) {
  std::string text = app.get_description();
  const auto colon = text.find(": ");
  if (text.rfind(kProgram, 0) == 0 && colon != std::string::npos) text.erase(0, colon + 2);
  return text;
}

void writeSynopsis(const CLI::App& app, std::ostream& out) {
  out << ".SH SYNOPSIS\n.ad l\n";
  for (const CLI::App* sub : commands(app)) {
    out << ".PP\n" << bold(std::string(kProgram) + " " + sub->get_name());
    for (const CLI::Option* opt : shownOptions(*sub, false)) out << " " << synopsisItem(opt);
    out << "\n";
  }
  out << ".PP\n" << bold(kProgram);
  for (const CLI::Option* opt : shownOptions(app, true)) out << " " << synopsisItem(opt);
  out << "\n.ad\n";
}

void writeOptionList(const std::vector<const CLI::Option*>& options, const CLI::App& app, std::ostream& out) {
  for (const CLI::Option* opt : options)
    out << ".TP\n" << optionTerm(opt) << "\n" << describe(opt, app) << "\n";
}

}  // namespace

void WriteManPage(const CLI::App& app, std::ostream& out) {
  const std::string title = "CHKIMPORT";
  out << ".\\\" Written by " << kProgram << " from its own command-line definition: change that, not this.\n"
      << ".TH " << title << " 1 \"\" \"" << kProgram << " " CHKIMPORT_VERSION "\" \"User Commands\"\n"
      << ".nh\n"  // no option name is broken at its hyphens
      << ".SH NAME\n"
      << kProgram << " \\- " << roff(summary(app)) << "\n";
  writeSynopsis(app, out);

  out << ".SH DESCRIPTION\n"
      << bold(kProgram) << " " << roff(summary(app)) << ".\n"
      << "It reads a CHK file line by line, translates every command into the language of Vantrel 2000 (or "
         "into comment lines that say what to do instead), and stores the result in the form's view table.\n"
      << ".PP\n"
      << "Each command is described below; " << bold(std::string(kProgram) + " ") << italic("command") << " "
      << bold("--help") << " shows the same.\n";

  out << ".SH COMMANDS\n";
  for (const CLI::App* sub : commands(app)) {
    out << ".SS " << sub->get_name() << "\n" << roff(sub->get_description()) << "\n";
    writeOptionList(shownOptions(*sub, false), *sub, out);
  }

  out << ".SH OPTIONS\n";
  writeOptionList(shownOptions(app, true), app, out);

  out << ".SH EXIT STATUS\n"
      << ".TP\n0\nThe command did its work.\n"
      << ".TP\n1\nA message on standard error says why it did not (for " << bold("import")
      << ": the database, CHK file or view table was not found, or no field matched), or errors interrupted "
         "the import.\n"
      << ".TP\n2\nThe command line was wrong, or the dialog could not be shown.\n";

  out << ".SH ENVIRONMENT\n"
      << ".TP\n"
      << bold("XDG_CONFIG_HOME")
      << "\nWhere the settings file is looked for (default: " << italic("~/.config") << ").\n"
      << ".TP\n"
      << bold("DISPLAY") << ", " << bold("WAYLAND_DISPLAY") << "\nThe display of the " << bold("dialog")
      << " command.\n";

  out << ".SH FILES\n"
      << ".TP\n"
      << italic("$XDG_CONFIG_HOME/chkimport/settings.ini") << "\nThe settings: the key " << bold("Language")
      << " of section " << bold("[Variables]")
      << " names the language of messages and comment lines (English when it is not set).\n"
      << ".TP\n"
      << italic(CHKIMPORT_INSTALLED_LANGUAGES "/NAME.po") << "\nThe translation of language NAME; a "
      << italic("languages") << " folder beside the program, or the one given with " << bold("--languages")
      << ", comes first.\n";

  out << ".SH EXAMPLES\n"
      << "Convert a form: make the view table viewSTUDENT from the data file and import STUDENT.CHK into "
         "it:\n"
      << ".PP\n.RS\n.nf\n"
      << roff("chkimport convert STUDENT.REC --db forms.db --tables") << "\n"
      << ".fi\n.RE\n"
      << ".PP\nList the CHK fields that have no row in a view, then import the check code:\n"
      << ".PP\n.RS\n.nf\n"
      << roff("chkimport import --chk form.chk --db form.db --view viewForm") << "\n"
      << roff("chkimport import --chk form.chk --db form.db --view viewForm --ignore-new") << "\n"
      << ".fi\n.RE\n"
      << ".PP\nList the view tables of a database, and write the check code of one to a report:\n"
      << ".PP\n.RS\n.nf\n"
      << roff("chkimport views --db form.db") << "\n"
      << roff("chkimport report --db form.db --view viewForm --out report.txt") << "\n"
      << ".fi\n.RE\n";

  out << ".SH SEE ALSO\n" << bold("sqlite3") << "(1)\n";
}

void AddManPageFlag(CLI::App& app) {
  app.add_flag_callback("--man",
                        [&app] {
                          WriteManPage(app, std::cout);
                          throw CLI::Success();
                        })
      ->group("");
}

}  // namespace chkimport
