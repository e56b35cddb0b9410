// Text-area writers: accumulate lines of text in the wizard's title band or
// body area. The current line is kept and redrawn in full at the cursor on
// every append, opaque on the area's background, so a line grows in place
// ("Setting the 8010 ..." and later "OK"). A writer starts at its origin;
// only a clear erases what earlier writers drew.
//
// A writer draws through the window port it is given, in the wizard's
// colours. Writers are short-lived locals of one thread.
#ifndef LX40_WIZARD_CORE_PAGE_TEXT_H
#define LX40_WIZARD_CORE_PAGE_TEXT_H

#include <cstdint>
#include <string>

#include "geometry.h"
#include "layout.h"
#include "window_port.h"

class CPageText {
 public:
  // `port` must outlive the writer.
  CPageText(WindowPort& port, const Rect& area, Rgb background, TextFont font, const Rect& origin);
  virtual ~CPageText() = default;
  CPageText(const CPageText&) = delete;
  CPageText& operator=(const CPageText&) = delete;

  // Fills the whole area with the background colour.
  CPageText& ClearArea();
  // With `clear`: clears the area and starts a new line `text` at the
  // origin. Otherwise appends `text` to the current line. Then draws the
  // whole line at the cursor.
  CPageText& WriteText(const std::string& text, bool clear = false);
  // WriteText of string-table entry `id`.
  CPageText& WriteString(uint32_t id, bool clear = false);
  // n single-space appends.
  CPageText& WriteSpaces(uint8_t n);
  // n times: empty line, cursor down one line step, back to the origin's
  // left. The cursor keeps the origin's right and bottom, so lines at or
  // below the origin's bottom are clipped. Draws nothing.
  CPageText& NewLine(uint8_t n);

  const Rect& Cursor() const { return m_cursor; }
  const std::string& Line() const { return m_line; }

 private:
  void DrawLine();

  WindowPort& m_port;
  Rect m_area;
  Rgb m_background;
  TextFont m_font;
  Rect m_origin;
  Rect m_cursor;
  std::string m_line;
};

// The white title band, bold title font, 20-pixel lines from (10, 10).
class CTitleText : public CPageText {
 public:
  CTitleText(WindowPort& port, const WizardColours& colours);
};

// The body area on the button-face colour, body font, 16-pixel lines from
// (10, 80).
class CStatusText : public CPageText {
 public:
  CStatusText(WindowPort& port, const WizardColours& colours);
};

#endif
