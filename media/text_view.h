#pragma once
// The window's rich text views and the one way they are filled: LoadTextFile.

#include "base/colors.h"
#include "media/rtf_reader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QTextEdit>

#include <variant>

namespace tavelo {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A view's settings, named as the window description names them.
struct TRichEditSettings {
    TAlignment Alignment = TAlignment::taLeftJustify;  // of paragraphs that state none
    bool ReadOnly = false;                             // selecting and copying still work
    bool WordWrap = true;
    TScrollStyle ScrollBars = TScrollStyle::ssNone;
    bool HideScrollBars = true;  // a permitted bar shows only while the text overflows
    bool WantReturns = true;     // off: Enter and Return insert nothing
    bool WantTabs = false;       // off: Tab moves the focus
    bool HideSelection = true;   // no selection drawn while the view lacks the focus
    bool PlainText = false;      // files are never read as RTF
    TColor Color = clWindow;
    QString FontName = QStringLiteral("MS Sans Serif");
    int FontHeightPx = 11;
    TColor FontColor = clWindowText;  // clWindowText follows the system's text colour
};

class TRichEdit : public QTextEdit {
    Q_OBJECT

public:
    explicit TRichEdit(QWidget* parent = nullptr);

    void Configure(const TRichEditSettings& settings);
    const TRichEditSettings& Settings() const { return settings_; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TRichEditSettings settings_;
};

// Replaces the whole content of view (the user's typing included) with the
// file at path: an RTF document when the content begins with "{\rtf",
// otherwise plain text. Relative paths resolve against the current directory.
// Throws EFOpenError when the file cannot be opened, EReadError "Stream read
// error" when a read fails midway (the view is untouched in both), and
// EOutOfResources "Failed to Load Stream" when the content cannot be held or
// is more than a view can show within a second (kMaxTextBytes, kMaxTextWork,
// kMaxParagraphChars; the view is untouched).
// Afterwards the caret is at the start, nothing is selected and the view shows
// the first line.
void LoadTextFile(TRichEdit* view, const QString& path);

// The file part of LoadTextFile, without a view: the file's whole content,
// with the same errors (EFOpenError, EReadError, EOutOfResources "Failed to
// Load Stream").
QByteArray ReadTextFile(const QString& path);

// True when LoadTextFile reads content as an RTF document in a view with
// these settings; otherwise it is plain text (DetectPlainEncoding).
bool ReadsAsRtf(const TRichEditSettings& settings, QByteArrayView bytes);

// What LoadTextFile would put in such a view for content: the decoded plain
// text or the RTF document read. Throws EOutOfResources "Failed to Load
// Stream" for content it refuses, so a check can ask without a view.
std::variant<QString, RtfText> TextToShow(const TRichEditSettings& settings, QByteArrayView bytes);

}  // namespace tavelo
