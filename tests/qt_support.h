// The Qt layer over the offscreen platform, one for the whole program. It is
// never freed: the QApplication must outlive every widget of every test.
#pragma once

#include <QtGlobal>
#include <memory>
#include <stdexcept>
#include <string>

#include "gui/qt_windowing.h"

namespace testing_support {

inline std::shared_ptr<chkimport::QtWindowing> sharedQtLayer() {
  static auto* layer = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string whyNot;
    auto created = chkimport::QtWindowing::Create(whyNot);
    if (!created) throw std::runtime_error(whyNot);
    return new std::shared_ptr<chkimport::QtWindowing>(created);
  }();
  return *layer;
}

}  // namespace testing_support
