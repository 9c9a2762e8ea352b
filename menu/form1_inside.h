#pragma once
// The way into the window for tests and benchmarks: its widgets, state,
// timers and handlers, exactly as the handlers see them. The program itself
// never uses it.

#include "media/image_box.h"
#include "media/text_view.h"
#include "menu/form1.h"
#include "menu/panel.h"
#include "menu/radio_group.h"
#include "menu/tree_view.h"

#include <QPushButton>

namespace tavelo {

class TForm1::Inside {
public:
    explicit Inside(TForm1& form);

    TForm1& form;

    QPushButton* const BitBtn1;
    QPushButton* const BitBtn2;
    QPushButton* const BitBtn3;
    QPushButton* const BitBtn4;
    QPushButton* const BitBtn5;
    QPushButton* const BitBtn6;
    QPushButton* const BitBtn7;
    QPushButton* const Button1;
    QPushButton* const Button2;
    QPushButton* const Button3;
    QPushButton* const Button4;
    QPushButton* const Button5;
    TTreeView* const TreeView1;
    TRichEdit* const RichEdit1;
    TRichEdit* const RichEdit2;
    TImage* const Image1;
    TImage* const Image2;
    TPanel* const Panel1;
    TPanel* const Panel2;
    TRadioGroup* const RadioGroup1;

    TProgramState& S;
    TTimer& Timer2;
    TTimer& Timer3;
    TFileRun& FileRun1;
    TShellTreeView& ShellTreeView1;
    TShellTreeView& ShellTreeView2;

    void FormCreate() { form.FormCreate(); }
    void Timer2Timer() { form.Timer2Timer(); }
    void Timer3Timer() { form.Timer3Timer(); }
    void TreeView1GetSelectedIndex() { form.TreeView1GetSelectedIndex(); }
};

}  // namespace tavelo
