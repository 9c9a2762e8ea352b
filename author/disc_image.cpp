#include "author/disc_image.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace tavelo::author {

QString DefaultKitFolder()
{
    const QString kit = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kit"));
    return QFileInfo(kit).isDir() ? kit : QString();
}

QString KitProblem(const QString& folder)
{
    const QDir kit(folder);
    if (!kit.exists())
        return QStringLiteral("%1: no such folder").arg(folder);
    if (!QFileInfo(kit.filePath(QStringLiteral("autorun.sh"))).isFile() ||
        !QFileInfo(kit.filePath(QStringLiteral("tavelo"))).isDir())
        return QStringLiteral("%1 is not a kit: it must hold autorun.sh and the folder tavelo/").arg(folder);
    return QString();
}

QStringList KitConflicts(const QString& disc, const QString& kit)
{
    QStringList clashes;
    const QStringList kitEntries =
        QDir(kit).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QStringList discEntries =
        QDir(disc).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    // Windows and the Joliet names see letter case as one name.
    for (const QString& e : kitEntries) {
        if (discEntries.contains(e, Qt::CaseInsensitive))
            clashes << e;
    }
    return clashes;
}

qint64 KitBytes(const QString& kit)
{
    qint64 bytes = 0;
    QDirIterator it(kit, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += (it.fileInfo().size() + 2047) / 2048 * 2048;
    }
    return bytes;
}

QString DefaultLabel(const QString& disc)
{
    const QString name = QFileInfo(QFileInfo(disc).canonicalFilePath()).fileName();
    QString label;
    for (QChar c : name) {
        const char16_t u = c.toUpper().unicode();
        const bool keep = (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
        if (keep)
            label += QChar(u);
        else if (!label.isEmpty() && !label.endsWith(QLatin1Char('_')))
            label += QLatin1Char('_');
    }
    while (label.endsWith(QLatin1Char('_')))
        label.chop(1);
    label.truncate(32);
    return label.isEmpty() ? QStringLiteral("TAVELO") : label;
}

QString BuildImage(const QString& disc, const QString& kit, const QString& output, const QString& label)
{
    const QString xorriso = QStandardPaths::findExecutable(QStringLiteral("xorriso"));
    if (xorriso.isEmpty())
        return QStringLiteral("xorriso is not installed (Debian: apt-get install xorriso)");
    const QString partial = output + QStringLiteral(".partial");
    QFile::remove(partial);

    QStringList args{QStringLiteral("-as"),
                     QStringLiteral("mkisofs"),
                     QStringLiteral("-R"),
                     QStringLiteral("-J"),
                     QStringLiteral("-joliet-long"),
                     QStringLiteral("-input-charset"),
                     QStringLiteral("UTF-8"),
                     QStringLiteral("-V"),
                     label,
                     QStringLiteral("-o"),
                     partial};
    // The kit's autorun.inf goes in with the label added, the name Explorer
    // shows for the drive (up to 32 characters; the Joliet volume name holds
    // only 16).
    QTemporaryDir scratch;
    const QString inf = QDir(kit).filePath(QStringLiteral("autorun.inf"));
    if (QFileInfo(inf).isFile()) {
        QFile in(inf);
        if (!scratch.isValid() || !in.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read %1").arg(inf);
        QByteArray text;
        for (const QByteArray& line : in.readAll().split('\n')) {
            const QByteArray bare = line.trimmed();
            if (!bare.isEmpty() && !bare.toLower().startsWith("label="))
                text += bare + "\r\n";
        }
        QString shown = label;
        for (QChar& c : shown)
            if (c.unicode() < 0x20)
                c = QLatin1Char(' ');
        text += "label=" + shown.toUtf8() + "\r\n";
        QFile out(scratch.filePath(QStringLiteral("autorun.inf")));
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush())
            return QStringLiteral("cannot write a temporary file in %1").arg(scratch.path());
        out.close();
        // With grafts on, "=" and "\" in the other paths must be escaped.
        const auto escaped = [](QString path) {
            return path.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
                .replace(QLatin1Char('='), QStringLiteral("\\="));
        };
        args << QStringLiteral("-x") << inf << QStringLiteral("-graft-points") << escaped(disc) << escaped(kit)
             << QStringLiteral("/autorun.inf=") + escaped(out.fileName());
    } else {
        args << disc << kit;
    }

    QProcess p;
    p.setProgram(xorriso);
    p.setArguments(args);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start();
    if (!p.waitForStarted(-1))
        return QStringLiteral("cannot start xorriso: %1").arg(p.errorString());
    p.waitForFinished(-1);
    const QString log = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QFile::remove(partial);
        return QStringLiteral("xorriso failed:\n%1").arg(log);
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        QFile::remove(partial);
        return QStringLiteral("cannot move the image to %1").arg(output);
    }
    return QString();
}

}  // namespace tavelo::author
