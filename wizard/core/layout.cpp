#include "layout.h"

namespace {

constexpr int32_t kFrameAllowance = 6;  // outer width - client width
constexpr int32_t kSeparatorInset = 70;
constexpr int32_t kButtonLeft = 210;
constexpr int32_t kButtonWidth = 88;
constexpr int32_t kButtonHeight = 23;
constexpr int32_t kButtonGap = 8;
constexpr int32_t kButtonMargin = 10;  // below the bottom separator
constexpr int32_t kTextMargin = 10;
constexpr int32_t kBodyHeight = 100;
constexpr int32_t kProgressInset = 20;
constexpr int32_t kProgressHeight = 20;

}  // namespace

WizardLayout ComputeLayout(int32_t width, int32_t height) {
  WizardLayout l{};
  l.window = {0, 0, width, height};
  l.client = {0, 0, l.window.right - kFrameAllowance, l.window.bottom};

  const int32_t topY = l.client.top + kSeparatorInset;
  const int32_t bottomY = l.client.bottom - kSeparatorInset;
  l.topSeparator = {{l.client.left, topY}, {l.client.right, topY}};
  l.bottomSeparator = {{l.client.left, bottomY}, {l.client.right, bottomY}};

  int32_t left = kButtonLeft;
  const int32_t top = bottomY + kButtonMargin;
  for (Rect& button : l.buttons) {
    button = {left, top, left + kButtonWidth, top + kButtonHeight};
    left = button.right + kButtonGap;
  }

  l.titleBand = {l.client.left, l.client.top, l.client.right, topY - 1};
  l.titleOrigin = {l.titleBand.left + kTextMargin, l.titleBand.top + kTextMargin,
                   l.titleBand.right - kTextMargin, l.titleBand.bottom - kTextMargin};

  const int32_t bodyTop = l.topSeparator.from.y + kTextMargin;
  l.bodyArea = {l.topSeparator.from.x + kTextMargin, bodyTop, l.bottomSeparator.to.x - kTextMargin,
                bodyTop + kBodyHeight};

  const int32_t progressTop = l.bodyArea.bottom + kProgressInset;
  l.progressBar = {l.bodyArea.left + kProgressInset, progressTop, l.bodyArea.right - kProgressInset,
                   progressTop + kProgressHeight};
  return l;
}

const WizardLayout& Layout() {
  static const WizardLayout layout = ComputeLayout(kWindowWidth, kWindowHeight);
  return layout;
}

int32_t LineStep(TextFont font) { return font == TextFont::Title ? kTitleLineStep : kBodyLineStep; }

WizardColours ReadWizardColours(WindowPort& port) {
  WizardColours colours{};
  colours.separator[0] = port.GetSystemColour(SystemColour::ButtonShadow);
  colours.separator[1] = kWhite;
  colours.titleBackground = kWhite;
  colours.bodyBackground = port.GetSystemColour(SystemColour::ButtonFace);
  return colours;
}
