#pragma once

#include <functional>

class QWidget;

// Animated showing and hiding of a top-level window, taking the flag values of the Windows
// call it stands in for. The call returns at once: a window being shown is shown (and
// activated with Activate) before it returns, a window being hidden (Hide) disappears when
// the effect ends, which runs on the event loop. Where the window system cannot show the
// effect (no compositing manager for a fade, no X11 shape support for a roll, the
// offscreen platform) the window is shown or hidden at once.
namespace AnimateFlags {
inline constexpr unsigned HorPositive = 0x00001;
inline constexpr unsigned HorNegative = 0x00002;
inline constexpr unsigned VerPositive = 0x00004; // roll from top to bottom
inline constexpr unsigned VerNegative = 0x00008; // roll from bottom to top
inline constexpr unsigned Center = 0x00010;
inline constexpr unsigned Hide = 0x10000;
inline constexpr unsigned Activate = 0x20000;
inline constexpr unsigned Slide = 0x40000;
inline constexpr unsigned Blend = 0x80000;

inline constexpr unsigned FadeOut = Hide | Blend;          // 0x90000
inline constexpr unsigned RollOpen = Activate | VerNegative; // 0x20008
inline constexpr unsigned RollClose = Hide | VerPositive;  // 0x10004
} // namespace AnimateFlags

inline constexpr int WindowAnimationMs = 200;

// Returns false when there was nothing to do (hiding a hidden window, showing a shown one);
// a show that cuts a hide short keeps the window shown. setVisible shows or hides the window
// for real (a window whose own setVisible starts the effect passes its base class's).
bool AnimateWindow(QWidget* window, int durationMs, unsigned flags, std::function<void(bool)> setVisible = {});

// Ends a running effect at once, the window left shown, opaque and whole.
void CancelWindowAnimation(QWidget* window);
