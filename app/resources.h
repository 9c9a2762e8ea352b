#pragma once
// What the program carries inside itself: its icons and the faces the window
// draws with.

namespace tavelo {

// Makes the built-in icons and faces available and points the font names of
// the window description at the carried faces, so captions measure the same on
// every desktop. Call once the QApplication exists and before the window is
// built; later calls do nothing.
void InstallResources();

}  // namespace tavelo
