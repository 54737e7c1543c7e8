// chkimport-screenshots OUTDIR [LANGUAGE]: draws each dialog, filled with
// example entries, to OUTDIR/<dialog>.png without a screen, in English or in
// the language of a catalog beside the program.
#include <QColor>
#include <QFont>
#include <QPainter>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "chkimport/catalog_translator.h"
#include "chkimport/cls_chk_import.h"
#include "chkimport/vb_error.h"
#include "core/import_state.h"
#include "dialogs/forms.h"
#include "dialogs/frm_import.h"
#include "dialogs/frm_no_match.h"
#include "dialogs/frm_vlist.h"
#include "gui/qt_windowing.h"

namespace {

using namespace chkimport;

// The client area under a plain title bar with the caption and, when the
// form offers one, the close button.
QImage framed(const Form& form, const QImage& client) {
  const int bar = 22;
  QImage image(client.width(), client.height() + bar, QImage::Format_ARGB32);
  image.fill(QColor(0x2f, 0x4f, 0x7f));
  QPainter painter(&image);
  painter.drawImage(0, bar, client);
  QFont font = painter.font();
  font.setPixelSize(12);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(6, 0, client.width() - 30, bar), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromStdString(form.Caption));
  if (form.ControlBox)
    painter.drawText(QRect(client.width() - bar, 0, bar, bar), Qt::AlignCenter, QStringLiteral("x"));
  return image;
}

bool save(QtWindowing& layer, Form& form, const std::filesystem::path& dir) {
  const auto path = dir / (form.Name + ".png");
  if (!framed(form, layer.Render(form)).save(QString::fromStdString(path.string()))) {
    std::fprintf(stderr, "chkimport-screenshots: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: chkimport-screenshots OUTDIR [LANGUAGE]\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  qputenv("QT_QPA_PLATFORM", "offscreen");
  std::string whyNot;
  auto layer = QtWindowing::Create(whyNot);
  if (!layer) {
    std::fprintf(stderr, "chkimport-screenshots: %s\n", whyNot.c_str());
    return 1;
  }

  auto module = std::make_shared<ImportState>();
  module->host.settings = Settings(dir / "no-settings.ini");
  CatalogTranslator translator(CatalogTranslator::DefaultLanguagesDir(
      std::filesystem::read_symlink("/proc/self/exe", ec).parent_path()));
  try {
    translator.setLANGUAGE(argc == 3 ? argv[2] : "English");
    // A translator looking at their dialogs wants to know the catalog was not found.
    if (argc == 3 && translator.CatalogFile().empty() &&
        QString(argv[2]).compare("English", Qt::CaseInsensitive) != 0) {
      std::fprintf(stderr, "chkimport-screenshots: no catalog %s.po in %s\n", argv[2],
                   translator.LanguagesDir().c_str());
      return 1;
    }
  } catch (const VbError& e) {
    std::fprintf(stderr, "chkimport-screenshots: %s\n", e.Description.c_str());
    return 1;
  }
  clsCHKImport component(module);
  component.SetObjLanguage(translator);
  ImportState& st = *module;

  bool ok = true;

  // Filled as the host's arguments fill it.
  auto& import = Instance<FrmImport>(st);
  import.SetText("txtFileName", "/home/clinic/forms/PATIENT.CHK");
  import.SetText("txtDBName", "/home/clinic/forms/patient.mdb");
  import.SetText("txtTableName", "viewPatient");
  ok = save(*layer, import, dir) && ok;

  auto& chooser = Instance<FrmVList>(st);
  for (const char* view : {"viewPatient", "viewVisit", "viewLabResults", "viewFollowUp"})
    chooser.listTable().AddItem(view);
  // The first name chosen, as the set-up leaves it.
  chooser.SetListIndex("listTable", 0);
  ok = save(*layer, chooser, dir) && ok;

  auto& unmatched = Instance<FrmNoMatch>(st);
  for (const char* field : {"WEIGHT2", "VISITDATE", "LABCODE", "REMARKS"})
    unmatched.listNoMatch().AddItem(field);
  ok = save(*layer, unmatched, dir) && ok;

  return ok ? 0 : 1;
}
