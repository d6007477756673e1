#pragma once
// The app tests' fixture: every test of a fixture of this kind runs with
// the program's windows.
#include <gtest/gtest.h>

#include "DialogTest.h"
#include "app/Forms.h"

class WithForms : public ::testing::Test {
 protected:
  void SetUp() override { CreateForms(); }
  void TearDown() override { DestroyForms(); }
};
