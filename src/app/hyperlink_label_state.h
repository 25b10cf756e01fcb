// What a hyperlink label knows and decides, apart from its window: the address it opens, its
// colours, whether the pointer rests on it and whether its link was opened. The window layer
// (CHyperlinkLabel) turns the answers into fonts, repaints, timers and message boxes.
#pragma once

#include <cstdint>

#include "platform/types.h"

// A colour as the system stores it: red in the low byte, then green, then blue.
constexpr std::uint32_t rgbColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return red | (green << 8) | (static_cast<std::uint32_t>(blue) << 16);
}

class HyperlinkLabelState {
 public:
  // Opens an address with the system's handler.
  class Opener {
   public:
    // True when the system accepted the address.
    virtual bool open(const char* address) = 0;

   protected:
    ~Opener() = default;
  };

  // Takes the address from the control's text, unless it has one already.
  void takeTarget(const char* controlText);
  const char* target() const { return m_target; }

  // The pointer moved over the label. True when it starts hovering: the label then shows the
  // underlined font, repaints and starts polling for the pointer to leave.
  bool pointerMoved();
  // A poll tick. True when the pointer has left: the label stops polling, shows the plain font
  // and repaints.
  bool pollTick(bool pointerInside);
  // The label was clicked: opens the address and returns whether that succeeded. The label
  // paints as resting until the next pointer movement, even while the pointer stays on it.
  bool clicked(Opener& opener);

  std::uint32_t textColor() const;
  int hovering() const { return m_hovering; }
  int visited() const { return m_visited; }

  const std::uint32_t m_linkColor = rgbColor(0, 0, 238);
  const std::uint32_t m_visitedColor = rgbColor(85, 26, 139);
  const std::uint32_t m_hoverColor = rgbColor(0, 0, 238);

 private:
  bool launchTarget(Opener& opener) const;

  int m_hovering = 0;
  int m_visited = 0;
  // Addresses of kMaxPath characters or more are kept only to be refused: a cut address
  // could open another page.
  char m_target[platform::kMaxPath] = "";
  bool m_targetWhole = true;
};
