#pragma once
// The main window. Widgets come from form1.ui and are held privately; the
// non-visual parts (the directory outline, the two folder listers, the timers
// and the launch request) are plain members. Handlers live in the menu/ files
// of their section. Tests and benchmarks reach the inside through
// TForm1::Inside (form1_inside.h), on purpose and nowhere else.

#include "content/dir_outline.h"
#include "content/shell_tree_view.h"
#include "media/file_run.h"
#include "menu/state.h"
#include "menu/timer.h"

#include <QSize>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QPushButton;

namespace Ui {
class TForm1;
}

namespace tavelo {

class TForm1 : public QWidget {
    Q_OBJECT
public:
    struct Options {
        bool runFormCreate = true;        // tests may build the window without start-up
        std::function<void(int)> pause;   // blocking pause; QThread::msleep by default
        std::function<void()> terminate;  // end the event loop; quit by default
    };

    explicit TForm1(QWidget* parent = nullptr);
    TForm1(const Options& options, QWidget* parent = nullptr);
    ~TForm1() override;

    // Whether the window draws classic colours (Qt's "windows" style).
    bool ClassicDrawing() const { return classic_; }

    class Inside;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<::Ui::TForm1> ui;
    // Non-visual parts of the window.
    TDirectoryOutline dirout;
    TShellTreeView ShellTreeView1{otFolders | otNonFolders};
    TTimer Timer2{100, true};
    TTimer Timer3{4000, false};
    TActionList ActionList1;
    TFileRun FileRun1;
    TShellTreeView ShellTreeView2{otNonFolders};

    TProgramState S;

    // Handlers.
    void FormCreate();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void Timer2Timer();
    void Button3Click();
    void Timer3Timer();
    void Button2Click();
    void Button1Click();
    void Button4Click();
    void Button5Click();
    void TreeView1GetSelectedIndex();

    void ApplyDescription();
    void BindHandlers();

    // Section menu pieces.
    bool ToggleHighlight(QPushButton* button, int& menuFlag, int growth);
    void ResetOtherButtons(QPushButton* except);
    void LyricsReset();
    void PlayerReset();
    void HelpReset();
    void DiscReset();
    void GroupReset(bool showImage1);
    void AutoShowReset();
    void SlideControlsReset();

    // Page pieces.
    void SlidesPageTail();
    void LyricsPageTail();
    void GroupPageTail();
    void DiscPageTail();
    void PlayerPageTail();
    void HelpPageTail();
    void TextPageTail(int& shownFlag, const QString& path);
    void ShowSlide(int k);
    void ShowListedPicture(class TImage* box, const QString& folder, int position);
    void ShowFirstPicture(class TImage* box, const QString& folder);

    void BuildSongs(QStringList& errors);

    // Start-up groups.
    void StartFirstSlide();
    void StartGroupText();
    void StartAlbumList();
    void StartSlideCount();

    void Pause(int ms);

    Options options_;
    // As the form lays them out: the client size and the section buttons'
    // widths when not highlighted (BitBtn1..BitBtn6).
    QSize clientSize_;
    std::array<int, 6> baseWidths_{};
    bool classic_ = false;
    bool painted_ = false;
};

}  // namespace tavelo
