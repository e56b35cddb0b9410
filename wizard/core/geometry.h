// Plain geometry and colour values of the wizard window: client-area pixels
// and 8-bit RGB colours, as the window port and the layout use them.
#ifndef LX40_WIZARD_CORE_GEOMETRY_H
#define LX40_WIZARD_CORE_GEOMETRY_H

#include <cstdint>

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend constexpr bool operator==(const Point&, const Point&) = default;
};

// Left and top inclusive, right and bottom exclusive, as the platform's
// rectangles are.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  constexpr int32_t Width() const { return right - left; }
  constexpr int32_t Height() const { return bottom - top; }
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  constexpr bool Contains(const Rect& inner) const {
    return inner.left >= left && inner.top >= top && inner.right <= right && inner.bottom <= bottom;
  }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};

#endif
