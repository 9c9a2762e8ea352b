#include "menu/form1.h"

#include "menu/form1_inside.h"
#include "ui_form1.h"

#include "base/colors.h"
#include "base/error_report.h"
#include "media/image_box.h"
#include "media/text_view.h"
#include "menu/app_title.h"
#include "menu/panel.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTreeWidget>

namespace tavelo {

namespace {

TColor ParseColor(const QVariant& v, bool* ok) { return static_cast<TColor>(v.toString().toUInt(ok, 16)); }

// A colour the description gives a widget (property name), or fallback.
TColor DescribedColor(const QWidget* w, const char* name, TColor fallback)
{
    bool ok = false;
    const TColor c = ParseColor(w->property(name), &ok);
    return ok ? c : fallback;
}

// A text view's settings: behaviour from the caller, font and colours from
// the description.
TRichEditSettings ViewSettings(const QWidget* view, TRichEditSettings s)
{
    s.Alignment = TAlignment::taCenter;
    s.Color = DescribedColor(view, "color", clWindow);
    s.FontName = view->font().family();
    s.FontHeightPx = std::abs(view->property("fontHeight").toInt());
    s.FontColor = DescribedColor(view, "fontColor", clWindowText);
    return s;
}

void SetTextColor(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        pal.setColor(role, c);
    w->setPalette(pal);
}

}  // namespace

TForm1::TForm1(QWidget* parent) : TForm1(Options{}, parent) {}

TForm1::TForm1(const Options& options, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<::Ui::TForm1>()), options_(options)
{
    ui->setupUi(this);
    clientSize_ = size();
    baseWidths_ = {ui->BitBtn1->width(), ui->BitBtn2->width(), ui->BitBtn3->width(),
                   ui->BitBtn4->width(), ui->BitBtn5->width(), ui->BitBtn6->width()};
    ApplyDescription();
    BindHandlers();
    if (options_.runFormCreate)
        Guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    // The handlers use members that are gone before the widgets are; nothing
    // a widget says while it is torn down may reach them.
    ui->TreeView1->disconnect(this);
    for (QPushButton* b : findChildren<QPushButton*>())
        b->disconnect(this);
}

void TForm1::ApplyDescription()
{
    classic_ = QApplication::style()->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0;
    setWindowTitle(ApplicationTitleFromFileName(QCoreApplication::applicationFilePath()));

    // Fonts and colours: the description keeps the window's own values as
    // dynamic properties (pixel heights, 0x00BBGGRR colours).
    QList<QWidget*> all = findChildren<QWidget*>();
    all.prepend(this);
    for (QWidget* w : all) {
        const QVariant height = w->property("fontHeight");
        if (height.isValid()) {
            QFont f = w->font();
            f.setPixelSize(std::abs(height.toInt()));
            w->setFont(f);
        }
        bool ok = false;
        const TColor fontColor = ParseColor(w->property("fontColor"), &ok);
        if (ok && fontColor != clNone)
            SetTextColor(w, ToQColor(fontColor, w->palette()));
    }

    QPalette pal = palette();
    pal.setColor(QPalette::Window, FixedColor(DescribedColor(this, "color", clSkyBlue)));
    setPalette(pal);
    setAutoFillBackground(true);

    // With a visual style the group frame and panels let the window's colour
    // show; classic drawing fills them with their own colours.
    if (classic_) {
        QPalette g = ui->RadioGroup1->palette();
        g.setColor(QPalette::Window, ToQColor(DescribedColor(ui->RadioGroup1, "color", clMoneyGreen), g));
        ui->RadioGroup1->setPalette(g);
        ui->RadioGroup1->setAutoFillBackground(true);
        for (TPanel* panel : {ui->Panel1, ui->Panel2})
            panel->SetClassicFill(ToQColor(DescribedColor(panel, "color", clSilver), panel->palette()));
    }
    ui->RadioGroup1->setAlignment(Qt::AlignLeft);

    // The catalogue.
    ui->TreeView1->setIndentation(24);
    ui->TreeView1->setRootIsDecorated(true);
    ui->TreeView1->setHeaderHidden(true);
    ui->TreeView1->setUniformRowHeights(true);
    // A fixed minimum spares the hidden header a font measurement at every
    // insertion, which would dominate building a large catalogue.
    ui->TreeView1->header()->setMinimumSectionSize(1);
    {
        QPalette t = ui->TreeView1->palette();
        const QColor back = ToQColor(DescribedColor(ui->TreeView1, "color", clSkyBlue), t);
        t.setColor(QPalette::Base, back);
        t.setColor(QPalette::Window, back);
        // Selection not drawn while the catalogue has no focus.
        t.setColor(QPalette::Inactive, QPalette::Highlight, back);
        t.setColor(QPalette::Inactive, QPalette::HighlightedText, t.color(QPalette::Active, QPalette::Text));
        ui->TreeView1->setPalette(t);
    }

    // The text views: the group text is read-only and wraps; the large view
    // is editable, never wraps, and Enter inserts nothing in it.
    {
        TRichEditSettings group;
        group.ReadOnly = true;
        group.WordWrap = true;
        group.ScrollBars = TScrollStyle::ssVertical;
        ui->RichEdit1->Configure(ViewSettings(ui->RichEdit1, group));

        TRichEditSettings lyrics;
        lyrics.ReadOnly = false;
        lyrics.WordWrap = false;
        lyrics.ScrollBars = TScrollStyle::ssBoth;
        lyrics.WantReturns = false;
        ui->RichEdit2->Configure(ViewSettings(ui->RichEdit2, lyrics));
        ui->RichEdit1->setFocusPolicy(Qt::StrongFocus);
        ui->RichEdit2->setFocusPolicy(Qt::StrongFocus);
    }

    for (QWidget* w :
         {static_cast<QWidget*>(ui->Image1), static_cast<QWidget*>(ui->Image2), static_cast<QWidget*>(ui->RadioGroup1),
          static_cast<QWidget*>(ui->Panel1), static_cast<QWidget*>(ui->Panel2)})
        w->setFocusPolicy(Qt::NoFocus);
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
        b->installEventFilter(this);
    }

    // The client area never changes size.
    setFixedSize(clientSize_);
    move(186, 124);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // Enter clicks the focused button, as Space does.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (auto* button = qobject_cast<QPushButton*>(watched)) {
                button->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::changeEvent(QEvent* event)
{
    // Maximising leaves the client area as it is.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QWidget::changeEvent(event);
}

void TForm1::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        Timer2.SetHold(false);
    }
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (size() != clientSize_)
        resize(clientSize_);
}

void TForm1::BindHandlers()
{
    const auto bind = [this](QPushButton* b, void (TForm1::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    bind(ui->BitBtn1, &TForm1::BitBtn1Click);
    bind(ui->BitBtn2, &TForm1::BitBtn2Click);
    bind(ui->BitBtn3, &TForm1::BitBtn3Click);
    bind(ui->BitBtn4, &TForm1::BitBtn4Click);
    bind(ui->BitBtn5, &TForm1::BitBtn5Click);
    bind(ui->BitBtn6, &TForm1::BitBtn6Click);
    bind(ui->BitBtn7, &TForm1::BitBtn7Click);
    bind(ui->Button1, &TForm1::Button1Click);
    bind(ui->Button2, &TForm1::Button2Click);
    bind(ui->Button3, &TForm1::Button3Click);
    bind(ui->Button4, &TForm1::Button4Click);
    bind(ui->Button5, &TForm1::Button5Click);

    // The song handler runs after every change of selection and after the
    // selected node's label was edited in place.
    connect(ui->TreeView1, &QTreeWidget::itemSelectionChanged, this,
            [this] { Guarded([this] { TreeView1GetSelectedIndex(); }); });
    connect(ui->TreeView1, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        if (item->isSelected())
            Guarded([this] { TreeView1GetSelectedIndex(); });
    });

    // The songs are added only once the window is on screen: a tick that
    // falls due before the first paint waits for it.
    Timer2.SetHold(true);
    Timer2.SetOnTimer([this] { Timer2Timer(); });
    Timer3.SetOnTimer([this] { Timer3Timer(); });
    FileRun1.ActionList = &ActionList1;
}

TForm1::Inside::Inside(TForm1& f)
    : form(f), BitBtn1(f.ui->BitBtn1), BitBtn2(f.ui->BitBtn2), BitBtn3(f.ui->BitBtn3), BitBtn4(f.ui->BitBtn4),
      BitBtn5(f.ui->BitBtn5), BitBtn6(f.ui->BitBtn6), BitBtn7(f.ui->BitBtn7), Button1(f.ui->Button1),
      Button2(f.ui->Button2), Button3(f.ui->Button3), Button4(f.ui->Button4), Button5(f.ui->Button5),
      TreeView1(f.ui->TreeView1), RichEdit1(f.ui->RichEdit1), RichEdit2(f.ui->RichEdit2), Image1(f.ui->Image1),
      Image2(f.ui->Image2), Panel1(f.ui->Panel1), Panel2(f.ui->Panel2), RadioGroup1(f.ui->RadioGroup1), S(f.S),
      Timer2(f.Timer2), Timer3(f.Timer3), FileRun1(f.FileRun1), ShellTreeView1(f.ShellTreeView1),
      ShellTreeView2(f.ShellTreeView2)
{
}

void TForm1::Pause(int ms)
{
    if (options_.pause)
        options_.pause(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

}  // namespace tavelo
