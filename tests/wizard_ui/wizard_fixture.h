// A wizard core on a recording window with two small sensor data tables
// (codes 8010 and 8011), made the live wizard and loaded.
#ifndef LX40_TESTS_WIZARD_UI_WIZARD_FIXTURE_H
#define LX40_TESTS_WIZARD_UI_WIZARD_FIXTURE_H

#include <gtest/gtest.h>

#include "tests/support/memory_resources.h"
#include "tests/support/recording_window.h"
#include "wizard/core/wizard_core.h"

class WizardFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    g_wizardState.store(STATE_WELCOME);
    wizard.InitCore();
    ASSERT_TRUE(wizard.LoadSensorTables());
    window.SetRepaintHandler([this] { wizard.PaintPage(); });
  }
  void TearDown() override { g_wizardState.store(STATE_WELCOME); }

  void ShowState(uint8_t state) {
    g_wizardState.store(state);
    wizard.ShowPage();
  }

  RecordingWindow window;
  MemoryResources tables = SmallSensorTables();
  CWizardCore wizard{window, tables};
};

#endif
