// The wizard window's fixed pixel geometry, fonts and colours. Everything is
// derived from the outer window size, so it all moves with that size; the
// dialog template's own positions and font are not used.
#ifndef LX40_WIZARD_CORE_LAYOUT_H
#define LX40_WIZARD_CORE_LAYOUT_H

#include <cstdint>

#include "geometry.h"
#include "window_port.h"

inline constexpr int32_t kWindowWidth = 500;
inline constexpr int32_t kWindowHeight = 410;
inline constexpr int32_t kButtonCount = 3;
inline constexpr int32_t kProgressControlId = 700;

struct Separator {
  Point from;
  Point to;  // exclusive: the line ends one pixel before it
};

struct WizardLayout {
  Rect window;
  Rect client;
  Separator topSeparator;
  Separator bottomSeparator;
  Rect buttons[kButtonCount];  // 601, 602, 603
  Rect titleBand;
  Rect titleOrigin;
  Rect bodyArea;
  Rect progressBar;
};

// The layout of a window `width` x `height` pixels (outer size).
WizardLayout ComputeLayout(int32_t width, int32_t height);

// The layout of the 500 x 410 wizard window, computed once at start-up.
const WizardLayout& Layout();

// Logical-font record of one of the wizard's fonts. Every other field of the
// platform's record is zero or default: width, escapement, orientation 0;
// not italic, underlined or struck out; default precision, clipping,
// quality, pitch and family.
struct WizardFont {
  const char* face;
  uint8_t charset;
  int32_t height;  // positive: cell height in pixels
  int32_t weight;
};

inline constexpr WizardFont kButtonFont{"MS UI Gothic", 128, 12, 400};
inline constexpr WizardFont kTitleFont{"MS UI Gothic", 128, 16, 700};
inline constexpr WizardFont kBodyFont{"MS UI Gothic", 128, 12, 400};

// Distance between the tops of two lines of a text writer: font height + 4.
inline constexpr int32_t kTitleLineStep = kTitleFont.height + 4;  // 20
inline constexpr int32_t kBodyLineStep = kBodyFont.height + 4;    // 16

int32_t LineStep(TextFont font);

struct WizardColours {
  Rgb separator[2];  // upper line: button shadow; lower line: white
  Rgb titleBackground;
  Rgb bodyBackground;
};

// The colours, with the system colours read from the window once; later
// changes of the system colours are not followed.
WizardColours ReadWizardColours(WindowPort& port);

#endif
