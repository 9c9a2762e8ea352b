// Tavelo: the start menu of a music album disc. Started in the disc's top
// folder, it finds everything it shows there at run time and writes nothing.

#include "app/message_box_report.h"
#include "app/resources.h"
#include "base/error_report.h"
#include "content/file_system.h"
#include "media/jpeg_image.h"
#include "media/launcher.h"
#include "menu/app_title.h"
#include "menu/form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QScreen>

#include <memory>

namespace {

// The disc kit lays the program out as tavelo/bin/tavelo beside
// tavelo/plugins and tavelo/fonts; returns that tavelo folder, or empty when
// the program runs from anywhere else.
QString KitFolder()
{
    QDir dir = QFileInfo(tavelo::ProgramFilePath()).dir();
    return dir.cdUp() && dir.exists(QStringLiteral("plugins/platforms")) ? dir.path() : QString();
}

}  // namespace

int main(int argc, char** argv)
{
    tavelo::TakePlayersStandardError();

    // From a kit only the kit's plugins are used, whatever QT_PLUGIN_PATH the
    // desktop set for its own Qt programs; the environment stays as it is
    // for the players this program starts.
    const QString kit = KitFolder();
    if (!kit.isEmpty())
        QCoreApplication::setLibraryPaths({kit + QStringLiteral("/plugins")});

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);

    // The kit carries the faces the program cannot carry inside itself;
    // they are registered for this process only.
    if (!kit.isEmpty()) {
        const QDir fonts(kit + QStringLiteral("/fonts"));
        for (const QString& name : fonts.entryList(QDir::Files))
            QFontDatabase::addApplicationFont(fonts.filePath(name));
    }
    tavelo::InstallResources();

    const QString title = tavelo::ApplicationTitleFromFileName(QCoreApplication::applicationFilePath());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/program32.png")));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        tavelo::SetScreenDepth(screen->depth());

    tavelo::MessageBoxReport report(title);
    tavelo::InstallErrorReport(&report);

    // Building the window runs through the guard like every other entry:
    // a failure is shown, and the program ends without a window.
    std::unique_ptr<tavelo::TForm1> form;
    if (!tavelo::Guarded([&] { form = std::make_unique<tavelo::TForm1>(); }))
        return 1;
    form->setWindowIcon(QIcon(QStringLiteral(":/icons/window16.png")));
    tavelo::KeepCaptionsInside(*form);
    form->show();
    app.exec();
    form.reset();
    tavelo::InstallErrorReport(nullptr);
    return 0;
}
