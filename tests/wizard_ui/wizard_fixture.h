// A wizard core on a recording window with two small sensor data tables
// (codes 8010 and 8011), loaded.
#ifndef LX40_TESTS_WIZARD_UI_WIZARD_FIXTURE_H
#define LX40_TESTS_WIZARD_UI_WIZARD_FIXTURE_H

#include <gtest/gtest.h>

#include "memory_resources.h"
#include "page_text.h"
#include "recording_window.h"
#include "test_wizard.h"
#include "wizard_core.h"

class WizardFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    wizard.InitCore();
    ASSERT_TRUE(wizard.LoadSensorTables());
    window.SetRepaintHandler([this] { wizard.PaintPage(); });
  }

  void ShowState(uint8_t state) {
    wizard.StoreState(static_cast<WizardState>(state));
    wizard.ShowPage();
  }
  // The wizard's writers on its window.
  CStatusText Status() { return CStatusText(wizard.Port(), wizard.Colours()); }
  CTitleText Title() { return CTitleText(wizard.Port(), wizard.Colours()); }

  RecordingWindow window;
  MemoryResources tables = SmallSensorTables();
  TestWizard wizard{window, tables};
};

#endif
