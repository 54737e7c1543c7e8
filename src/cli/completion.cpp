#include "cli/completion.h"

#include <iostream>

#include "cli/help.h"

namespace chkimport::cli {
namespace {

constexpr const char* kProgram = "chkimport";

// Options as --help shows them: not those of no group (--man, --completion).
std::vector<const CLI::Option*> shownOptions(const CLI::App& app) {
  return app.get_options([](const CLI::Option* opt) { return !opt->get_group().empty(); });
}

std::vector<const CLI::App*> commands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

bool takesValue(const CLI::Option* opt) {
  return opt->get_type_size() != 0 && !opt->get_type_name().empty();
}

// The option's names as typed: "-c --chk".
std::vector<std::string> names(const CLI::Option* opt) {
  std::vector<std::string> all;
  for (const auto& s : opt->get_snames()) all.push_back("-" + s);
  for (const auto& l : opt->get_lnames()) all.push_back("--" + l);
  return all;
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

// The type name without what a validator adds ("TEXT:ENCODING" is TEXT).
std::string kind(const CLI::Option* opt) {
  const std::string type = opt->get_type_name();
  return type.substr(0, type.find(':'));
}

// Text inside single quotes of a shell word.
std::string shellQuoted(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out;
}

// Text for zsh's brackets and descriptions: no brackets or colons of its own.
std::string zshText(const std::string& text) {
  std::string out;
  for (char c : FirstSentence(text)) {
    if (c == '[' || c == ']' || c == ':' || c == '\\') out += '\\';
    out += c;
  }
  return shellQuoted(out);
}

// Bash: the words that complete an option's value, as a compgen call.
std::string bashValues(const std::string& type, const std::string& languages) {
  if (type == "FILE") return "compgen -f -- \"$cur\"";
  if (type == "DIR") return "compgen -d -- \"$cur\"";
  if (type == "LANGUAGE") return "compgen -W '" + languages + "' -- \"$cur\"";
  if (type == "WHEN") return "compgen -W 'auto always never' -- \"$cur\"";
  if (type == "VIEW") return "compgen -W \"$(_chkimport_views)\" -- \"$cur\"";
  return "";
}

std::string zshValues(const std::string& type, const std::string& languages) {
  if (type == "FILE") return "_files";
  if (type == "DIR") return "_files -/";
  if (type == "LANGUAGE") return "(" + languages + ")";
  if (type == "WHEN") return "(auto always never)";
  if (type == "VIEW") return "_chkimport_views";
  return " ";
}

void bashValueCases(const CLI::App& app, const std::string& command, const std::string& languages,
                    std::ostream& out) {
  for (const CLI::Option* opt : shownOptions(app)) {
    if (!takesValue(opt) || !opt->nonpositional()) continue;
    const std::string values = bashValues(kind(opt), languages);
    std::string patterns;
    for (const auto& name : names(opt)) patterns += (patterns.empty() ? "" : "|") + command + ":" + name;
    out << "    " << patterns << ")\n      ";
    if (values.empty())
      out << "return ;;\n";
    else
      out << "COMPREPLY=($(" << values << ")); return ;;\n";
  }
}

}  // namespace

void WriteBashCompletion(const CLI::App& app, const std::vector<std::string>& languages, std::ostream& out) {
  const std::string languageWords = joined(languages);
  std::vector<std::string> commandNames;
  for (const CLI::App* sub : commands(app)) commandNames.push_back(sub->get_name());
  out << "# bash completion for " << kProgram << ", written by `" << kProgram
      << " --completion bash` from its command-line definitions.\n\n"
      << "# The view tables of the database named with --db or -d on the line.\n"
      << "_chkimport_views() {\n"
      << "  local i\n"
      << "  for ((i = 1; i < ${#COMP_WORDS[@]} - 1; i++)); do\n"
      << "    case \"${COMP_WORDS[i]}\" in\n"
      << "      --db|-d) " << kProgram << " views --db \"${COMP_WORDS[i + 1]}\" 2>/dev/null; return ;;\n"
      << "    esac\n"
      << "  done\n"
      << "}\n\n"
      << "_chkimport() {\n"
      << "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD - 1]}\" command=\"\" i\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    case \"${COMP_WORDS[i]}\" in\n"
      << "      " <<
      [&] {
        std::string alternatives;
        for (const auto& name : commandNames) alternatives += (alternatives.empty() ? "" : "|") + name;
        return alternatives;
      }()
      << ") command=\"${COMP_WORDS[i]}\"; break ;;\n"
      << "    esac\n"
      << "  done\n"
      << "  case \"$command:$prev\" in\n";
  bashValueCases(app, "*", languageWords, out);
  for (const CLI::App* sub : commands(app)) bashValueCases(*sub, sub->get_name(), languageWords, out);
  out << "  esac\n"
      << "  case \"$command\" in\n"
      << "    \"\") COMPREPLY=($(compgen -W '" << joined(commandNames);
  for (const CLI::Option* opt : shownOptions(app)) out << " " << joined(names(opt));
  out << "' -- \"$cur\")) ;;\n";
  for (const CLI::App* sub : commands(app)) {
    std::string options;
    for (const CLI::Option* opt : shownOptions(*sub))
      if (opt->nonpositional()) options += (options.empty() ? "" : " ") + joined(names(opt));
    const bool commandArgument = sub->get_name() == "help";
    out << "    " << sub->get_name() << ")\n"
        << "      if [[ \"$cur\" == -* ]]; then COMPREPLY=($(compgen -W '" << options << "' -- \"$cur\"))\n"
        << "      else COMPREPLY=($(compgen "
        << (commandArgument ? "-W '" + joined(commandNames) + "'" : "-f") << " -- \"$cur\")); fi ;;\n";
  }
  out << "  esac\n"
      << "}\n"
      << "complete -o filenames -F _chkimport " << kProgram << "\n";
}

void WriteZshCompletion(const CLI::App& app, const std::vector<std::string>& languages, std::ostream& out) {
  const std::string languageWords = joined(languages);
  auto optionSpecs = [&](const CLI::App& of) {
    std::string specs;
    for (const CLI::Option* opt : shownOptions(of)) {
      if (!opt->nonpositional()) {
        if (of.get_name() == "help") continue;  // completed with the commands below
        specs += " \\\n    '" + std::string(opt->get_required() ? "" : ":") + ":" + zshText(opt->get_name()) +
                 ":_files'";
        continue;
      }
      const auto all = names(opt);
      const std::string exclusive = all.size() > 1 ? "(" + joined(all) + ")" : "";
      for (const auto& name : all) {
        specs += " \\\n    '" + shellQuoted(exclusive) + name + (takesValue(opt) ? "=" : "") + "[" +
                 zshText(opt->get_description()) + "]";
        if (takesValue(opt))
          specs += ":" + shellQuoted(kind(opt)) + ":" + shellQuoted(zshValues(kind(opt), languageWords));
        specs += "'";
      }
    }
    return specs;
  };
  out << "#compdef " << kProgram << "\n"
      << "# zsh completion for " << kProgram << ", written by `" << kProgram
      << " --completion zsh` from its command-line definitions.\n\n"
      << "# The view tables of the database named with --db or -d on the line.\n"
      << "_chkimport_views() {\n"
      << "  local db=${opt_args[--db]:-${opt_args[-d]}}\n"
      << "  [[ -n $db ]] && compadd -- ${(f)\"$(" << kProgram << " views --db ${(Q)db} 2>/dev/null)\"}\n"
      << "}\n\n"
      << "_chkimport() {\n"
      << "  local curcontext=\"$curcontext\" state line\n"
      << "  typeset -A opt_args\n"
      << "  _arguments -C" << optionSpecs(app) << " \\\n"
      << "    '1:command:->command' \\\n"
      << "    '*::argument:->argument'\n"
      << "  case $state in\n"
      << "    command)\n"
      << "      local -a commands\n"
      << "      commands=(";
  for (const CLI::App* sub : commands(app))
    out << "\n        '" << sub->get_name() << ":" << zshText(sub->get_description()) << "'";
  out << ")\n"
      << "      _describe command commands ;;\n"
      << "    argument)\n"
      << "      case $words[1] in\n";
  for (const CLI::App* sub : commands(app)) {
    out << "        " << sub->get_name() << ")\n          _arguments" << optionSpecs(*sub);
    if (sub->get_name() == "help") {
      out << " \\\n    '1:command:(";
      for (const CLI::App* other : commands(app)) out << " " << other->get_name();
      out << ")'";
    }
    out << " ;;\n";
  }
  out << "      esac ;;\n"
      << "  esac\n"
      << "}\n\n"
      << "_chkimport \"$@\"\n";
}

void AddCompletionFlag(CLI::App& app, std::vector<std::string> languages) {
  app.add_option_function<std::string>("--completion",
                                       [&app, languages](const std::string& shell) {
                                         if (shell == "bash")
                                           WriteBashCompletion(app, languages, std::cout);
                                         else if (shell == "zsh")
                                           WriteZshCompletion(app, languages, std::cout);
                                         else
                                           throw CLI::ValidationError("--completion", "bash or zsh");
                                         throw CLI::Success();
                                       })
      ->group("");
}

}  // namespace chkimport::cli
