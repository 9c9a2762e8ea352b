#include "tests/media/private_desktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace tavelo::test {

PrivateDesktop& PrivateDesktop::ForThisProcess()
{
    static PrivateDesktop tree;
    static const bool applied = (tree.Apply(), true);
    (void)applied;
    return tree;
}

QString PrivateDesktop::Root() const { return dir_.path(); }

void PrivateDesktop::Apply() const
{
    for (const auto& [name, value] : Environment()) {
        if (value.isEmpty())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}

QProcessEnvironment PrivateDesktop::ApplyTo(QProcessEnvironment env) const
{
    for (const auto& [name, value] : Environment()) {
        if (value.isEmpty())
            env.remove(QString::fromLatin1(name));
        else
            env.insert(QString::fromLatin1(name), QString::fromUtf8(value));
    }
    return env;
}

QString PrivateDesktop::LingerFlag() const { return dir_.path() + QStringLiteral("/launches/.linger"); }

void PrivateDesktop::ClearLaunches() const
{
    QDir launches(dir_.path() + QStringLiteral("/launches"));
    for (const QString& name : launches.entryList(QDir::Files | QDir::Hidden))
        launches.remove(name);
}

QList<LaunchRecord> PrivateDesktop::Launches() const
{
    QList<LaunchRecord> out;
    // Names start with the time in nanoseconds, all of one length for years.
    const QDir launches(dir_.path() + QStringLiteral("/launches"));
    for (const QString& name : launches.entryList(QDir::Files, QDir::Name)) {
        // A record being written (Windows lists such names too).
        if (name.startsWith(QLatin1Char('.')))
            continue;
        QFile f(launches.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QList<QByteArray> fields = f.readAll().split('\0');
        if (!fields.isEmpty() && fields.back().isEmpty())
            fields.removeLast();
        if (fields.isEmpty())
            continue;
        LaunchRecord rec;
        rec.pid = name.section(QLatin1Char('.'), 1, 1).toLongLong();
        rec.cwd = QDir::fromNativeSeparators(QString::fromUtf8(fields.takeFirst()));
        for (const QByteArray& a : fields)
            rec.args << QDir::fromNativeSeparators(QString::fromUtf8(a));
        rec.rawArgs = fields;
        out << rec;
    }
    return out;
}

QList<LaunchRecord> PrivateDesktop::WaitForLaunches(int count, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    QList<LaunchRecord> got = Launches();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        QThread::msleep(20);
        got = Launches();
    }
    return got;
}

std::optional<LaunchRecord> PrivateDesktop::WaitForLaunch(int timeoutMs) const
{
    const QList<LaunchRecord> got = WaitForLaunches(1, timeoutMs);
    if (got.isEmpty())
        return std::nullopt;
    return got.front();
}

}  // namespace tavelo::test
