// The demo's tour of the wizard: one whole run on the simulator's default
// meters and a short cancelled run, with a screenshot of each page. The
// driver cannot photograph the X display itself; for each page it writes
// <shot folder>\<name>.want with the wizard's screen rectangle
// ("left top width height") and waits until the demo script has taken the
// picture and removed the file.
#ifndef LX40_TESTS_GUI_DEMO_TOUR_H
#define LX40_TESTS_GUI_DEMO_TOUR_H

namespace gui {

// Arguments: <shot folder> [--japanese]. Returns the process exit code.
int RunDemoTour(int argc, char** argv);

}  // namespace gui

#endif
