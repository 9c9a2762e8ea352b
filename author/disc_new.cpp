#include "author/disc_new.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavelo::author {

namespace {

const char* const kFolders[] = {"picture", "sound", "text", "about group", "about disk", "help", "player"};

// Shown by the menu's Help page until the author writes their own.
const char kHelpTemplate[] = "Как пользоваться меню\n"
                             "\n"
                             "Кнопки слева открывают разделы диска.\n"
                             "\n"
                             "«Слайды» - фотографии группы: <--- и ---> листают снимки,\n"
                             "«Автопоказ» меняет их сам каждые четыре секунды.\n"
                             "\n"
                             "Песни - в списке справа: выберите песню,\n"
                             "и она зазвучит, а её слова появятся на экране.\n"
                             "\n"
                             "«О Группе» и «О Диске» рассказывают о группе и о диске.\n"
                             "\n"
                             "«Player» - проигрыватель с диска:\n"
                             "«Установить» ставит его, «Запустить» открывает сразу.\n";

}  // namespace

QString NewDisc(const QString& dir)
{
    const QFileInfo info(dir);
    if (info.exists()) {
        if (!info.isDir())
            return QStringLiteral("%1 exists and is not a folder").arg(dir);
        if (!QDir(dir).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            return QStringLiteral("%1 exists and is not empty; give a new or empty folder").arg(dir);
    } else if (!QDir().mkpath(dir)) {
        return QStringLiteral("cannot make the folder %1").arg(dir);
    }
    const QDir root(dir);
    for (const char* name : kFolders) {
        if (!root.mkpath(QString::fromUtf8(name)))
            return QStringLiteral("cannot make the folder %1").arg(root.filePath(QString::fromUtf8(name)));
    }
    QFile help(root.filePath(QStringLiteral("help/help.txt")));
    const QByteArray text(kHelpTemplate);
    if (!help.open(QIODevice::WriteOnly | QIODevice::NewOnly) || help.write(text) != text.size() || !help.flush())
        return QStringLiteral("cannot write %1: %2").arg(help.fileName(), help.errorString());
    return QString();
}

}  // namespace tavelo::author
