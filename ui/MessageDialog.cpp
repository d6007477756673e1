#include "ui/MessageDialog.h"

#include <stdexcept>

namespace {
TMessageDialog* installed = nullptr;
}

TMessageDialog& MessageDialog() {
  if (!installed) throw std::logic_error("the message dialog does not exist");
  return *installed;
}

void InstallMessageDialog(TMessageDialog* dialog) { installed = dialog; }
