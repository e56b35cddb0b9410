#include "page_text.h"

#include <limits>

CPageText::CPageText(WindowPort& port, const Rect& area, Rgb background, TextFont font,
                     const Rect& origin)
    : m_port(port),
      m_area(area),
      m_background(background),
      m_font(font),
      m_origin(origin),
      m_cursor(origin) {}

CPageText& CPageText::ClearArea() {
  m_port.FillArea(m_area, m_background);
  return *this;
}

CPageText& CPageText::WriteText(const std::string& text, bool clear) {
  if (clear) {
    ClearArea();
    m_line = text;
    m_cursor = m_origin;
  } else {
    m_line += text;
  }
  DrawLine();
  return *this;
}

CPageText& CPageText::WriteString(uint32_t id, bool clear) {
  return WriteText(m_port.LoadText(id), clear);
}

CPageText& CPageText::WriteSpaces(uint8_t n) {
  for (uint8_t i = 0; i < n; ++i) WriteText(" ", false);
  return *this;
}

CPageText& CPageText::NewLine(uint8_t n) {
  const int32_t step = LineStep(m_font);
  for (uint8_t i = 0; i < n; ++i) {
    m_line.clear();
    // Lines far below the origin are clipped away anyway; stopping the
    // cursor there keeps its top from overflowing.
    if (m_cursor.top <= std::numeric_limits<int32_t>::max() - step) m_cursor.top += step;
    m_cursor.left = m_origin.left;
  }
  return *this;
}

void CPageText::DrawLine() {
  // An empty line shows nothing; the opaque background only covers text.
  if (m_line.empty()) return;
  m_port.DrawTextLine(m_cursor, m_line, m_font, m_background);
}

CTitleText::CTitleText(WindowPort& port, const WizardColours& colours)
    : CPageText(port, Layout().titleBand, colours.titleBackground, TextFont::Title,
                Layout().titleOrigin) {}

CStatusText::CStatusText(WindowPort& port, const WizardColours& colours)
    : CPageText(port, Layout().bodyArea, colours.bodyBackground, TextFont::Body,
                Layout().bodyArea) {}
