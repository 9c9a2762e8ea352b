#pragma once
// The launch request FileRun1: the window's one action that hands a song to
// the desktop. Its fields outlive the launch; the catalogue keeps its memory
// of the last song started in Directory.

#include <QString>

namespace tavelo {

struct TActionList {
    bool Suspended = false;
};

struct TFileRun {
    TActionList* ActionList = nullptr;
    QString Operation = QStringLiteral("open");
    QString FileName;
    QString Directory;  // a folder, or a file whose folder the application starts in
    bool Browse = false;
    bool Enabled = false;
};

// Runs the request: false when its list is suspended or it has nothing to run
// (Enabled is re-evaluated from Browse and FileName first, so the caller's own
// setting does not decide); true when the file was handed to the desktop.
// Throws EShellError when the launch fails.
// Browse has no file dialog in this build: a browsing request launches nothing
// and returns true, as when the dialog is closed without a choice.
bool ExecuteFileRun(TFileRun& request);

}  // namespace tavelo
