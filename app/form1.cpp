#include "app/form1.h"

#include "app/app_title.h"
#include "app/colors.h"
#include "app/error_report.h"
#include "app/panel.h"
#include "media/image_box.h"
#include "media/text_view.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QHeaderView>
#include <QStyle>
#include <QThread>
#include <QTreeWidget>

namespace tavelo {

namespace {

TColor ParseColor(const QVariant& v, bool* ok)
{
    return static_cast<TColor>(v.toString().toUInt(ok, 16));
}

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

TForm1::TForm1(const Options& options, QWidget* parent) : QWidget(parent), options_(options)
{
    setupUi(this);
    ApplyDescription();
    BindHandlers();
    if (options_.runFormCreate)
        Guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    // The handlers use members that are gone before the widgets are; nothing
    // a widget says while it is torn down may reach them.
    TreeView1->disconnect(this);
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
        QPalette g = RadioGroup1->palette();
        g.setColor(QPalette::Window, ToQColor(DescribedColor(RadioGroup1, "color", clMoneyGreen), g));
        RadioGroup1->setPalette(g);
        RadioGroup1->setAutoFillBackground(true);
        for (TPanel* panel : {Panel1, Panel2})
            panel->SetClassicFill(ToQColor(DescribedColor(panel, "color", clSilver), panel->palette()));
    }
    RadioGroup1->setAlignment(Qt::AlignLeft);

    // The catalogue.
    TreeView1->setIndentation(24);
    TreeView1->setRootIsDecorated(true);
    TreeView1->setHeaderHidden(true);
    TreeView1->setUniformRowHeights(true);
    // A fixed minimum spares the hidden header a font measurement at every
    // insertion, which would dominate building a large catalogue.
    TreeView1->header()->setMinimumSectionSize(1);
    {
        QPalette t = TreeView1->palette();
        const QColor back = ToQColor(DescribedColor(TreeView1, "color", clSkyBlue), t);
        t.setColor(QPalette::Base, back);
        t.setColor(QPalette::Window, back);
        // Selection not drawn while the catalogue has no focus.
        t.setColor(QPalette::Inactive, QPalette::Highlight, back);
        t.setColor(QPalette::Inactive, QPalette::HighlightedText, t.color(QPalette::Active, QPalette::Text));
        TreeView1->setPalette(t);
    }

    // The text views: the group text is read-only and wraps; the large view
    // is editable, never wraps, and Enter inserts nothing in it.
    {
        TRichEditSettings group;
        group.ReadOnly = true;
        group.WordWrap = true;
        group.ScrollBars = TScrollStyle::ssVertical;
        RichEdit1->Configure(ViewSettings(RichEdit1, group));

        TRichEditSettings lyrics;
        lyrics.ReadOnly = false;
        lyrics.WordWrap = false;
        lyrics.ScrollBars = TScrollStyle::ssBoth;
        lyrics.WantReturns = false;
        RichEdit2->Configure(ViewSettings(RichEdit2, lyrics));
        RichEdit1->setFocusPolicy(Qt::StrongFocus);
        RichEdit2->setFocusPolicy(Qt::StrongFocus);
    }

    for (QWidget* w : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2), static_cast<QWidget*>(RadioGroup1),
                       static_cast<QWidget*>(Panel1), static_cast<QWidget*>(Panel2)})
        w->setFocusPolicy(Qt::NoFocus);
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
        b->installEventFilter(this);
    }

    // The client area never changes size.
    setFixedSize(688, 449);
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
    if (size() != QSize(688, 449))
        resize(688, 449);
}

void TForm1::BindHandlers()
{
    const auto bind = [this](QPushButton* b, void (TForm1::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    bind(BitBtn1, &TForm1::BitBtn1Click);
    bind(BitBtn2, &TForm1::BitBtn2Click);
    bind(BitBtn3, &TForm1::BitBtn3Click);
    bind(BitBtn4, &TForm1::BitBtn4Click);
    bind(BitBtn5, &TForm1::BitBtn5Click);
    bind(BitBtn6, &TForm1::BitBtn6Click);
    bind(BitBtn7, &TForm1::BitBtn7Click);
    bind(Button1, &TForm1::Button1Click);
    bind(Button2, &TForm1::Button2Click);
    bind(Button3, &TForm1::Button3Click);
    bind(Button4, &TForm1::Button4Click);
    bind(Button5, &TForm1::Button5Click);

    // The song handler runs after every change of selection and after the
    // selected node's label was edited in place.
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this,
            [this] { Guarded([this] { TreeView1GetSelectedIndex(); }); });
    connect(TreeView1, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
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

void TForm1::Pause(int ms)
{
    if (options_.pause)
        options_.pause(ms);
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

}  // namespace tavelo
