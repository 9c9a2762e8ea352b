#pragma once
// What the program carries inside itself: its icons and the faces the window
// draws with.

class QWidget;

namespace tavelo {

// Makes the built-in icons and faces available and points the font names of
// the window description at the carried faces, so captions measure the same on
// every desktop. Call once the QApplication exists and before the window is
// built; later calls do nothing.
void InstallResources();

// Where the system has a named face (Windows' own Comic Sans MS, say), the
// window draws with it; a button whose caption that face makes too wide for
// it takes the carried stand-in instead, which every caption fits.
void KeepCaptionsInside(QWidget& window);

}  // namespace tavelo
