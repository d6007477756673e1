#include "params/Parametry.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <stdexcept>

#include "files/Files.h"
#include "link/Login.h"
#include "receiver/SetCompare.h"
#include "ui/ErrorDisplay.h"
#include "ui/MessageDialog.h"
#include "ui/Question.h"

using namespace params;

namespace {

const char* const kReading = "Probíhá čtení parametrů přijímače";
const char* const kReadFailed = "Chyba čtení parametrů přijímače";
const char* const kWriting = "Probíhá zápis parametrů přijímače";
const char* const kVerifying = "Probíhá ověření zápisu";
const char* const kWriteFailed = "Chyba zápisu parametrů přijímače";
const char* const kVerified = "Parametry zapsány a ověřeny";
const char* const kNotVerified = "Zápis parametrů se nepodařilo ověřit";
const char* const kDamagedReply = "Odpověď přijímače je poškozená – hodnoty nemusí odpovídat přijímači";
const char* const kWriteDamaged = "Hodnoty pocházejí z poškozené odpovědi přijímače. Přesto zapsat?";

// The notice line above the receiver's fields.
constexpr int kNoticeHeight = 24;
// The row of the set files' buttons and the line below it, under the
// button row.
constexpr int kSetRowTop = 444 + kNoticeHeight;
constexpr int kSetRowHeight = 62;

QString Text(const QWidget* field) {
  if (auto* spin = qobject_cast<const TSpinEdit*>(field)) return spin->Text();
  if (auto* edit = qobject_cast<const QLineEdit*>(field)) return edit->text();
  return QString();
}

void SetText(QWidget* field, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (auto* spin = qobject_cast<TSpinEdit*>(field)) spin->SetText(t);
  else if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->setText(t);
}

constexpr int kRowHeight = 21;

QLabel* FieldLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* l = new QLabel(text, parent);
  l->adjustSize();
  l->move(left, top + (kRowHeight - l->height()) / 2);
  return l;
}

template <typename T = QLineEdit>
T* Edit(QWidget* parent, int left, int top, int width) {
  auto* e = new T(parent);
  SetBounds(e, left, top, width, kRowHeight);
  return e;
}

TSpinEdit* Spin(QWidget* parent, int left, int top, int width, int min, int max) {
  auto* s = new TSpinEdit(parent);
  SetBounds(s, left, top, width, kRowHeight);
  s->SetRange(min, max);
  return s;
}

TPanel* ValuePanel(QWidget* parent, int left, int top) {
  auto* p = new TPanel(parent);
  SetBounds(p, left, top, 42, kRowHeight);
  p->SetColor(kSilver);
  return p;
}

}  // namespace

TParametry::TParametry(QWidget* parent) : TForm(523, kSetRowTop + kSetRowHeight, parent) {
  SetCaption(QStringLiteral("Parametry přijímače"));
  setFont(SansFont(13));

  FieldLabel(this, QStringLiteral("Operátor"), 7, 4);
  Op = ValuePanel(this, 104, 4);
  FieldLabel(this, QStringLiteral("Pořadí zápisu"), 270, 4);
  Zapis = ValuePanel(this, 360, 4);

  QLineEdit** adr[8] = {&Adr1, &Adr2, &Adr3, &Adr4, &Adr5, &Adr6, &Adr7, &Adr8};
  TSpinEdit** f[8][4] = {{&F11, &F12, &F13, &F14}, {&F21, &F22, &F23, &F24}, {&F31, &F32, &F33, &F34},
                         {&F41, &F42, &F43, &F44}, {&F51, &F52, &F53, &F54}, {&F61, &F62, &F63, &F64},
                         {&F71, &F72, &F73, &F74}, {&F81, &F82, &F83, &F84}};
  const int columns[4] = {221, 267, 313, 359};
  for (int n = 0; n < 8; ++n) {
    const int top = 32 + 26 * n;
    FieldLabel(this, QStringLiteral("Adresa (%1)").arg(n + 1), 7, top);
    *adr[n] = Edit(this, 104, top, 98);
    for (int c = 0; c < 4; ++c) *f[n][c] = Spin(this, columns[c], top, 42, 1, 5);
  }

  GroupBox1 = new QGroupBox(QStringLiteral("MSKP GRUPY"), this);
  SetBounds(GroupBox1, 413, 46, 103, 108);
  const char* abc[3] = {"A", "B", "C"};
  TEdit** p13[3] = {&P1, &P2, &P3};
  for (int i = 0; i < 3; ++i) {
    FieldLabel(this, QString::fromLatin1(abc[i]), 445, 65 + 27 * i);
    *p13[i] = Edit<TEdit>(this, 468, 65 + 27 * i, 38);
  }
  FieldLabel(this, QStringLiteral("Param. 1"), 413, 188);
  P4 = Edit<TEdit>(this, 477, 188, 38);
  FieldLabel(this, QStringLiteral("Param.2"), 413, 214);
  P5 = Edit<TEdit>(this, 477, 214, 38);

  FieldLabel(this, QStringLiteral("Tón tlačítka"), 7, 245);
  P0 = Spin(this, 104, 245, 50, 0, 5);
  FieldLabel(this, QStringLiteral("0 = houká po dobu stisknutí"), 168, 245);
  FieldLabel(this, QStringLiteral("Mrtvý čas"), 7, 272);
  Dead = Spin(this, 104, 272, 50, 0, 255);
  FieldLabel(this, QStringLiteral("Číslo sítě"), 7, 299);
  Net = Spin(this, 104, 299, 50, 1, 15);
  FieldLabel(this, QStringLiteral("Číslo vysílače"), 7, 326);
  Dau1 = Spin(this, 104, 326, 50, 1, 31);
  Dau2 = Spin(this, 168, 326, 50, 1, 31);

  // The three selection boxes stand one below the other.
  site = new QCheckBox(QStringLiteral("Všechny sítě a vysílače"), this);
  SetBounds(site, 260, 301, 240, 17);
  vsechny = new QCheckBox(QStringLiteral("Všechny vysílače"), this);
  SetBounds(vsechny, 260, 318, 240, 17);
  jeden = new QCheckBox(QStringLiteral("Pouze jeden vysílač"), this);
  SetBounds(jeden, 260, 335, 240, 17);

  FieldLabel(this, QStringLiteral("Ser.num Hi"), 7, 355);
  Ser1 = Edit<TEdit>(this, 104, 355, 46);
  FieldLabel(this, QStringLiteral("Ser.num Lo"), 180, 355);
  Ser2 = Edit<TEdit>(this, 260, 355, 46);

  Default = new QPushButton(QStringLiteral("Default"), this);
  SetBounds(Default, 22, 399, 149, 30);
  Button2 = new QPushButton(QStringLiteral("Storno"), this);
  SetBounds(Button2, 187, 399, 149, 30);
  QFont bold = SansFont(13, true);
  Button2->setFont(bold);
  // Red while it can be pressed; greyed like every other button when not
  // (during a write).
  QPalette red = Button2->palette();
  red.setColor(QPalette::Active, QPalette::ButtonText, kRed);
  red.setColor(QPalette::Inactive, QPalette::ButtonText, kRed);
  Button2->setPalette(red);
  Panel12 = new TPanel(this);
  SetBounds(Panel12, 344, 390, 163, 46);
  Panel12->SetColor(kRed);
  Button1 = new QPushButton(QStringLiteral("Zapsat do přijímače"), this);
  SetBounds(Button1, 352, 399, 149, 30);
  Button1->setFont(bold);
  for (QPushButton* b : {Default, Button2, Button1}) b->setAutoDefault(true);

  Read = new TPanel(this);
  SetBounds(Read, 2, 2, 519, 383);
  Read->setFont(SansFont(15, true));
  Read->hide();
  status = new QProgressBar(this);
  SetBounds(status, 38, 218, 448, 17);
  status->setRange(0, 127);
  status->setTextVisible(false);
  status->hide();

  QList<QWidget*> order;
  for (int n = 0; n < 8; ++n) {
    order << *adr[n];
    for (int c = 0; c < 4; ++c) order << *f[n][c];
  }
  order << P1 << P2 << P3 << P4 << P5 << P0 << Dead << Net << site << Dau1 << Dau2 << vsechny << jeden << Ser1
        << Ser2 << Default << Button2 << Button1;
  for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  for (QWidget* w : {static_cast<QWidget*>(Op), static_cast<QWidget*>(Zapis), static_cast<QWidget*>(Panel12),
                     static_cast<QWidget*>(Read), static_cast<QWidget*>(status)})
    w->setFocusPolicy(Qt::NoFocus);

  // The receiver's fields stand below the notice line.
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) w->move(w->x(), w->y() + kNoticeHeight);
  Notice = new TPanel(this);
  SetBounds(Notice, 2, 2, 519, kNoticeHeight - 4);
  Notice->SetFlat(true);
  Notice->setFont(SansFont(13, true));
  Notice->SetColor(kRed);
  Notice->SetFontColor(kWhite);
  Notice->SetCaption(QString::fromUtf8(kDamagedReply));
  Notice->setFocusPolicy(Qt::NoFocus);
  Notice->hide();

  Ulozit = new QPushButton(QStringLiteral("Uložit sadu…"), this);
  SetBounds(Ulozit, 22, kSetRowTop, 149, 30);
  Ulozit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  Ulozit->setToolTip(QStringLiteral("Uložit hodnoty do souboru (Ctrl+S)"));
  Nacist = new QPushButton(QStringLiteral("Načíst sadu…"), this);
  SetBounds(Nacist, 187, kSetRowTop, 149, 30);
  Nacist->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  Nacist->setToolTip(QStringLiteral("Načíst hodnoty ze souboru (Ctrl+O)"));
  for (QPushButton* b : {Ulozit, Nacist}) b->setAutoDefault(true);
  setTabOrder(Button1, Ulozit);
  setTabOrder(Ulozit, Nacist);
  FileNotice = new TPanel(this);
  SetBounds(FileNotice, 2, kSetRowTop + 38, 519, 20);
  FileNotice->SetFlat(true);
  FileNotice->setFont(SansFont(13, true));
  FileNotice->setFocusPolicy(Qt::NoFocus);
  FileNotice->setWordWrap(false);
  FileNotice->hide();
  marks_ = std::make_unique<TSetMarks>(
      this, [this](const std::string& name) { return Field(name); }, &TParametry::RangeTip, FileNotice);

  // The controls answer to their names (ParamSet.h walks the fields so).
  for (int n = 1; n <= 8; ++n) {
    Adr(n)->setObjectName(QStringLiteral("Adr%1").arg(n));
    for (int c = 1; c <= 4; ++c) F(n, c)->setObjectName(QStringLiteral("F%1%2").arg(n).arg(c));
  }
  QLineEdit* const p15[5] = {P1, P2, P3, P4, P5};
  for (int i = 0; i < 5; ++i) p15[i]->setObjectName(QStringLiteral("P%1").arg(i + 1));
  P0->setObjectName(QStringLiteral("P0"));
  Dead->setObjectName(QStringLiteral("Dead"));
  Net->setObjectName(QStringLiteral("Net"));
  Dau1->setObjectName(QStringLiteral("Dau1"));
  Dau2->setObjectName(QStringLiteral("Dau2"));
  Ser1->setObjectName(QStringLiteral("Ser1"));
  Ser2->setObjectName(QStringLiteral("Ser2"));
  site->setObjectName(QStringLiteral("site"));
  vsechny->setObjectName(QStringLiteral("vsechny"));
  jeden->setObjectName(QStringLiteral("jeden"));
  Default->setObjectName(QStringLiteral("Default"));
  Button2->setObjectName(QStringLiteral("Button2"));
  Button1->setObjectName(QStringLiteral("Button1"));
  Ulozit->setObjectName(QStringLiteral("Ulozit"));
  Nacist->setObjectName(QStringLiteral("Nacist"));

  // Each field's tip gives its range ("Nepovolený vstup" names none), and
  // after a set file was opened every edit moves the marks of the fields
  // that differ from the receiver.
  ForEachField([this](const std::string& name) {
    QWidget* field = Field(name);
    field->setToolTip(RangeTip(name));
    const auto follow = [this] {
      if (marks_->Active()) Guarded([this] { marks_->Follow(Texts()); });
    };
    if (auto* spin = qobject_cast<TSpinEdit*>(field)) connect(spin, &TSpinEdit::TextChanged, this, follow);
    else connect(static_cast<QLineEdit*>(field), &QLineEdit::textChanged, this, follow);
  });

  const auto bind = [this](QPushButton* b, void (TParametry::*handler)()) {
    connect(b, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  };
  bind(Button1, &TParametry::Button1Click);
  bind(Button2, &TParametry::Button2Click);
  bind(Default, &TParametry::DefaultClick);
  bind(Ulozit, &TParametry::UlozitClick);
  bind(Nacist, &TParametry::NacistClick);
  chooseFile_ = [this](const TFileQuestion& question) { return AskFileName(this, question); };
  // A box's handler runs on every real change of its state, whoever makes
  // it, and on nothing else.
  const auto onToggle = [this](QCheckBox* box, void (TParametry::*handler)()) {
    connect(box, &QCheckBox::toggled, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  };
  onToggle(site, &TParametry::SiteClick);
  onToggle(vsechny, &TParametry::vsechnyClick);
  onToggle(jeden, &TParametry::jedenClick);
  connect(Dau1, &TSpinEdit::TextChanged, this, [this] { Guarded([this] { Dau1Change(); }); });
  // The leave checks; leaving toward Storno checks nothing.
  const std::pair<TEdit*, void (TParametry::*)()> exits[] = {
      {P1, &TParametry::P1Exit}, {P2, &TParametry::P2Exit},     {P3, &TParametry::P3Exit},
      {P4, &TParametry::P4Exit}, {P5, &TParametry::P5Exit},     {Ser1, &TParametry::Ser1Exit},
      {Ser2, &TParametry::Ser2Exit}};
  for (const auto& [field, handler] : exits) {
    field->OnExit = [this, handler = handler] { (this->*handler)(); };
    field->SetCancelControl(Button2);
  }
}

QLineEdit* TParametry::Adr(int n) const {
  QLineEdit* const a[8] = {Adr1, Adr2, Adr3, Adr4, Adr5, Adr6, Adr7, Adr8};
  return n >= 1 && n <= 8 ? a[n - 1] : nullptr;
}

TSpinEdit* TParametry::F(int n, int c) const {
  TSpinEdit* const f[8][4] = {{F11, F12, F13, F14}, {F21, F22, F23, F24}, {F31, F32, F33, F34},
                              {F41, F42, F43, F44}, {F51, F52, F53, F54}, {F61, F62, F63, F64},
                              {F71, F72, F73, F74}, {F81, F82, F83, F84}};
  return n >= 1 && n <= 8 && c >= 1 && c <= 4 ? f[n - 1][c - 1] : nullptr;
}

QString TParametry::RangeTip(const std::string& field) {
  // The spin edits' own lower bounds: 0 for the network and the
  // transmitters is the boxes' to set.
  TRange r = FieldRange(field);
  if (field == "Net" || field.starts_with("Dau")) r.Min = 1;
  return QStringLiteral("%1 až %2").arg(r.Min).arg(r.Max);
}

QWidget* TParametry::Field(const std::string& name) const {
  return findChild<QWidget*>(QString::fromStdString(name), Qt::FindDirectChildrenOnly);
}

void TParametry::ShowStatus(const QString& text, const QColor& color, const QColor& fontColor) {
  Read->SetColor(color);
  Read->SetFontColor(fontColor);
  Read->SetCaption(text);
  Read->show();
}

void TParametry::SetWriteEnabled(bool enabled) {
  for (QPushButton* b : {Button1, Ulozit, Nacist}) b->setEnabled(enabled);
}

void TParametry::SetWriteRunning(bool running) {
  // No button while the frame and its read-back run: a Storno pressed then
  // would close the dialog as the write ends, its outcome unseen, and half
  // a frame is worse than a whole one, so there is no cancel.
  for (QPushButton* b : {Default, Button2, Button1, Ulozit, Nacist}) b->setEnabled(!running);
  if (running) return;
  // Ended short: what the operator typed can still be kept in a file, and
  // Storno is the way out; the next opening reads the receiver again.
  Button1->setEnabled(false);
  Nacist->setEnabled(false);
  Default->setEnabled(false);
}

// ---------------------------------------------------------------- read-out

void TParametry::FormActivate() {
  status->hide();
  Notice->hide();
  marks_->Clear();
  ShowStatus(QString::fromUtf8(kReading), ButtonFaceColor(), Qt::black);
  SetWriteEnabled(false);
  // A write of the last opening left them off.
  Button2->setEnabled(true);
  Default->setEnabled(true);
  std::optional<TReadOut> readOut;
  try {
    readOut = ReadSet();
  } catch (...) {
    ShowStatus(QString::fromUtf8(kReadFailed), kRed, kWhite);
    throw;
  }
  if (!readOut) {
    // The fields keep what they showed and stay covered.
    ShowStatus(QString::fromUtf8(kReadFailed), kRed, kWhite);
    return;
  }
  receiverImage_ = readOut->Image;
  // Filled by position all the same; the operator is told, and asked
  // before such values are written back.
  readOutWellFormed_ = readOut->WellFormed;
  Notice->setVisible(!readOutWellFormed_);
  ShowImage(ParamImage);
  Read->hide();
  SetWriteEnabled(true);
  SetActiveControl(Adr1);
}

void TParametry::ShowImage(TParamImage& image) {
  // The boxes first: their handlers set the selection fields, which then
  // take the set's numbers.
  ShowSelection(ReadOutSelection(image));
  ShowTexts(ImageTexts(image));
}

TTexts TParametry::Texts() const {
  TTexts t;
  ForEachField([this](const std::string& name, std::string& text) { text = Text(Field(name)).toStdString(); }, t);
  t.Op = Op->Caption().toStdString();
  t.Zapis = Zapis->Caption().toStdString();
  return t;
}

void TParametry::ShowTexts(const TTexts& texts) {
  ForEachField([this](const std::string& name, const std::string& text) { SetText(Field(name), text); }, texts);
  Op->SetCaption(QString::fromStdString(texts.Op));
  Zapis->SetCaption(QString::fromStdString(texts.Zapis));
}

// ---------------------------------------------------------------- write

std::optional<TValues> TParametry::CheckedValues() {
  MessageDialog().RestoreRestingState();
  // What leaving the fields would have done, whether or not the operator
  // left them (a click's press and release may come before the queued leave
  // check, and leaving toward Storno checks nothing).
  if (!LeaveEditedFields()) return std::nullopt;
  TValues values;
  try {
    values = ConvertForWrite(Texts());
  } catch (const EFieldConvertError& e) {
    // Nothing has gone out; the write can be tried again.
    SetActiveControl(Field(e.Field()));
    throw;
  }
  if (const std::optional<TRefusal> refusal = CheckForWrite(values)) {
    Refuse(*refusal);
    return std::nullopt;
  }
  return values;
}

void TParametry::Refuse(const TRefusal& refusal) {
  MessageDialog().ShowText(QString::fromUtf8(refusal.Message));
  SetActiveControl(Field(refusal.Field));
}

bool TParametry::LeaveEditedFields() {
  bool passed = true;
  ForEachField([&](const std::string& name) {
    if (!passed) return;
    QWidget* field = Field(name);
    if (auto* spin = qobject_cast<TSpinEdit*>(field)) {
      if (spin->Edited()) spin->HoldToRange();
    } else if (auto* edit = dynamic_cast<TEdit*>(field); edit && edit->OnExit && edit->isModified()) {
      edit->DropPendingLeave();
      passed = LeaveCheck(edit);
    }
  });
  return passed;
}

void TParametry::Button1Click() {
  if (!readOutWellFormed_ && !AskYesNo(this, QString::fromUtf8(kWriteDamaged), TDefaultAnswer::No)) return;
  const std::optional<TValues> values = CheckedValues();
  if (!values) return;
  // What the write replaces is kept first; without it nothing goes out.
  SaveBackup(receiverImage_, !readOutWellFormed_);

  SetWriteRunning(true);
  ShowStatus(QString::fromUtf8(kWriting), kBlue, kWhite);
  status->setValue(0);
  status->show();
  TSetWrite write;
  write.Image = ImageForWrite(*values, OperatorCode);
  write.Receiver = receiverImage_;
  write.OnByte = [this](int byte) { status->setValue(byte); };
  write.OnVerifying = [this] {
    status->hide();
    ShowStatus(QString::fromUtf8(kVerifying), kBlue, kWhite);
  };
  const TSetWriteResult result = WriteSet(write);
  if (result.Outcome != writelog::TOutcome::Verified) {
    ShowWriteEnd(result);
    if (result.Error) std::rethrow_exception(result.Error);
    return;
  }
  MessageDialog().ShowWith(QStringLiteral("OK"), kGreen, QString::fromUtf8(kVerified));
  Close();
}

void TParametry::ShowWriteEnd(const TSetWriteResult& result) {
  // Nothing more is sent; Storno is the way out, and the next opening
  // reads the receiver's set again.
  status->hide();
  if (result.Outcome == writelog::TOutcome::Stopped)
    ShowStatus(QString::fromUtf8(kWriteFailed), kRed, kWhite);
  else
    ShowStatus(QString::fromUtf8(kNotVerified) + QStringLiteral("\n\n") +
                   QString::fromStdString(DescribeVerification(result.Verification)),
               kRed, kWhite);
  SetWriteRunning(false);
}

void TParametry::Button2Click() { Close(); }

// ---------------------------------------------------------------- defaults

void TParametry::DefaultClick() {
  if (!AskYesNo(this, QStringLiteral("Opravdu zavést předvolené hodnoty ?"))) return;
  // The marks of a set file compare its values; the presets replace them.
  marks_->Clear();
  // All networks and transmitters: the boxes' handlers run as on a click.
  site->setChecked(true);
  ShowTexts(DefaultTexts(OperatorCode));
  ShowAllNetworks();
}

// ---------------------------------------------------------------- leave checks

void TParametry::P1Exit() { LeaveCheck(P1); }
void TParametry::P2Exit() { LeaveCheck(P2); }
void TParametry::P3Exit() { LeaveCheck(P3); }
void TParametry::P4Exit() { LeaveCheck(P4); }
void TParametry::P5Exit() { LeaveCheck(P5); }
void TParametry::Ser1Exit() { LeaveCheck(Ser1); }
void TParametry::Ser2Exit() { LeaveCheck(Ser2); }

bool TParametry::LeaveCheck(TEdit* field) {
  int max = 0;
  for (const TLeaveCheck& check : kLeaveChecks)
    if (field->objectName() == QLatin1String(check.Field)) max = check.Max;
  bool passes = false;
  try {
    passes = LeaveCheckPasses(field->text().toStdString(), max);
  } catch (const EConvertError&) {
    field->SetFocusBack();
    throw;
  }
  if (passes) return true;
  MessageDialog().ShowText(QString::fromUtf8(kBadInput));
  field->SetFocusBack();
  return false;
}

// ---------------------------------------------------------------- set files

namespace {

const char* const kSaveDamaged = "Hodnoty pocházejí z poškozené odpovědi přijímače. Přesto uložit?";

QString Filter() { return QStringLiteral("Sady parametrů (*.q5r)"); }

}  // namespace

QString TParametry::SetFolder() const {
  if (!setFolder_.isEmpty()) return setFolder_;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void TParametry::UlozitClick() {
  if (!readOutWellFormed_ && !AskYesNo(this, QString::fromUtf8(kSaveDamaged), TDefaultAnswer::No)) return;
  const std::optional<TValues> values = CheckedValues();
  if (!values) return;
  // What a set file cannot take would make a file that cannot be opened.
  if (const std::optional<TRefusal> refusal = CheckForSetFile(*values)) {
    Refuse(*refusal);
    return;
  }
  const QString offered =
      QDir(SetFolder()).filePath(QString::fromStdString(SetFileName(SerialNumber(receiverImage_))));
  const QString fileName =
      chooseFile_({true, QStringLiteral("Uložit sadu parametrů"), Filter(), QStringLiteral("q5r"), offered});
  if (fileName.isEmpty()) return;
  setFolder_ = QFileInfo(fileName).absolutePath();
  const std::string text =
      SetFileOf(*values, receiverImage_, !readOutWellFormed_,
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString());
  std::string why;
  if (!files::SaveWholeFile(fileName, text, &why))
    throw std::runtime_error("Sadu parametrů nelze uložit do souboru " +
                             QDir::toNativeSeparators(fileName).toStdString() + ": " + why);
  // Where it went; the next edit of a marked set brings the count back.
  marks_->ShowLine(QStringLiteral("Uloženo do "), QFileInfo(fileName).fileName(), QString());
}

void TParametry::NacistClick() {
  const QString fileName =
      chooseFile_({false, QStringLiteral("Načíst sadu parametrů"), Filter(), QStringLiteral("q5r"), SetFolder()});
  if (fileName.isEmpty()) return;
  setFolder_ = QFileInfo(fileName).absolutePath();
  TValues values;
  try {
    values = LoadSetFile(fileName);
  } catch (const ESetFile& e) {
    // Nothing of the file has reached the fields.
    MessageDialog().ShowText(QString::fromStdString(SetFileRefusal(fileName, e)));
    return;
  }
  TParamImage image = ImageWithSet(values, receiverImage_);
  marks_->Clear();
  ShowImage(image);
  marks_->Start(QFileInfo(fileName).fileName(), Texts(), receiverImage_);
}
