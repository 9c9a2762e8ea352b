#include "media/text_view.h"

#include "base/errors.h"
#include "content/paths.h"
#include "media/plain_text.h"
#include "media/rtf_reader.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <new>

namespace tavelo {
namespace {

constexpr qsizetype kLongText = 64 * 1024;  // far more lines than any view shows at once

// A long text will need the vertical bar. Showing it before the fill lays
// the first screen out once, at its final width, instead of again when the
// bar appears; the policy is back, whatever happens, before anything paints.
class VerticalBarDuringFill {
public:
    VerticalBarDuringFill(QTextEdit* view, qsizetype bytes) : view_(view), policy_(view->verticalScrollBarPolicy())
    {
        if (policy_ == Qt::ScrollBarAsNeeded && bytes > kLongText)
            view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    ~VerticalBarDuringFill() { view_->setVerticalScrollBarPolicy(policy_); }
    VerticalBarDuringFill(const VerticalBarDuringFill&) = delete;
    VerticalBarDuringFill& operator=(const VerticalBarDuringFill&) = delete;

private:
    QTextEdit* view_;
    Qt::ScrollBarPolicy policy_;
};

Qt::ScrollBarPolicy Policy(bool permitted, bool hideWhenUnneeded)
{
    if (!permitted)
        return Qt::ScrollBarAlwaysOff;
    return hideWhenUnneeded ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
}

Qt::Alignment ToQt(TAlignment a)
{
    switch (a) {
    case TAlignment::taRightJustify: return Qt::AlignRight;
    case TAlignment::taCenter: return Qt::AlignHCenter;
    case TAlignment::taLeftJustify: break;
    }
    return Qt::AlignLeft;
}

// Clearing and filling in one edit block makes the change cover the whole
// document, so the view lays it out lazily, a piece per event-loop turn, and
// paints the first screen at once; a fill after a separate clear would be laid
// out in full before the handler returns. A cleared document has default
// block and character formats, so plain text takes the view's defaults.
void FillPlain(QTextDocument* doc, const QString& text)
{
    doc->setPlainText(text);  // clears the undo history too
}

// While a view's content is replaced it holds no caret. A caret in the
// document would be carried along by the text inserted before it, and putting
// it back at the start afterwards makes the view ask where the carried caret
// and its selection were, which lays the whole new text out before the
// handler returns. Without a caret there is nothing to ask about, and the
// text is laid out lazily, screen by screen. The caret comes back at the start
// of the new text, whether the filling finishes or fails.
class CaretAside {
public:
    explicit CaretAside(TRichEdit* view) : view_(view) { view_->setTextCursor(QTextCursor()); }
    ~CaretAside() { view_->setTextCursor(QTextCursor(view_->document())); }
    CaretAside(const CaretAside&) = delete;
    CaretAside& operator=(const CaretAside&) = delete;

private:
    TRichEdit* view_;
};

}  // namespace

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) { Configure(settings_); }

void TRichEdit::Configure(const TRichEditSettings& settings)
{
    settings_ = settings;

    setReadOnly(settings.ReadOnly);
    if (settings.ReadOnly)
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(!settings.WantTabs);

    setLineWrapMode(settings.WordWrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const bool horizontal =
        settings.ScrollBars == TScrollStyle::ssHorizontal || settings.ScrollBars == TScrollStyle::ssBoth;
    const bool vertical =
        settings.ScrollBars == TScrollStyle::ssVertical || settings.ScrollBars == TScrollStyle::ssBoth;
    // A wrapping view never needs a horizontal bar.
    setHorizontalScrollBarPolicy(Policy(horizontal && !settings.WordWrap, settings.HideScrollBars));
    setVerticalScrollBarPolicy(Policy(vertical, settings.HideScrollBars));

    QTextOption option = document()->defaultTextOption();
    option.setAlignment(ToQt(settings.Alignment));
    document()->setDefaultTextOption(option);

    // The default character format is kept in whole points, as the height in
    // pixels converts at the screen's resolution.
    QFont f(settings.FontName);
    const int dpi = logicalDpiY() > 0 ? logicalDpiY() : 96;
    f.setPointSize(qMax(1, static_cast<int>(std::lround(settings.FontHeightPx * 72.0 / dpi))));
    setFont(f);
    document()->setDefaultFont(f);

    QPalette pal = palette();
    pal.setColor(QPalette::Base, ToQColor(settings.Color, pal));
    if (settings.FontColor != clWindowText) {
        const QColor text = ToQColor(settings.FontColor, pal);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            pal.setColor(group, QPalette::Text, text);
    }
    if (settings.HideSelection) {
        pal.setColor(QPalette::Inactive, QPalette::Highlight, Qt::transparent);
        pal.setBrush(QPalette::Inactive, QPalette::HighlightedText, QBrush(Qt::NoBrush));
    } else {
        pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     pal.color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(pal);
}

bool TRichEdit::event(QEvent* event)
{
    // The style draws the border one device pixel wide; on a high-density
    // screen the rest of it would stay unpainted and let a picture under the
    // view show through. The view's own colour goes there first.
    if (event->type() == QEvent::Paint) {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Base));
    }
    return QTextEdit::event(event);
}

void TRichEdit::keyPressEvent(QKeyEvent* event)
{
    if (!settings_.WantReturns && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // Left to the window, as a dialog would take it; the text gets nothing.
        event->ignore();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

QByteArray ReadTextFile(const QString& path)
{
    const FileDescriptor fd = OpenForReading(path);
    try {
        std::optional<QByteArray> read = ReadWholeFile(fd);
        if (!read)
            throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
        return std::move(*read);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
    }
}

bool ReadsAsRtf(const TRichEditSettings& settings, QByteArrayView bytes)
{
    return !settings.PlainText && LooksLikeRtf(bytes);
}

std::variant<QString, RtfText> TextToShow(const TRichEditSettings& settings, QByteArrayView bytes)
{
    const auto refuse = [] { return EOutOfResources(QStringLiteral("Failed to Load Stream")); };
    try {
        if (ReadsAsRtf(settings, bytes)) {
            std::optional<RtfText> rtf = ParseRtf(bytes);
            if (!rtf)
                throw refuse();
            return std::move(*rtf);
        }
        std::optional<QString> text = DecodePlainText(bytes);
        if (!text || !WithinParagraphLimits(Paragraphs(*text)))
            throw refuse();
        return std::move(*text);
    } catch (const std::bad_alloc&) {
        throw refuse();
    }
}

void LoadTextFile(TRichEdit* view, const QString& path)
{
    QByteArray bytes = ReadTextFile(path);
    std::variant<QString, RtfText> text = TextToShow(view->Settings(), bytes);
    const qsizetype size = bytes.size();
    bytes = QByteArray();  // the bytes are no longer needed; a long text needs the room

    QTextDocument* doc = view->document();
    try {
        const VerticalBarDuringFill bar(view, size);
        const CaretAside aside(view);
        if (RtfText* rtf = std::get_if<RtfText>(&text))
            rtf->WriteTo(doc);
        else
            FillPlain(doc, std::get<QString>(text));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
    }
    doc->setModified(false);

    view->horizontalScrollBar()->setValue(0);
    view->verticalScrollBar()->setValue(0);
}

}  // namespace tavelo
