// chkimport: the command-line host. It stands where the form designer
// stands: it hands the component a translator and calls GetCHKCode. This
// file defines the command line; each command runs in a file of its own
// (commands.h).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <string>

#include "chkimport/vb_error.h"
#include "cli/commands.h"
#include "cli/completion.h"
#include "cli/convert_command.h"
#include "cli/help.h"
#include "cli/language.h"
#include "cli/man_page.h"
#include "cli/output.h"
#include "core/line_reader.h"
#include "services/dao.h"
#include "services/settings.h"
#include "services/texts.h"

namespace {

using namespace chkimport;
using namespace chkimport::cli;

// Validators whose messages are in the user's language.
CLI::Validator encodingName(Translator& tr) {
  return CLI::Validator(
      [&tr](std::string& name) {
        return LineReader::KnownEncoding(name)
                   ? std::string()
                   : Fill(tr.T("unknown text encoding '{name}': use a name that iconv --list shows, such as "
                               "UTF-8, UTF-16, WINDOWS-1252, CP850 or ISO-8859-1"),
                          {{"name", name}});
      },
      "");
}

CLI::Validator existingFolder(Translator& tr) {
  return CLI::Validator(
      [&tr](std::string& name) {
        std::error_code ec;
        return std::filesystem::is_directory(name, ec) ? std::string() : tr.T("no such folder:") + " " + name;
      },
      "");
}

CLI::Validator seconds(Translator& tr) {
  return CLI::Validator(
      [&tr](std::string& text) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        return !text.empty() && end && *end == '\0' && value >= 0
                   ? std::string()
                   : tr.T("not a number of seconds (0 or more):") + " " + text;
      },
      "");
}

// The command word of the command line: the first that is not an option
// or the value of one of the program's own options; "" for none.
std::string commandWord(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--color" || arg == "--language" || arg == "-l" || arg == "--languages" ||
        arg == "--completion") {
      ++i;
      continue;
    }
    if (!arg.empty() && arg[0] != '-') return arg;
  }
  return "";
}

std::vector<std::string> commandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
    names.push_back(sub->get_name());
  return names;
}

// "'improt' is not a chkimport command; did you mean 'import'?"
std::string notACommand(Translator& tr, const CLI::App& app, const std::string& word) {
  std::string message = Fill(tr.T("'{word}' is not a chkimport command"), {{"word", word}});
  const std::string nearest = Nearest(word, commandNames(app));
  if (!nearest.empty()) message += "; " + Fill(tr.T("did you mean '{command}'?"), {{"command", nearest}});
  return message;
}

// A usage error in the user's words: what is wrong and where to look.
std::string usageMessage(Translator& tr, const CLI::App& app, const CLI::ParseError& e) {
  const CLI::App* command = &app;
  for (const CLI::App* sub : app.get_subcommands()) command = sub;
  std::string name = command == &app ? "chkimport" : "chkimport " + command->get_name();
  std::string message = e.what();
  if (dynamic_cast<const CLI::RequiredError*>(&e)) {
    if (command == &app) {
      message = tr.T("no command given; the commands are:");
      for (const auto& c : commandNames(app)) message += " " + c;
    }
    for (const CLI::Option* opt : command->get_options())
      if (opt->get_required() && opt->count() == 0) {
        message = tr.T("missing option:") + " " +
                  (opt->get_lnames().empty() ? opt->get_name() : "--" + opt->get_lnames().front());
        break;
      }
  } else if (dynamic_cast<const CLI::ExtrasError*>(&e) &&
             !(command->remaining().empty() && app.remaining().empty())) {
    // An option the command does not know falls through to the program.
    const std::string extra =
        command->remaining().empty() ? app.remaining().front() : command->remaining().front();
    if (extra.rfind("-", 0) == 0) {
      std::vector<std::string> options;
      for (const CLI::Option* opt :
           command->get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
        for (const auto& l : opt->get_lnames()) options.push_back("--" + l);
        for (const auto& s : opt->get_snames()) options.push_back("-" + s);
      }
      const std::string given = extra.substr(0, extra.find('='));
      message = tr.T("unknown option:") + " " + given;
      if (const std::string nearest = Nearest(given, options); !nearest.empty())
        message += "; " + Fill(tr.T("did you mean '{command}'?"), {{"command", nearest}});
    } else {
      message = tr.T("unexpected argument:") + " " + extra;
    }
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    message = tr.T("a value is missing after") + " " + message.substr(0, message.find(':'));
  }
  // An option of the program's own is told of in its help.
  if (app.get_option_no_throw(message.substr(0, message.find(':'))) != nullptr) name = "chkimport";
  return message + "\n" + Fill(tr.T("(see '{command} --help')"), {{"command", name}});
}

}  // namespace

int main(int argc, char** argv) {
  dao::DBEngine::ProgramOwnsEngine();
  const EarlyArguments early = ScanArguments(argc, argv);
  Settings settings(Settings::DefaultPath());
  CatalogTranslator tr(LanguagesDir(early.languagesDir));
  std::string language = "English", warning;
  try {
    // The manual page and the completion scripts are in English.
    if (!early.ownFile) warning = UseLanguage(tr, early.language, settings, language);
  } catch (const VbError& e) {
    warning = "error " + std::to_string(e.Number) + ": " + e.Description;
  }
  if (!warning.empty() && !early.json) Say(tr.T("warning:") + " " + warning);
  Context cx{tr, language, tr.LanguagesDir()};

  CLI::App app{"chkimport " CHKIMPORT_VERSION ": " +
                   tr.T("imports the check code of Vantrel 6 CHK files into a Vantrel 2000 view database"),
               "chkimport"};
  app.formatter(HelpFormatter(tr, TerminalWidth(STDOUT_FILENO)));
  app.option_defaults()->group(tr.T("Options"));
  app.set_help_flag("-h,--help", tr.T("Print this help and exit; after a command, the command's help"));
  app.set_version_flag("-V,--version", "chkimport " CHKIMPORT_VERSION, tr.T("Print the version and exit"));
  AddManPageFlag(app);
  AddCompletionFlag(app, AvailableLanguages(cx.languagesDir));
  app.require_subcommand(1);
  // The program's own options may also follow the command.
  app.fallthrough();
  std::string colour = "auto";
  app.add_option("--color", colour,
                 tr.T("Colour the output: auto (on a terminal, unless NO_COLOR is set), always or never"))
      ->type_name("WHEN")
      ->check(CLI::Validator(
          [&tr](std::string& word) {
            return ParseColourMode(word)
                       ? std::string()
                       : Fill(tr.T("'{word}' is none of auto, always, never"), {{"word", word}});
          },
          ""));
  const std::string subcommands = tr.T("Commands");
  // A command's options are made only when it is the command given, or when
  // none is or help is asked for: the help, the manual page and completion
  // see them all. A word that is no command is refused before any option is
  // read. Making every command's options was a fifth of the program's start.
  const std::string word = commandWord(argc, argv);
  auto builds = [&](const char* command) { return word.empty() || word == "help" || word == command; };
  std::string ignoredLanguage, ignoredFolder;
  auto languageOptions = [&](CLI::App* command, const std::string& what) {
    command->add_option("-l,--language", ignoredLanguage, what)->type_name("LANGUAGE");
    command->add_option("--languages", ignoredFolder, tr.T("Folder of the translation catalogs (NAME.po)"))
        ->type_name("DIR")
        ->check(existingFolder(tr));
  };
  const std::string languageHelp = tr.T(
      "Language of messages and comment lines (a catalog name such as Spanish); default: the Language key "
      "of section [Variables] in the settings file, else the locale (LC_ALL, LC_MESSAGES, LANG)");
  const std::string waitHelp = tr.T(
      "How long to wait for another program that is using the database before giving up with nothing "
      "written (default: 10)");
  const std::string includeWithinHelp = tr.T(
      "Read INCLUDE files only from under DIR (links and .. resolved), for CHK files from others; an "
      "INCLUDE of any other file is written as one of a file not found, with a warning on standard error");
  const std::string quietHelp = tr.T("Say nothing on success: no summary line and no progress line");

  ImportOptions o;
  auto* import = app.add_subcommand(
      "import",
      tr.T("Run one import pass of a CHK file against a view table. Without --ignore-new the pass only lists "
           "the CHK fields that have no row in the view (one per line on standard output; on a terminal "
           "headed, with the lines that are field names apart) and writes nothing; with --ignore-new it "
           "translates the check code and writes it into the view. Messages go to standard error; on a "
           "terminal a line says what the import did. The exit status is 0 on success, 1 with a message, 2 "
           "for a usage error."));
  if (builds("import")) {
    import->add_option("-c,--chk", o.chk, tr.T("The CHK file; - reads it from standard input"))
        ->required()
        ->type_name("FILE");
    import->add_option("-d,--db", o.db, tr.T("The view database (a SQLite file)"))
        ->required()
        ->type_name("FILE");
    import->add_option("-v,--view", o.view, tr.T("The view table, e.g. viewPatient"))
        ->required()
        ->type_name("VIEW");
    import->add_flag("--overwrite", o.overwrite,
                     tr.T("Replace each matched field's check code instead of adding to it"));
    import->add_flag("--ignore-new", o.ignoreNew,
                     tr.T("Translate and write at once, without listing the fields that have no view row"));
    import->add_flag("--tables", o.tables, tr.T("Build code tables from value lists"));
    languageOptions(import, languageHelp);
    import
        ->add_option(
            "--encoding", o.encoding,
            tr.T("Text encoding of the CHK and include files (an iconv name such as CP850); default: "
                 "UTF-8 when the file is valid UTF-8, else Windows-1252 or CP850 by its accented letters"))
        ->type_name("ENCODING")
        ->check(encodingName(tr));
    import->add_option("--include-within", o.includeWithin, includeWithinHelp)
        ->type_name("DIR")
        ->check(existingFolder(tr));
    import->add_flag(
        "--json", o.json,
        tr.T("Print {\"result\", \"unmatched\", \"unmatched_fields\", \"errors\": [{\"number\", "
             "\"description\", "
             "\"routines\"}]} on standard output, the errors that interrupted the import included, and "
             "{\"error\": {\"code\", \"message\", \"number\", \"routines\"}} when it failed; nothing on "
             "standard "
             "error"));
    import->add_option("--wait", o.wait, waitHelp)->type_name("SECONDS")->check(seconds(tr));
    import->add_flag(
        "-n,--dry-run", o.dryRun,
        tr.T(
            "Change nothing: run the writing pass (after the listing pass, without --ignore-new) in a "
            "transaction that is rolled back, and print a unified diff of each Checkcode and Lists it would "
            "change and the code tables it would create; with --json the same as {\"result\", \"unmatched\", "
            "\"changes\": [{\"view\", \"row\", \"column\", \"old\", \"new\"}], \"new_tables\"}"));
    import->add_flag("-q,--quiet", o.quiet, quietHelp);
  }

  ViewsOptions views;
  auto* viewsCommand = app.add_subcommand(
      "views", tr.T("List the view tables of a view database, one per line. With --json their rows too."));
  if (builds("views")) {
    viewsCommand->add_option("-d,--db", views.db, tr.T("The view database (a SQLite file)"))
        ->required()
        ->type_name("FILE");
    viewsCommand->add_flag(
        "--json", views.json,
        tr.T("Print {\"views\": [{\"name\", \"rows\"}]} on standard output, or {\"error\": {...}}"));
    languageOptions(viewsCommand, tr.T("Language of messages"));
  }

  ImportOptions d;
  auto* dialog = app.add_subcommand(
      "dialog",
      tr.T("Open the import dialog (needs a display), filled with the given names and options; its OK button "
           "runs the import, Cancel or Escape closes it. Errors met during the import are asked of the "
           "user."));
  if (builds("dialog")) {
    dialog->add_option("-c,--chk", d.chk, tr.T("The CHK file"))->type_name("FILE");
    dialog->add_option("-d,--db", d.db, tr.T("The view database (a SQLite file)"))->type_name("FILE");
    dialog->add_option("-v,--view", d.view, tr.T("The view table"))->type_name("VIEW");
    // The dialog's boxes start ticked; an option left out leaves its box so.
    dialog->add_flag("--overwrite", d.overwrite,
                     tr.T("Tick 'Overwrite any existing CHECK code' (it starts ticked)"));
    dialog->add_flag("--ignore-new", d.ignoreNew,
                     tr.T("Tick the box that suppresses the summary (it starts ticked)"));
    dialog->add_flag("--tables", d.tables,
                     tr.T("Tick 'Automatically generate Code Tables' (it starts ticked)"));
    languageOptions(dialog, tr.T("Language of the dialogs and comment lines"));
    dialog->add_option("--encoding", d.encoding, tr.T("Text encoding of the CHK and include files"))
        ->type_name("ENCODING")
        ->check(encodingName(tr));
  }

  ReportOptions report;
  auto* reportCommand = app.add_subcommand(
      "report", tr.T("Write the check code stored in a view table to a text file, one block per field that "
                     "has any."));
  if (builds("report")) {
    reportCommand->add_option("-d,--db", report.db, tr.T("The view database (a SQLite file)"))
        ->required()
        ->type_name("FILE");
    reportCommand->add_option("-v,--view", report.view, tr.T("The view table"))
        ->required()
        ->type_name("VIEW");
    reportCommand
        ->add_option("-c,--chk", report.chk,
                     tr.T("The CHK file the code came from, named in the report's header"))
        ->type_name("FILE");
    reportCommand
        ->add_option(
            "-o,--out", report.out,
            tr.T("The report file to write (replaced when it exists; never the database, its journal, "
                 "the CHK file or a file it includes); - writes it on standard output"))
        ->required()
        ->type_name("FILE");
    reportCommand->add_flag("--json", report.json,
                            tr.T("Print {\"report\", \"view\"} on standard output, or {\"error\": {...}}"));
    languageOptions(reportCommand, tr.T("Language of the report's texts"));
  }

  FormCommand nv;
  auto* newview = app.add_subcommand(
      "newview",
      tr.T("Create a view table from the header of a Vantrel 6 data file (.REC): one row per field with its "
           "name, type, format and prompt. The database file is created when it does not exist."));
  if (builds("newview")) {
    newview->add_option("-r,--rec", nv.rec, tr.T("The data file (.REC)"))->required()->type_name("FILE");
    newview->add_option("-d,--db", nv.db, tr.T("The view database (a SQLite file)"))
        ->required()
        ->type_name("FILE");
    newview
        ->add_option("-v,--view", nv.view,
                     tr.T("The view table to create; default: view + the .REC file's base name"))
        ->type_name("NAME");
    newview
        ->add_option("--encoding", nv.encoding,
                     tr.T("Text encoding of the .REC file (an iconv name); default: as for CHK files"))
        ->type_name("ENCODING")
        ->check(encodingName(tr));
    languageOptions(newview, tr.T("Language of messages"));
    newview->add_flag("--json", nv.json,
                      tr.T("Print {\"result\", \"table\", \"fields\", \"errors\"} on standard output, and "
                           "{\"error\": {...}} when it failed"));
    newview->add_option("--wait", nv.wait, waitHelp)->type_name("SECONDS")->check(seconds(tr));
    newview->add_flag("-q,--quiet", nv.quiet, quietHelp);
  }

  FormCommand cv;
  auto* convert = app.add_subcommand(
      "convert",
      tr.T(
          "Convert forms: for each, create its view table from the .REC file as newview does, import the "
          "check code of its CHK file into it (the writing pass of import; without a CHK file, a warning) "
          "and "
          "put the file's data records into a data table. Each form is converted whole or not at all, in a "
          "transaction of its own: one that fails leaves nothing and the others go on. What was made is said "
          "on standard error; several forms end with a summary. The exit status is 1 when any form failed."));
  if (builds("convert")) {
    convert
        ->add_option("REC", cv.recs,
                     tr.T("Data files (.REC) and folders of them (their .REC files, any case)"))
        ->required()
        ->type_name("FILE");
    convert
        ->add_option(
            "-c,--chk", cv.chk,
            tr.T("The CHK file; default: the .REC file's base name with .CHK, in any case, beside it; - "
                 "reads it from standard input"))
        ->type_name("FILE");
    convert
        ->add_option("-d,--db", cv.db,
                     tr.T("The view database (a SQLite file), created when it does not exist"))
        ->required()
        ->type_name("FILE");
    convert
        ->add_option("-v,--view", cv.view,
                     tr.T("The view table to create; default: view + the .REC file's base name"))
        ->type_name("NAME");
    convert->add_flag("--overwrite", cv.overwrite,
                      tr.T("Replace each matched field's check code instead of adding to it"));
    convert->add_flag("--tables", cv.tables, tr.T("Build code tables from value lists"));
    convert->add_option("--encoding", cv.encoding, tr.T("Text encoding of the .REC, CHK and include files"))
        ->type_name("ENCODING")
        ->check(encodingName(tr));
    convert->add_option("--include-within", cv.includeWithin, includeWithinHelp)
        ->type_name("DIR")
        ->check(existingFolder(tr));
    languageOptions(convert, tr.T("Language of messages and comment lines"));
    convert->add_flag(
        "--json", cv.json,
        tr.T("Print a line of JSON per form on standard output: {\"rec\", \"result\", \"unmatched\", "
             "\"table\", \"fields\", \"errors\", \"chk\", \"code_lines\", \"code_tables\", \"advice\", "
             "\"data_table\", \"records\", \"deleted_records\", \"unread_values\", \"damaged_records\", "
             "\"warnings\"}, with {\"error\": {...}} when it failed, and with --report a last line "
             "{\"report\": {\"file\", \"result\"}}"));
    convert->add_option("--wait", cv.wait, waitHelp)->type_name("SECONDS")->check(seconds(tr));
    convert->add_flag("-q,--quiet", cv.quiet, quietHelp);
    convert
        ->add_option("--data-table", cv.dataTable,
                     tr.T("The data table to create; default: the view's name without \"view\" (viewSTUDENT: "
                          "STUDENT)"))
        ->type_name("NAME");
    convert->add_flag("--no-data", cv.noData,
                      tr.T("Leave the data records out: the view and the check code only"));
    convert->add_flag("--skip-deleted", cv.skipDeleted, tr.T("Leave out the records marked deleted"));
    convert->add_flag("--lenient", cv.lenient,
                      tr.T("Keep the records that read when the data section is damaged, and name those left "
                           "out; without it a damaged record leaves nothing of the form"));
  }

  const std::string reportHelp = tr.T(
      "Write a migration report to FILE: per form and field, the advice the import wrote (what is left "
      "to do by hand), by kind, with counts, and the CHK fields without a view row. Markdown for "
      "FILE.md, a self-contained HTML page for FILE.html");
  if (builds("convert"))
    convert->add_option("--report", cv.report, reportHelp)->type_name("FILE")->check(ReportFile(tr));
  if (builds("import"))
    import->add_option("--report", o.report, reportHelp)->type_name("FILE")->check(ReportFile(tr));

  // Run before the parser sees it (below); defined for --help, the manual
  // page and completion.
  std::string helpFor;
  auto* help = app.add_subcommand("help", tr.T("Show the help of chkimport, or of the command named."));
  help->add_option("COMMAND", helpFor, tr.T("The command"))->type_name("COMMAND");
  languageOptions(help, tr.T("Language of the help"));

  for (CLI::App* command : app.get_subcommands({})) {
    command->group(subcommands);
    if (CLI::Option* helpFlag = command->get_help_ptr()) helpFlag->group(tr.T("Options"));
  }
  app.footer(Fill(tr.T("Settings file: {file} (section [Variables], key Language)."),
                  {{"file", Settings::DefaultPath().string()}}));

  auto usageError = [&](const std::string& message) {
    PrintFailure({"usage", message}, early.json);
    return kUsage;
  };
  const auto known = commandNames(app);
  auto isCommand = [&](const std::string& name) {
    return std::find(known.begin(), known.end(), name) != known.end();
  };
  if (!word.empty() && !isCommand(word)) return usageError(notACommand(tr, app, word));
  if (word == "help") {
    // "help COMMAND": the command's help. Done here: the parser would take
    // the command's name for the command itself.
    std::string about;
    bool itself = false;  // help --help
    for (int i = 1; i < argc && about.empty(); ++i)
      if (argv[i] == word)
        for (int j = i + 1; j < argc && about.empty(); ++j) {
          const std::string arg = argv[j];
          if (arg[0] != '-') about = arg;
          itself = itself || arg == "-h" || arg == "--help";
        }
    if (itself) about = word;
    if (!about.empty() && !isCommand(about)) return usageError(notACommand(tr, app, about));
    const CLI::App* of = about.empty() ? &app : app.get_subcommand(about);
    std::cout << of->get_formatter()->make_help(of, about.empty() ? "chkimport" : "chkimport " + about,
                                                CLI::AppFormatMode::Normal);
    return kSuccess;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e) == 0 ? kSuccess : kUsage;
    return usageError(usageMessage(tr, app, e));
  }
  cx.colour = *ParseColourMode(colour);

  if (*import) return RunImport(cx, o);
  if (*dialog) return RunDialog(cx, d);
  if (*reportCommand) return RunReport(cx, report);
  if (*newview) return RunNewView(cx, nv);
  if (*convert) return RunConvert(cx, cv);
  return RunViews(cx, views);
}
