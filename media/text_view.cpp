#include "media/text_view.h"

#include "app/errors.h"
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

void FillPlain(QTextDocument* doc, const QString& text)
{
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    doc->clear();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.setBlockFormat(QTextBlockFormat());
    cursor.setBlockCharFormat(QTextCharFormat());
    // insertText makes every "\n" a paragraph, all in the view's defaults.
    cursor.insertText(text, QTextCharFormat());
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
}

}  // namespace

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent)
{
    Configure(settings_);
}

void TRichEdit::Configure(const TRichEditSettings& settings)
{
    settings_ = settings;

    setReadOnly(settings.ReadOnly);
    if (settings.ReadOnly)
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(!settings.WantTabs);

    setLineWrapMode(settings.WordWrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const bool horizontal = settings.ScrollBars == TScrollStyle::ssHorizontal || settings.ScrollBars == TScrollStyle::ssBoth;
    const bool vertical = settings.ScrollBars == TScrollStyle::ssVertical || settings.ScrollBars == TScrollStyle::ssBoth;
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
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
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
    const int fd = OpenForReading(path);
    FileCloser closer(fd);
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

void LoadTextFile(TRichEdit* view, const QString& path)
{
    QByteArray bytes = ReadTextFile(path);

    QTextDocument* doc = view->document();
    try {
        if (ReadsAsRtf(view->Settings(), bytes)) {
            ReadRtf(bytes, doc);
        } else {
            const std::optional<QString> text = DecodePlainText(bytes);
            if (!text)
                throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
            bytes = QByteArray();  // the bytes are no longer needed; a long text needs the room
            FillPlain(doc, *text);
        }
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(QStringLiteral("Failed to Load Stream"));
    }
    doc->setModified(false);

    view->setTextCursor(QTextCursor(doc));
    view->horizontalScrollBar()->setValue(0);
    view->verticalScrollBar()->setValue(0);
}

}  // namespace tavelo
