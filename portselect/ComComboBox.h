#pragma once
// The port selector: a drop-down list bound to one setting of a serial port
// object. It offers the possible values of that setting (the port names, or
// the text forms of a line setting), shows the object's current value, and
// writes the operator's choice into the object.
#include <QComboBox>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "portmap/PortNames.h"
#include "serial/ComPort.h"

// Which setting a selector offers.
enum TComProperty : uint8_t { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// The selector's state and its four operations; the combo box keeps nothing
// of its own beyond its entries and its selection.
class TComSelect {
 public:
  explicit TComSelect(QComboBox& items) : Items(items) {}

  // The last chosen or matched value of each kind, kept when the kind
  // changes. Before anything is chosen they hold the port object's defaults.
  std::string PendingPort = "COM1";
  TBaudRate PendingBaudRate = br9600;
  TDataBits PendingDataBits = dbEight;
  TStopBits PendingStopBits = sbOneStopBit;
  TParityBits PendingParity = prNone;
  TFlowControl PendingFlowControl = fcNone;
  QComboBox& Items;                      // the combo box's own entries; not owned
  TComProperty Kind = cpNone;
  TCustomComPort* BoundPort = nullptr;   // not owned
  bool AutoApply = false;

  // Empties the list and fills it for the kind: the port names (each with
  // its device file as tooltip), or the texts of a setting's values in
  // ordinal order; cpNone leaves it empty. For cpPort the ports are
  // enumerated before the list is touched, so a refused enumeration
  // (EComPort 15) leaves the list as it was.
  void FillItems(TComProperty kind);
  // Fills the list with these ports.
  void FillPortItems(const std::vector<serial::SerialPortEntry>& ports);
  // Stores text as the pending value of the current kind, then applies it
  // when AutoApply is on.
  void TakeSelection(const QString& text);
  // Writes the pending value of the current kind into the bound port object
  // (nothing without one, or with cpNone). May raise what the port raises,
  // e.g. EComPort 1 when a new port name makes an open port reopen and fail.
  void ApplyToPort();
  // The index of the entry equal (letter case ignored) to the bound port
  // object's current value, which also becomes the pending value; -1 when not
  // listed, with cpNone, or with no object bound. Writes nothing.
  int SyncWithPort();

  // The entry equal to text, letter case ignored; -1 when none.
  int IndexOf(const QString& text) const;

 private:
  void StorePending(const QString& text);
};

class TComComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TComComboBox(QWidget* parent = nullptr);
  ~TComComboBox() override;

  // The bound port object (not owned). Setting it selects the entry of its
  // current value (none when not listed); setting null only drops it. When
  // the object is destroyed the reference is dropped and the first entry
  // selected.
  TCustomComPort* ComPort() const { return select_.BoundPort; }
  void SetComPort(TCustomComPort* port);

  // Rebuilds the list for the kind and selects the bound object's value (no
  // entry when it is not listed), or the first entry when none is bound.
  // Raises EComPort 15 out of here when the port enumeration is refused.
  TComProperty ComProperty() const { return select_.Kind; }
  void SetComProperty(TComProperty kind);

  // Write the operator's choice into the bound object at once.
  bool AutoApply() const { return select_.AutoApply; }
  void SetAutoApply(bool value) { select_.AutoApply = value; }

  // The selected entry, empty when none. Writing selects the entry equal to
  // the text (letter case ignored), or changes nothing when there is none;
  // it never writes into the port object.
  QString Text() const;
  void SetText(const QString& text);

  TComSelect& Select() { return select_; }

  // The port list is read again each time the operator opens it, keeping the
  // selected entry; when that entry has gone, nothing is selected.
  void showPopup() override;

 private:
  // The operator changed the selection (mouse, keys, wheel): runs before any
  // other listener of activated() / textActivated().
  void OperatorSelected(int index);
  void BoundPortDestroyed();
  void RefreshPortList();

  TComSelect select_;
  QMetaObject::Connection destroyedConnection_;
};
