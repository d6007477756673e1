#include "portselect/ComComboBox.h"

#include <QSignalBlocker>
#include <QVariant>

#include <exception>

#include "serial/PortList.h"

namespace {

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

// ---------------------------------------------------------------------------
// TComSelect

void TComSelect::FillItems(TComProperty kind) {
  if (kind == cpPort) {
    FillPortItems(ListSerialPortEntries());
    return;
  }
  Items.clear();
  switch (kind) {
    case cpNone:
    case cpPort:
      break;
    case cpBaudRate:
      for (int v = brCustom; v <= br256000; ++v) Items.addItem(ToQ(BaudRateToText(static_cast<TBaudRate>(v))));
      break;
    case cpDataBits:
      for (int v = dbFive; v <= dbEight; ++v) Items.addItem(ToQ(DataBitsToText(static_cast<TDataBits>(v))));
      break;
    case cpStopBits:
      for (int v = sbOneStopBit; v <= sbTwoStopBits; ++v)
        Items.addItem(ToQ(StopBitsToText(static_cast<TStopBits>(v))));
      break;
    case cpParity:
      for (int v = prNone; v <= prSpace; ++v) Items.addItem(ToQ(ParityToText(static_cast<TParityBits>(v))));
      break;
    case cpFlowControl:
      for (int v = fcHardware; v <= fcCustom; ++v)
        Items.addItem(ToQ(FlowControlToText(static_cast<TFlowControl>(v))));
      break;
  }
}

void TComSelect::FillPortItems(const std::vector<serial::SerialPortEntry>& ports) {
  Items.clear();
  for (const auto& p : ports) {
    Items.addItem(ToQ(p.name));
    Items.setItemData(Items.count() - 1, ToQ(p.device.string()), Qt::ToolTipRole);
  }
}

void TComSelect::StorePending(const QString& text) {
  const std::string s = text.toStdString();
  switch (Kind) {
    case cpNone: break;
    case cpPort: PendingPort = s; break;
    case cpBaudRate: PendingBaudRate = TextToBaudRate(s); break;
    case cpDataBits: PendingDataBits = TextToDataBits(s); break;
    case cpStopBits: PendingStopBits = TextToStopBits(s); break;
    case cpParity: PendingParity = TextToParity(s); break;
    case cpFlowControl: PendingFlowControl = TextToFlowControl(s); break;
  }
}

void TComSelect::TakeSelection(const QString& text) {
  StorePending(text);
  if (AutoApply) ApplyToPort();
}

void TComSelect::ApplyToPort() {
  if (!BoundPort) return;
  switch (Kind) {
    case cpNone: break;
    case cpPort: BoundPort->SetPort(PendingPort); break;
    case cpBaudRate: BoundPort->SetBaudRate(PendingBaudRate); break;
    case cpDataBits: BoundPort->SetDataBits(PendingDataBits); break;
    case cpStopBits: BoundPort->SetStopBits(PendingStopBits); break;
    case cpParity: BoundPort->Parity().SetBits(PendingParity); break;
    case cpFlowControl: BoundPort->FlowControl().SetFlowControl(PendingFlowControl); break;
  }
}

int TComSelect::SyncWithPort() {
  if (!BoundPort) return -1;
  std::string value;
  switch (Kind) {
    case cpNone: return -1;
    case cpPort: value = BoundPort->Port(); break;
    case cpBaudRate: value = BaudRateToText(BoundPort->BaudRate()); break;
    case cpDataBits: value = DataBitsToText(BoundPort->DataBits()); break;
    case cpStopBits: value = StopBitsToText(BoundPort->StopBits()); break;
    case cpParity: value = ParityToText(BoundPort->Parity().Bits()); break;
    case cpFlowControl: value = FlowControlToText(BoundPort->FlowControl().FlowControl()); break;
  }
  const int index = IndexOf(ToQ(value));
  if (index >= 0) StorePending(Items.itemText(index));
  return index;
}

int TComSelect::IndexOf(const QString& text) const {
  for (int i = 0; i < Items.count(); ++i)
    if (Items.itemText(i).compare(text, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

// ---------------------------------------------------------------------------
// TComComboBox

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent), select_(*this) {
  setEditable(false);
  // Connected first, so the choice is in the port object before any other
  // listener of activated() hears of it.
  connect(this, &QComboBox::activated, this, &TComComboBox::OperatorSelected);
}

TComComboBox::~TComComboBox() = default;

void TComComboBox::SetComPort(TCustomComPort* port) {
  if (port == select_.BoundPort) return;
  if (destroyedConnection_) disconnect(destroyedConnection_);
  destroyedConnection_ = {};
  select_.BoundPort = port;
  if (!port) return;
  destroyedConnection_ = connect(port, &QObject::destroyed, this, [this] { BoundPortDestroyed(); });
  setCurrentIndex(select_.SyncWithPort());
}

void TComComboBox::SetComProperty(TComProperty kind) {
  select_.Kind = kind;
  select_.FillItems(kind);
  if (count() > 0) setCurrentIndex(select_.BoundPort ? select_.SyncWithPort() : 0);
}

QString TComComboBox::Text() const { return currentIndex() >= 0 ? itemText(currentIndex()) : QString(); }

void TComComboBox::SetText(const QString& text) {
  const int index = select_.IndexOf(text);
  if (index >= 0) setCurrentIndex(index);
}

void TComComboBox::showPopup() {
  if (select_.Kind == cpPort) {
    try {
      RefreshPortList();
    } catch (...) {
      // Qt must not see it; the list stays as it was.
      ShowApplicationError(std::current_exception());
    }
  }
  QComboBox::showPopup();
}

void TComComboBox::OperatorSelected(int /*index*/) {
  try {
    select_.TakeSelection(Text());
  } catch (...) {
    // E.g. the open port failing to reopen under the new name.
    ShowApplicationError(std::current_exception());
  }
}

void TComComboBox::BoundPortDestroyed() {
  // The object is past its own destructor: only forget it.
  select_.BoundPort = nullptr;
  destroyedConnection_ = {};
  if (count() > 0) setCurrentIndex(0);
}

void TComComboBox::RefreshPortList() {
  const auto ports = ListSerialPortEntries();
  bool same = count() == static_cast<int>(ports.size());
  for (int i = 0; same && i < count(); ++i)
    same = itemText(i) == ToQ(ports[i].name) &&
           itemData(i, Qt::ToolTipRole).toString() == ToQ(ports[i].device.string());
  if (same) return;

  const int oldIndex = currentIndex();
  const QString oldText = Text();
  {
    // Listeners hear only the outcome, not the list being rebuilt.
    const QSignalBlocker blocker(this);
    select_.FillPortItems(ports);
    // The operator's entry stays selected wherever it moved; when it has
    // gone nothing is selected, rather than quietly showing another port.
    // With nothing selected before, the bound object's port is shown if it
    // has appeared.
    setCurrentIndex(oldIndex >= 0 ? select_.IndexOf(oldText) : select_.SyncWithPort());
  }
  if (currentIndex() != oldIndex) emit currentIndexChanged(currentIndex());
  if (Text() != oldText) emit currentTextChanged(Text());
}
