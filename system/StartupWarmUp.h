#pragma once

// Services that the toolkit reaches for while the first windows are built, set going on
// worker threads so that their slow first steps overlap with that building rather than
// wait in line: the font configuration (read and its caches loaded before the first text
// is measured) and the session bus connection that the toolkit's accessibility support
// opens with the first list or item view (which, with no session bus running, is a failed
// attempt to start one). Each is only started early: the toolkit uses them as before.

// Before the QApplication is made.
void WarmUpFonts();
// Once the QApplication exists and the program knows it will run (no other instance
// takes its request).
void WarmUpSessionBus();
