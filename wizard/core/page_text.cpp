#include "wizard/core/page_text.h"

#include <limits>

#include "wizard/core/layout.h"
#include "wizard/core/wizard_core.h"

CPageText::CPageText(CWizardCore* wizard, const Rect& area, Rgb background, TextFont font,
                     const Rect& origin)
    : m_port(wizard != nullptr ? &wizard->Port() : nullptr),
      m_area(area),
      m_background(background),
      m_font(font),
      m_origin(origin),
      m_cursor(origin) {}

CPageText& CPageText::ClearArea() {
  if (m_port != nullptr) m_port->FillArea(m_area, m_background);
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
  return WriteText(m_port != nullptr ? m_port->LoadText(id) : std::string(), clear);
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
  if (m_port == nullptr || m_line.empty()) return;
  m_port->DrawTextLine(m_cursor, m_line, m_font, m_background);
}

CTitleText::CTitleText(CWizardCore& wizard)
    : CPageText(&wizard, Layout().titleBand, wizard.Colours().titleBackground, TextFont::Title,
                Layout().titleOrigin) {}

CTitleText::CTitleText()
    : CPageText(g_pWizardDlg, Layout().titleBand,
                g_pWizardDlg != nullptr ? g_pWizardDlg->Colours().titleBackground : kWhite,
                TextFont::Title, Layout().titleOrigin) {}

CStatusText::CStatusText(CWizardCore& wizard)
    : CPageText(&wizard, Layout().bodyArea, wizard.Colours().bodyBackground, TextFont::Body,
                Layout().bodyArea) {}

CStatusText::CStatusText()
    : CPageText(g_pWizardDlg, Layout().bodyArea,
                g_pWizardDlg != nullptr ? g_pWizardDlg->Colours().bodyBackground : Rgb{},
                TextFont::Body, Layout().bodyArea) {}
