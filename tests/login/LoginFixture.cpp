#include "LoginFixture.h"

#include <algorithm>

#include "app/Forms.h"
#include "app/ZOV.h"
#include "link/Channel.h"
#include "serial/ComPort.h"

void Watcher::WatchEnabling(QWidget* w, std::string name) {
  names_.emplace_back(w, std::move(name));
  w->installEventFilter(this);
}

void Watcher::WatchShown(QWidget* w) { w->installEventFilter(this); }

bool Watcher::eventFilter(QObject* o, QEvent* e) {
  auto* w = static_cast<QWidget*>(o);
  if (e->type() == QEvent::Show) shown.insert(w);
  if (e->type() == QEvent::EnabledChange && w->isEnabled())
    for (const auto& [widget, name] : names_)
      if (widget == w) enabled.push_back(name);
  return false;
}

void LoginTest::Start(int count, std::set<sim::Fault> faults) {
  for (int i = 0; i < count; ++i) {
    sim::Options o;
    o.faults = faults;
    receivers_.push_back(std::make_unique<sim::Receiver>(o));
    receivers_.back()->Start();
    ASSERT_EQ(receivers_.back()->PortName(), "COM" + std::to_string(i + 1));
  }
  CreateForms();
  formsCreated_ = true;
  ZOV->ComPort1->SetPort(Rx().PortName());
  QObject::connect(&Channel(), &TChannel::PortOpened, [this] { portEvents.push_back("open " + Channel().OpenedPort()); });
  // A new name is already in Port() when the old device closes.
  ZOV->ComPort1->OnBeforeClose = [this](QObject*) { portEvents.push_back("close"); };
  watcher.WatchEnabling(ZOV->Params, "Params");
  watcher.WatchEnabling(ZOV->Monitor, "Monitor");
  watcher.WatchEnabling(ZOV->Tim, "Tim");
}

void LoginTest::TearDown() {
  if (formsCreated_) DestroyForms();
  receivers_.clear();
}

int LoginTest::Spaces(int i) {
  const std::string t = Rx(i).ReceivedText();
  return static_cast<int>(std::count(t.begin(), t.end(), ' '));
}
