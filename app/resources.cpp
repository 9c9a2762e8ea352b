#include "app/resources.h"

#include <QFont>
#include <QFontDatabase>
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
    const QString captions =
        AddFace(QStringLiteral(":/fonts/FantasqueSansMono-Regular.otf"), QStringLiteral("Fantasque Sans Mono"));
    const QString sans =
        AddFace(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"), {captions});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), {sans});
    QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"), {sans});
    QFont::insertSubstitutions(QStringLiteral("Monotype Corsiva"), {QStringLiteral("Z003")});
}

}  // namespace tavelo
