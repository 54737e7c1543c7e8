// The windowing layer on Qt Widgets: a form's controls as widgets, its
// events to its handlers, its state kept in step with the widgets.
#include "gui/qt_windowing.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <exception>
#include <map>

#include "chkimport/vb_error.h"
#include "services/form.h"
#include "services/screen_windowing.h"

namespace chkimport {
namespace {

constexpr double kTwipsPerPixel = 15.0;

int pixels(int twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

bool drawn(ControlKind kind) {
  return kind != ControlKind::CommonDialog && kind != ControlKind::ErrorStack;
}

// The caption of a label that has no control to take its mnemonic: "&&"
// stands for "&", a single "&" disappears.
QString withoutMnemonic(const std::string& caption) {
  std::string shown;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return qs(shown);
}

// The character code a handler's KeyPress receives, 0 for none.
int charCodeOf(const QKeyEvent& e) {
  switch (e.key()) {
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Backspace:
      return 8;
    default:
      break;
  }
  const QString text = e.text();
  if (text.size() != 1) return 0;
  const char16_t c = text.at(0).unicode();
  return c < 256 ? c : 0;
}

// A check box that the whole of its area ticks, not only the box and text,
// and whose caption wraps when it is too long for one line of the box.
class CheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

  void paintEvent(QPaintEvent* event) override {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect textArea = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    if (fontMetrics().horizontalAdvance(option.text) <= textArea.width()) return QCheckBox::paintEvent(event);
    QStylePainter painter(this);
    const QString text = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_CheckBox, option);
    painter.drawText(textArea, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, text);
  }
};

}  // namespace

// The program's QApplication when this layer made it; argc and argv live as
// long as it does.
struct QtWindowing::App {
  App() {
    // QApplication takes the locale from the environment; the component's
    // number and text handling keeps the one the program had.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    app = std::make_unique<QApplication>(argc, argv);
    std::setlocale(LC_ALL, locale.c_str());
  }
  int argc = 1;
  char name[sizeof "chkimport"] = "chkimport";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;
};

class FormDialog;

// One showing of a form.
struct QtWindowing::Window {
  Form* form = nullptr;  // null once the form is unloaded
  QPointer<FormDialog> dialog;
  std::map<std::string, QWidget*> widgets;  // by control name
  std::map<const QObject*, std::string> names;
  bool ended = false;
  std::exception_ptr error;
};

// A form's window. Escape does not close it and the frame's close button
// asks the form: the form's handlers decide when it goes.
class FormDialog : public QDialog {
 public:
  FormDialog(QtWindowing& layer, QtWindowing::Window& window, QWidget* parent, Qt::WindowFlags flags)
      : QDialog(parent, flags), layer_(layer), window_(window) {}

  void reject() override {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto it = window_.names.find(watched);
    if (it == window_.names.end()) return false;
    const std::string control = it->second;  // a copy: the handlers may end the window
    return layer_.keyPress(window_, control, static_cast<QKeyEvent&>(*event));
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    // Keys the focused control leaves come here. Without a control to take
    // the focus, the form itself has the key.
    QWidget* focused = focusWidget();
    const bool controlHasFocus = focused && window_.names.count(focused);
    if (!controlHasFocus) {
      layer_.keyPress(window_, "", *e);
      if (window_.ended) return;
    }
    switch (e->key()) {
      case Qt::Key_Escape:
        e->accept();
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter: {
        // Enter presses the focused button, else the form's default button
        // (a text box, a list entry, a check box have the focus).
        auto* button = qobject_cast<QPushButton*>(focused);
        if (!button)
          for (QPushButton* candidate : findChildren<QPushButton*>())
            if (candidate->isDefault()) button = candidate;
        if (button && button->isEnabled() && button->isVisible()) button->click();
        e->accept();
        return;
      }
      default:
        QDialog::keyPressEvent(e);
    }
  }

  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    layer_.frameClosed(window_);
  }

 private:
  QtWindowing& layer_;
  QtWindowing::Window& window_;
};

QtWindowing::QtWindowing(std::shared_ptr<App> app) : app_(std::move(app)) {}

QtWindowing::~QtWindowing() = default;

std::shared_ptr<QtWindowing> QtWindowing::Create(std::string& whyNot) {
  static std::weak_ptr<App> ours;
  std::shared_ptr<App> app = ours.lock();
  if (!app) {
    if (QCoreApplication::instance()) {
      if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        whyNot = "the program's Qt application object cannot show widgets";
        return nullptr;
      }
    } else {
      whyNot = NoDisplayReason();
      if (!whyNot.empty()) return nullptr;
      app = std::make_shared<App>();
      ours = app;
    }
  }
  whyNot.clear();
  return std::shared_ptr<QtWindowing>(new QtWindowing(std::move(app)));
}

QtWindowing::Window* QtWindowing::find(const Form& form) const {
  for (Window* w : shown_)
    if (w->form == &form && !w->ended) return w;
  return nullptr;
}

QDialog* QtWindowing::WindowOf(const Form& form) const {
  Window* w = find(form);
  return w ? w->dialog.data() : nullptr;
}

QWidget* QtWindowing::parentWindow() const {
  for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
    if (!(*it)->ended && (*it)->dialog) return (*it)->dialog;
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

void QtWindowing::build(Window& w, QWidget* parent) {
  Form& form = *w.form;
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (form.ControlBox) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  auto* dialog = new FormDialog(*this, w, parent, flags);
  w.dialog = dialog;
  dialog->setObjectName(qs(form.Name));
  dialog->setModal(true);
  // The twips geometry was laid out for an 8 point face of 11 pixels.
  QFont font = dialog->font();
  font.setPixelSize(11);
  dialog->setFont(font);

  // Widgets are made in tab order, which is then the focus chain; the later
  // a control stands in the form's list, the higher it lies.
  std::vector<const Control*> byTab;
  for (const Control& c : form.Controls)
    if (drawn(c.Kind)) byTab.push_back(&c);
  std::stable_sort(byTab.begin(), byTab.end(),
                   [](const Control* a, const Control* b) { return a->TabIndex < b->TabIndex; });
  for (const Control* c : byTab) {
    const std::string name = c->Name;
    QWidget* widget = nullptr;
    switch (c->Kind) {
      case ControlKind::Label: {
        auto* label = new QLabel(dialog);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
      }
      case ControlKind::TextBox: {
        auto* edit = new QLineEdit(dialog);
        QObject::connect(edit, &QLineEdit::textEdited, dialog, [this, &w, name](const QString& text) {
          userEvent(w, [&](Form& f) {
            f[name].Text = text.toStdString();
            f.Fire(name, FormEvent::Change);
          });
        });
        widget = edit;
        break;
      }
      case ControlKind::CheckBox: {
        auto* box = new CheckBox(dialog);
        QObject::connect(box, &QCheckBox::clicked, dialog, [this, &w, name](bool checked) {
          userEvent(w, [&](Form& f) {
            f[name].Value = checked ? 1 : 0;
            f.Fire(name, FormEvent::Click);
          });
        });
        widget = box;
        break;
      }
      case ControlKind::CommandButton: {
        auto* button = new QPushButton(dialog);
        button->setAutoDefault(false);
        button->setDefault(c->Default);
        QObject::connect(button, &QPushButton::clicked, dialog, [this, &w, name] {
          userEvent(w, [&](Form& f) { f.Fire(name, FormEvent::Click); });
        });
        widget = button;
        break;
      }
      case ControlKind::ListBox: {
        auto* list = new QListWidget(dialog);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        QObject::connect(list, &QListWidget::itemSelectionChanged, dialog, [this, &w, name, list] {
          const auto selected = list->selectedItems();
          const int row = selected.isEmpty() ? -1 : list->row(selected.first());
          userEvent(w, [&](Form& f) {
            f[name].ListIndex = row;
            f.Fire(name, FormEvent::Click);
          });
        });
        QObject::connect(list, &QListWidget::itemDoubleClicked, dialog,
                         [this, &w, name, list](QListWidgetItem* item) {
                           const int row = list->row(item);
                           userEvent(w, [&](Form& f) {
                             f[name].ListIndex = row;
                             f.Fire(name, FormEvent::DblClick);
                           });
                         });
        widget = list;
        break;
      }
      case ControlKind::CommonDialog:
      case ControlKind::ErrorStack:
        break;
    }
    widget->setObjectName(qs(name));
    widget->installEventFilter(dialog);
    w.widgets[name] = widget;
    w.names[widget] = name;
  }
  for (const Control& c : form.Controls)
    if (auto it = w.widgets.find(c.Name); it != w.widgets.end()) it->second->raise();
  for (std::size_t i = 1; i < byTab.size(); ++i)
    QWidget::setTabOrder(w.widgets[byTab[i - 1]->Name], w.widgets[byTab[i]->Name]);

  // A label's mnemonic moves the focus to the next control in tab order.
  for (std::size_t i = 0; i < byTab.size(); ++i) {
    if (byTab[i]->Kind != ControlKind::Label) continue;
    for (std::size_t j = i + 1; j < byTab.size(); ++j) {
      if (byTab[j]->Kind == ControlKind::Label) continue;
      static_cast<QLabel*>(w.widgets[byTab[i]->Name])->setBuddy(w.widgets[byTab[j]->Name]);
      break;
    }
  }
}

void QtWindowing::sync(Window& w) {
  if (!w.form || !w.dialog) return;
  Form& form = *w.form;
  FormDialog* dialog = w.dialog;
  dialog->setWindowTitle(qs(form.Caption));
  dialog->setFixedSize(pixels(form.ClientWidth), pixels(form.ClientHeight));
  for (const Control& c : form.Controls) {
    auto it = w.widgets.find(c.Name);
    if (it == w.widgets.end()) continue;
    QWidget* widget = it->second;
    const QSignalBlocker blocker(widget);
    widget->setGeometry(pixels(c.Left), pixels(c.Top), pixels(c.Width), pixels(c.Height));
    widget->setEnabled(c.Enabled);
    widget->setVisible(c.Visible);
    widget->setToolTip(qs(c.ToolTipText));
    switch (c.Kind) {
      case ControlKind::Label: {
        auto* label = static_cast<QLabel*>(widget);
        const QString caption = label->buddy() ? qs(c.Caption) : withoutMnemonic(c.Caption);
        if (label->text() != caption) label->setText(caption);
        break;
      }
      case ControlKind::TextBox: {
        auto* edit = static_cast<QLineEdit*>(widget);
        if (edit->text() != qs(c.Text)) edit->setText(qs(c.Text));
        break;
      }
      case ControlKind::CheckBox: {
        auto* box = static_cast<QCheckBox*>(widget);
        box->setText(qs(c.Caption));
        box->setCheckState(c.Value == 1 ? Qt::Checked : c.Value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
        break;
      }
      case ControlKind::CommandButton:
        static_cast<QPushButton*>(widget)->setText(qs(c.Caption));
        break;
      case ControlKind::ListBox: {
        auto* list = static_cast<QListWidget*>(widget);
        bool same = list->count() == c.ListCount();
        for (int i = 0; same && i < c.ListCount(); ++i) same = list->item(i)->text() == qs(c.List[i]);
        if (!same) {
          list->clear();
          for (const auto& entry : c.List) list->addItem(qs(entry));
        }
        const auto selected = list->selectedItems();
        const int row = selected.isEmpty() ? -1 : list->row(selected.first());
        if (row != c.ListIndex) {
          if (c.ListIndex >= 0 && c.ListIndex < list->count()) {
            list->setCurrentRow(c.ListIndex);
          } else {
            list->clearSelection();
            list->setCurrentRow(-1);
          }
        }
        break;
      }
      case ControlKind::CommonDialog:
      case ControlKind::ErrorStack:
        break;
    }
  }
}

void QtWindowing::syncAll() {
  for (Window* w : std::vector<Window*>(shown_))
    if (!w->ended) sync(*w);
}

void QtWindowing::end(Window& w) {
  w.ended = true;
  if (w.dialog) w.dialog->hide();
}

template <class F>
void QtWindowing::userEvent(Window& w, F&& action) {
  if (w.ended || !w.form) return;
  try {
    action(*w.form);
  } catch (...) {
    if (!w.error) w.error = std::current_exception();
    end(w);
  }
  syncAll();
}

bool QtWindowing::keyPress(Window& w, const std::string& control, const QKeyEvent& e) {
  // Tab belongs to moving between the controls.
  if (e.key() == Qt::Key_Tab || e.key() == Qt::Key_Backtab) return false;
  const int keyCode = KeyCodeOf(e.key(), e.modifiers() & Qt::KeypadModifier);
  const int charCode = charCodeOf(e);
  const bool preview = !control.empty() && w.form && w.form->KeyPreview;
  if (keyCode != 0) {
    if (preview) userEvent(w, [&](Form& f) { f.Fire("", FormEvent::KeyDown, keyCode); });
    userEvent(w, [&](Form& f) { f.Fire(control, FormEvent::KeyDown, keyCode); });
  }
  if (charCode != 0) {
    if (preview) userEvent(w, [&](Form& f) { f.Fire("", FormEvent::KeyPress, charCode); });
    userEvent(w, [&](Form& f) { f.Fire(control, FormEvent::KeyPress, charCode); });
  }
  // A form that went away takes the key with it.
  return w.ended;
}

void QtWindowing::frameClosed(Window& w) {
  userEvent(w, [](Form& f) { f.FrameClosed(); });
}

void QtWindowing::ShowModal(Form& form) {
  if (find(form)) Raise(400, "Form already displayed; can't show modally");
  syncAll();
  Window w;
  w.form = &form;
  build(w, parentWindow());
  shown_.push_back(&w);
  struct Withdraw {
    QtWindowing& layer;
    Window& w;
    ~Withdraw() {
      layer.shown_.erase(std::find(layer.shown_.begin(), layer.shown_.end(), &w));
      delete w.dialog.data();
    }
  } withdraw{*this, w};
  sync(w);
  for (QWidget* widget = w.dialog->nextInFocusChain(); widget != w.dialog;
       widget = widget->nextInFocusChain()) {
    if (w.names.count(widget) && widget->isEnabled() && widget->isVisibleTo(w.dialog) &&
        widget->focusPolicy() & Qt::TabFocus) {
      widget->setFocus();
      break;
    }
  }
  w.dialog->exec();
  if (w.error) std::rethrow_exception(w.error);
}

void QtWindowing::Hide(Form& form) {
  if (Window* w = find(form)) end(*w);
}

void QtWindowing::Unloaded(Form& form) {
  for (Window* w : shown_)
    if (w->form == &form) {
      end(*w);
      w->form = nullptr;
    }
}

void QtWindowing::Refresh(Form& form) {
  if (Window* w = find(form)) sync(*w);
}

QImage QtWindowing::Render(Form& form) {
  Window w;
  w.form = &form;
  build(w, nullptr);
  sync(w);
  w.dialog->ensurePolished();
  QImage image = w.dialog->grab().toImage();
  delete w.dialog.data();
  return image;
}

}  // namespace chkimport
