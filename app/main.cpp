// Tavelo: the start menu of a music album disc. Started in the disc's top
// folder, it finds everything it shows there at run time and writes nothing.

#include "app/app_title.h"
#include "app/error_report.h"
#include "app/form1.h"
#include "app/message_box_report.h"
#include "app/resources.h"
#include "media/jpeg_image.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);

    tavelo::InstallResources();

    const QString title = tavelo::ApplicationTitleFromFileName(QCoreApplication::applicationFilePath());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/program32.png")));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        tavelo::SetScreenDepth(screen->depth());

    tavelo::MessageBoxReport report(title);
    tavelo::InstallErrorReport(&report);

    tavelo::TForm1 form;
    form.setWindowIcon(QIcon(QStringLiteral(":/icons/window16.png")));
    form.show();
    app.exec();
    tavelo::InstallErrorReport(nullptr);
    return 0;
}
