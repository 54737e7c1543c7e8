#include "cli/help.h"

#include <algorithm>
#include <sstream>

#include "cli/terminal.h"
#include "services/texts.h"

namespace chkimport::cli {
namespace {

class Formatter : public CLI::Formatter {
 public:
  Formatter(Translator& tr, std::size_t width) : width_(width) {
    column_width(std::min<std::size_t>(30, width / 3));
    const std::pair<const char*, const char*> labels[] = {{"Usage", N_("Usage")},
                                                          {"OPTIONS", N_("OPTIONS")},
                                                          {"SUBCOMMAND", N_("COMMAND")},
                                                          {"SUBCOMMANDS", N_("COMMANDS")},
                                                          {"Positionals", N_("Arguments")},
                                                          {"REQUIRED", N_("REQUIRED")},
                                                          // The names of the options' values.
                                                          {"FILE", N_("FILE")},
                                                          {"DIR", N_("DIR")},
                                                          {"VIEW", N_("VIEW")},
                                                          {"NAME", N_("NAME")},
                                                          {"SECONDS", N_("SECONDS")},
                                                          {"ENCODING", N_("ENCODING")},
                                                          {"LANGUAGE", N_("LANGUAGE")},
                                                          {"WHEN", N_("WHEN")}};
    for (const auto& [key, text] : labels) label(key, tr.T(text));
  }

  std::string make_option_desc(const CLI::Option* opt) const override {
    return wrapRight(opt->get_description());
  }

  std::string make_subcommand(const CLI::App* sub) const override {
    std::stringstream out;
    CLI::detail::format_help(out, sub->get_display_name(), wrapRight(FirstSentence(sub->get_description())),
                             column_width_);
    return out.str();
  }

  std::string make_description(const CLI::App* app) const override {
    const std::string text = app->get_description();
    return text.empty() ? std::string() : Wrap(text, width_) + "\n";
  }

  std::string make_footer(const CLI::App* app) const override {
    const std::string text = app->get_footer();
    return text.empty() ? std::string() : Wrap(text, width_) + "\n";
  }

 private:
  std::string wrapRight(const std::string& text) const {
    return Wrap(text, width_ > column_width_ + 20 ? width_ - column_width_ - 1 : 20);
  }

  std::size_t width_;
};

// Edits from a to b, two letters swapped counting as one.
std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

}  // namespace

std::shared_ptr<CLI::Formatter> HelpFormatter(Translator& tr, std::size_t width) {
  return std::make_shared<Formatter>(tr, width);
}

std::string FirstSentence(const std::string& text) {
  const auto end = text.find(". ");
  return end == std::string::npos ? text : text.substr(0, end + 1);
}

std::string Nearest(const std::string& word, const std::vector<std::string>& names) {
  const std::size_t allowed = std::clamp<std::size_t>(word.size() / 3, 1, 3);
  std::string best;
  std::size_t bestDistance = allowed + 1;
  for (const auto& name : names) {
    const std::size_t d = distance(word, name);
    if (d < bestDistance) {
      bestDistance = d;
      best = name;
    }
  }
  return best;
}

}  // namespace chkimport::cli
