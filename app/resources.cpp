#include "app/resources.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The resources live in a static library; naming their initialisers keeps the
// linker from dropping them. Q_INIT_RESOURCE must be used outside a namespace.
static void InitCarriedResources()
{
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(fonts);
}

namespace tavelo {

namespace {

// Registers a carried face and returns its family name, or fallback when the
// face cannot be read (the host's fonts are then asked for fallback).
QString gCaptionsFace;

QString AddFace(const QString& path, const QString& fallback)
{
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
    if (families.isEmpty()) {
        qWarning("Cannot register the built-in face %s", qPrintable(path));
        return fallback;
    }
    return families.first();
}

}  // namespace

void InstallResources()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    InitCarriedResources();

    // The window names Windows faces. The captions' face needs Cyrillic and
    // the original's widths, so it travels with the program, as does the
    // window's sans serif; Z003 may not be carried and comes from the host.
    const QString captions = gCaptionsFace =
        AddFace(QStringLiteral(":/fonts/FantasqueSansMono-Regular.otf"), QStringLiteral("Fantasque Sans Mono"));
    const QString sans =
        AddFace(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"), {captions});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), {sans});
    QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"), {sans});
    QFont::insertSubstitutions(QStringLiteral("Monotype Corsiva"), {QStringLiteral("Z003")});
}

void KeepCaptionsInside(QWidget& window)
{
    for (QPushButton* b : window.findChildren<QPushButton*>()) {
        b->ensurePolished();
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const int room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
        if (QFontMetrics(b->font()).size(Qt::TextShowMnemonic, b->text()).width() <= room)
            continue;
        // The stand-in for the face the window names, or the captions' own.
        QFont font = b->font();
        const QStringList standIns = QFont::substitutes(font.family());
        const QString face = standIns.isEmpty() ? gCaptionsFace : standIns.first();
        if (face.isEmpty() || face == font.family())
            continue;
        font.setFamily(face);
        b->setFont(font);
    }
}

}  // namespace tavelo
