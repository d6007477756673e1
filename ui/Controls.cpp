#include "ui/Controls.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "convert/IntConversion.h"

QFont SansFont(int pixelSize, bool bold) {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

QFont MonoFont(int pixelSize, bool bold) {
  QFont f(QStringLiteral("Liberation Mono"));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

TPanel::TPanel(QWidget* parent) : QLabel(parent) {
  // A caption is text as it stands: a file's name or a receiver's reply
  // that looks like markup is shown, never interpreted.
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignCenter);
  setWordWrap(true);
  setAutoFillBackground(true);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  SetColor(ButtonFaceColor());
  SetFontColor(Qt::black);
}

QColor TPanel::Color() const { return palette().color(QPalette::Window); }

void TPanel::SetColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::Window, color);
  setPalette(p);
}

QColor TPanel::FontColor() const { return palette().color(QPalette::WindowText); }

void TPanel::SetFontColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

void TPanel::SetFlat(bool flat) { setFrameStyle(flat ? QFrame::NoFrame : (QFrame::Panel | QFrame::Raised)); }

void TImage::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter p(this);
  p.drawImage(QPoint(0, 0), picture_);
}

namespace {
constexpr int kArrowWidth = 15;
}

TSpinEdit::TSpinEdit(QWidget* parent)
    : QWidget(parent), edit_(new TEdit(this)), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(edit_);
  setAttribute(Qt::WA_InputMethodEnabled);
  edit_->setAcceptDrops(false);
  // A disabled field still shows its number (on silver too), in the grey
  // of disabled text.
  QPalette p = edit_->palette();
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(109, 109, 109));
  edit_->setPalette(p);
  edit_->installEventFilter(this);
  edit_->OnExit = [this] { HoldToRange(); };
  connect(edit_, &QLineEdit::textChanged, this, &TSpinEdit::TextChanged);
  for (QToolButton* b : {up_, down_}) {
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
    b->setIconSize(QSize(7, 5));
    connect(b, &QToolButton::clicked, this, [this, b] {
      // A click on an arrow puts the operator into this field.
      if (!edit_->hasFocus()) edit_->setFocus(Qt::MouseFocusReason);
      StepBy(b == up_ ? 1 : -1);
    });
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
}

void TSpinEdit::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
}

std::optional<int> TSpinEdit::Number() const {
  try {
    return StrToInt(edit_->text().toStdString());
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

void TSpinEdit::StepBy(int steps) {
  const long long from = Number().value_or(min_);
  SetText(QString::number(std::clamp<long long>(from + steps, min_, max_)));
}

void TSpinEdit::HoldToRange() {
  const std::optional<int> n = Number();
  if (n && (*n < min_ || *n > max_)) SetText(QString::number(std::clamp(*n, min_, max_)));
}

QColor TSpinEdit::Color() const { return edit_->palette().color(QPalette::Base); }

void TSpinEdit::SetColor(const QColor& color) {
  QPalette p = edit_->palette();
  p.setColor(QPalette::Base, color);
  edit_->setPalette(p);
}

bool TSpinEdit::Accepts(const QString& typed) const {
  const QString separator = locale().decimalPoint();
  for (const QChar c : typed) {
    if (!(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && !separator.contains(c)) return false;
  }
  return true;
}

void TSpinEdit::PasteFiltered(const QString& text) {
  QString kept;
  for (const QChar c : text)
    if (Accepts(QString(c))) kept += c;
  if (!kept.isEmpty()) edit_->insert(kept);
}

bool TSpinEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched != edit_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
        StepBy(key->key() == Qt::Key_Up ? 1 : -1);
        return true;
      }
      if (key == QKeySequence::Paste) {
        PasteFiltered(QApplication::clipboard()->text());
        return true;
      }
      // Printable input only: editing and navigation keys carry no text or
      // a control character.
      const QString typed = key->text();
      if (!typed.isEmpty() && typed.at(0).isPrint() && !(key->modifiers() & Qt::ControlModifier) &&
          !Accepts(typed))
        return true;
      return false;
    }
    case QEvent::InputMethod:
      return !Accepts(static_cast<QInputMethodEvent*>(event)->commitString());
    case QEvent::MouseButtonRelease:
      // The X11 selection's middle-button paste.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton) {
        PasteFiltered(QApplication::clipboard()->text(QClipboard::Selection));
        return true;
      }
      return false;
    case QEvent::ContextMenu: {
      QMenu* menu = edit_->createStandardContextMenu();
      if (auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        QObject::disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this] { PasteFiltered(QApplication::clipboard()->text()); });
      }
      menu->setAttribute(Qt::WA_DeleteOnClose);
      menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
      return true;
    }
    default:
      return false;
  }
}

void TSpinEdit::resizeEvent(QResizeEvent*) {
  const int arrows = std::min(kArrowWidth, width() / 2);
  edit_->setGeometry(0, 0, width() - arrows, height());
  up_->setGeometry(width() - arrows, 0, arrows, height() / 2);
  down_->setGeometry(width() - arrows, height() / 2, arrows, height() - height() / 2);
}
