#pragma once
// The launch request FileRun1: the window's one action that hands a song to
// the desktop. Its fields outlive the launch; the catalogue keeps its memory
// of the last song started in Directory.

#include <QString>

class QWidget;

namespace tavelo {

// Show modes in their declared order; ShowCommandNumber gives the number each
// is passed as. Applications started through the desktop get no show request
// of ours, so only the normal mode is meaningful here.
enum TShowCmd {
    scHide,
    scMaximize,
    scMinimize,
    scRestore,
    scShow,
    scShowDefault,
    scShowMaximized,
    scShowMinimized,
    scShowMinNoActive,
    scShowNA,
    scShowNoActivate,
    scShowNormal,
};

constexpr int ShowCommandNumber(TShowCmd cmd)
{
    constexpr int numbers[] = {0, 3, 6, 9, 5, 10, 3, 2, 7, 8, 4, 1};
    return numbers[cmd];
}

struct TActionList {
    bool Suspended = false;
};

struct TFileRun {
    TActionList* ActionList = nullptr;
    QString Operation = QStringLiteral("open");
    QString FileName;
    QString Parameters;  // kept for the record; an opened document takes no arguments
    QString Directory;   // a folder, or a file whose folder the application starts in
    TShowCmd ShowCmd = scShowNormal;
    bool Browse = false;
    QWidget* ParentControl = nullptr;
    bool Enabled = false;
    QString Caption = QStringLiteral("&Run...");
    QString Hint = QStringLiteral("Run|Runs an application");
    QString Category = QStringLiteral("File");
};

// Runs the request: false when its list is suspended or it has nothing to run
// (Enabled is re-evaluated from Browse and FileName first, so the caller's own
// setting does not decide); true when the file was handed to the desktop.
// Throws EShellError when the launch fails.
// Browse has no file dialog in this build: a browsing request launches nothing
// and returns true, as when the dialog is closed without a choice.
bool ExecuteFileRun(TFileRun& request);

}  // namespace tavelo
