// The wizard core with its state open to the test, for tests that start on
// a given page instead of stepping there with the buttons.
#ifndef LX40_TESTS_SUPPORT_TEST_WIZARD_H
#define LX40_TESTS_SUPPORT_TEST_WIZARD_H

#include "wizard_core.h"

class TestWizard : public CWizardCore {
 public:
  using CWizardCore::CWizardCore;
  using CWizardCore::StoreState;
};

#endif
