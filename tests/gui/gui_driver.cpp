// The GUI test driver: without arguments (or with GoogleTest's) it runs the
// wizard scenarios; "demo <shot folder>" drives one run for the demo and
// asks for a screenshot of each page on the way (demo_tour.h).
#include <gtest/gtest.h>

#include <cstring>

#include "demo_tour.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "demo") == 0) return gui::RunDemoTour(argc - 2, argv + 2);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
