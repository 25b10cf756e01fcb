#include "app/hyperlink_label_state.h"

#include "common/bounded_text.h"

void HyperlinkLabelState::takeTarget(const char* controlText) {
  if (m_target[0] != '\0') return;
  m_targetWhole = text::copy(m_target, controlText != nullptr ? controlText : "");
}

bool HyperlinkLabelState::pointerMoved() {
  if (m_hovering != 0) return false;
  m_hovering = 1;
  return true;
}

bool HyperlinkLabelState::pollTick(bool pointerInside) {
  if (pointerInside) return false;
  m_hovering = 0;
  return true;
}

bool HyperlinkLabelState::clicked(Opener& opener) {
  m_hovering = 0;
  m_visited = launchTarget(opener) ? 1 : 0;
  return m_visited != 0;
}

bool HyperlinkLabelState::launchTarget(Opener& opener) const {
  if (!m_targetWhole) return false;
  return opener.open(m_target);
}

std::uint32_t HyperlinkLabelState::textColor() const {
  if (m_hovering != 0) return m_hoverColor;
  return m_visited != 0 ? m_visitedColor : m_linkColor;
}
