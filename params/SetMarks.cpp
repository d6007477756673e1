#include "params/SetMarks.h"

#include <QFontMetrics>

#include "receiver/SetCompare.h"
#include "ui/Controls.h"

namespace {

// The frame behind a field whose value from a set file differs from the
// receiver's: a dark orange, distinct from the signal colours, that shows
// as a thick dark border in grey too.
const QColor kMarkColor(215, 100, 0);
constexpr int kMarkWidth = 2;  // the rows and columns leave that much room

QString DifferingText(int n) {
  const char* form = n == 1 ? "hodnota" : n >= 2 && n <= 4 ? "hodnoty" : "hodnot";
  return QStringLiteral("%1 %2 se liší od přijímače").arg(n).arg(QString::fromUtf8(form));
}

void SetBold(QWidget* field, bool bold) {
  QFont font = field->font();
  font.setBold(bold);
  field->setFont(font);
}

}  // namespace

TSetMarks::TSetMarks(QWidget* dialog, std::function<QWidget*(const std::string&)> field,
                     std::function<QString(const std::string&)> tip, TPanel* line)
    : dialog_(dialog), field_(std::move(field)), tip_(std::move(tip)), line_(line) {}

void TSetMarks::Start(const QString& fileName, const params::TTexts& shown, const TParamImage& receiver) {
  file_ = fileName;
  receiver_ = receiver;
  Follow(shown);
}

void TSetMarks::Follow(const params::TTexts& shown) {
  if (!Active()) return;
  Remove();
  for (const params::TFieldDifference& d : params::DifferingFields(shown, receiver_)) {
    QWidget* field = field_(d.Field);
    auto* frame = new TPanel(dialog_);
    frame->setObjectName(QString::fromStdString("Mark" + d.Field));
    frame->SetFlat(true);
    frame->SetColor(kMarkColor);
    frame->setFocusPolicy(Qt::NoFocus);
    frame->setGeometry(field->geometry().adjusted(-kMarkWidth, -kMarkWidth, kMarkWidth, kMarkWidth));
    frame->stackUnder(field);
    frame->show();
    frames_.push_back(frame);
    SetBold(field, true);
    field->setToolTip(tip_(d.Field) + QStringLiteral("\nV přijímači: ") + QString::fromStdString(d.Held));
  }
  ShowLine(QStringLiteral("Ze souboru "), file_, QStringLiteral(": ") + DifferingText(static_cast<int>(frames_.size())));
}

void TSetMarks::ShowLine(const QString& before, const QString& name, const QString& after) {
  const QFontMetrics metrics(line_->font());
  const int room = line_->width() - metrics.horizontalAdvance(before + after) - 12;
  line_->SetCaption(before + metrics.elidedText(name, Qt::ElideMiddle, room) + after);
  line_->show();
}

void TSetMarks::Remove() {
  for (TPanel* frame : frames_) {
    const std::string name = frame->objectName().mid(4).toStdString();
    QWidget* field = field_(name);
    SetBold(field, false);
    field->setToolTip(tip_(name));
    delete frame;
  }
  frames_.clear();
}

void TSetMarks::Clear() {
  file_.clear();
  Remove();
  line_->hide();
}
