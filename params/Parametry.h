#pragma once
// The parameters dialog: the receiver's parameter set in its fields. Every
// opening reads the set from the receiver ("e") while a status panel covers
// the fields; "Zapsat do přijímače" checks the fields and writes the set
// back ("z" and the frame, a progress bar running over it), then closes.
// "Uložit sadu…" and "Načíst sadu…" keep a set in a file and bring it back,
// the fields that differ from the receiver marked (SetMarks.h). The set's
// rules, its read-out and its write with the read-back, the backup and the
// record are the receiver layer's (receiver/ParamSet.h, SetWrite.h,
// SetCompare.h); this class reads the controls, calls them and shows what
// came of it.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "params/SetMarks.h"
#include "receiver/ParamSet.h"
#include "receiver/SetWrite.h"
#include "ui/Controls.h"
#include "ui/Files.h"
#include "ui/Form.h"
#include "ui/MaskEdit.h"

class TParametry : public TForm {
 public:
  explicit TParametry(QWidget* parent = nullptr);

  // The read-out: "Probíhá čtení parametrů přijímače" over the fields, the
  // set read into ParamImage and shown, the focus on Adr1. Without an
  // answer (or on a port error) the panel turns red with "Chyba čtení
  // parametrů přijímače" and the write stays disabled.
  void FormActivate() override;
  // The selection boxes. Each runs on every real change of its box's
  // state, the operator's click or the program's.
  void SiteClick();
  void vsechnyClick();
  void jedenClick();
  // While "Pouze jeden vysílač" is checked, Dau2 follows Dau1.
  void Dau1Change();
  // The write. After a damaged read-out it asks first. Before anything goes
  // out: the fields the operator edited are checked as leaving them would
  // (in tab order, the first refusal with its message and the focus), every
  // field converted, the addresses and the dead time checked. Then the
  // prompt, "z" and the frame, and the set read back: when the receiver
  // holds it, "Parametry zapsány a ověřeny" and the dialog closes;
  // otherwise the red "Zápis parametrů se nepodařilo ověřit" with the fields
  // that differ (or "Odpověď přijímače je poškozená" for a read-back that is
  // not well formed, or "Přijímač neodpověděl") and Storno the way out. A failed
  // start or a port error leaves the red "Chyba zápisu parametrů
  // přijímače".
  void Button1Click();
  // "Storno": closes (disabled while a write runs).
  void Button2Click();
  // The preset values, after a yes to "Opravdu zavést předvolené hodnoty ?".
  // Nothing is sent.
  void DefaultClick();
  // "Uložit sadu…" (Ctrl+S): the write's checks (a refusal as at a write,
  // and nothing saved), every field within the range a set file takes
  // ("Nepovolený vstup" otherwise), then the set as the write would send it
  // into a file of the operator's choice, offered as
  // "prijimac-<serial number>.q5r" in the folder last used; the line below
  // the buttons then says "Uloženo do <file>".
  void UlozitClick();
  // "Načíst sadu…" (Ctrl+O): a set file of the operator's choice, read and
  // checked whole first: anything wrong with it is shown with the file's
  // name and the line, and the dialog stays as it was. Otherwise the fields
  // show the file's values (the boxes set as a read-out sets them) with the
  // connected receiver's serial number, operator code and write order; every
  // field that differs from the receiver's read-out is marked, and the line
  // below the buttons says how many do. Nothing is sent.
  void NacistClick();
  // Asks for the set files' names: Qt's own file dialog unless replaced.
  void SetFileChooser(std::function<QString(const TFileQuestion&)> chooser) { chooseFile_ = std::move(chooser); }
  // The range checks as the operator leaves a field (not toward Storno):
  // "Nepovolený vstup", the focus back in the field, the text kept.
  void P1Exit();
  void P2Exit();
  void P3Exit();
  void P4Exit();
  void P5Exit();
  void Ser1Exit();
  void Ser2Exit();

  // The editable field by its control's name ("Adr1", "F11", "Dead"...).
  QWidget* Field(const std::string& name) const;

  // Address n (1..8) and mask-group value c (1..4) of address n.
  QLineEdit* Adr(int n) const;
  TSpinEdit* F(int n, int c) const;

  TPanel* Op;
  TPanel* Zapis;
  QLineEdit *Adr1, *Adr2, *Adr3, *Adr4, *Adr5, *Adr6, *Adr7, *Adr8;
  TSpinEdit *F11, *F12, *F13, *F14, *F21, *F22, *F23, *F24, *F31, *F32, *F33, *F34, *F41, *F42, *F43, *F44,
      *F51, *F52, *F53, *F54, *F61, *F62, *F63, *F64, *F71, *F72, *F73, *F74, *F81, *F82, *F83, *F84;
  QGroupBox* GroupBox1;
  TEdit *P1, *P2, *P3, *P4, *P5;
  TSpinEdit* P0;
  TSpinEdit* Dead;
  TSpinEdit* Net;
  TSpinEdit *Dau1, *Dau2;
  QCheckBox* site;
  QCheckBox* vsechny;
  QCheckBox* jeden;
  TEdit *Ser1, *Ser2;
  QPushButton* Default;
  QPushButton* Button2;
  TPanel* Panel12;
  QPushButton* Button1;
  // Below the button row, enabled exactly when Button1 is.
  QPushButton* Ulozit;  // "Uložit sadu…"
  QPushButton* Nacist;  // "Načíst sadu…"
  // The line below them: "Ze souboru <name>: N hodnot se liší od
  // přijímače" after a set file was opened.
  TPanel* FileNotice;
  TPanel* Read;
  QProgressBar* status;
  // The line above the fields: "Odpověď přijímače je poškozená – hodnoty
  // nemusí odpovídat přijímači" after a read-out whose reply was not the
  // receiver's set as it should look.
  TPanel* Notice;

 private:
  void ShowStatus(const QString& text, const QColor& color, const QColor& fontColor);
  void SetWriteEnabled(bool enabled);
  // Every button off while a write and its read-back run; after one that
  // ended short, Storno and "Uložit sadu…" only.
  void SetWriteRunning(bool running);
  // Shows the image as a read-out does: the boxes by its transmitters and
  // network (either transmitter 0 makes both 0 in image), then the texts.
  void ShowImage(TParamImage& image);
  void ShowSelection(const params::TSelection& selection);
  // What the presets show: all networks and transmitters, the fields silver
  // and 0, the transmitter boxes hidden.
  void ShowAllNetworks();
  params::TTexts Texts() const;
  void ShowTexts(const params::TTexts& texts);
  // The leave check of a P or Ser field; false after "Nepovolený vstup".
  bool LeaveCheck(TEdit* field);
  // What leaving does, for every field the operator edited since the program
  // last set it, in tab order; false at the first refusal.
  bool LeaveEditedFields();
  // The write's checks (see Button1Click); the values, or nothing after a
  // refusal has been shown.
  std::optional<params::TValues> CheckedValues();
  // A write that ended short of a verified one: the red failure text ("Chyba
  // zápisu parametrů přijímače" when it stopped, "Zápis parametrů se
  // nepodařilo ověřit" and what the read-back found when it did not hold).
  void ShowWriteEnd(const params::TSetWriteResult& result);
  void Refuse(const params::TRefusal& refusal);
  // A field's range for its tip, "0 až 2097151".
  static QString RangeTip(const std::string& field);
  QString SetFolder() const;

  bool readOutWellFormed_ = true;  // the last read-out's reply looked like the receiver's set
  TParamImage receiverImage_{};    // the last read-out's set as the receiver sent it
  std::unique_ptr<TSetMarks> marks_;  // of the set file opened, following the edits
  QString setFolder_;  // of the last set file saved or opened
  std::function<QString(const TFileQuestion&)> chooseFile_;
};
