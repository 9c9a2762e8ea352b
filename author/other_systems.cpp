#include "author/other_systems.h"

#include <QStringList>

namespace tavelo::author {

namespace {

bool IsControl(QChar c) { return c.unicode() < 0x20; }

}  // namespace

WindowsNameProblem WindowsProblemOf(const QString& name)
{
    for (const QChar c : name)
        if (IsControl(c) || QStringView(u"<>:\"/\\|?*").contains(c))
            return WindowsNameProblem::Character;
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return WindowsNameProblem::TrailingDotOrSpace;
    // The device names stand alone or before any extension; Windows drops
    // blanks before the dot too.
    QString stem = name.section(QLatin1Char('.'), 0, 0);
    while (stem.endsWith(QLatin1Char(' ')))
        stem.chop(1);
    stem = stem.toUpper();
    static const QStringList kDevices{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL")};
    if (kDevices.contains(stem))
        return WindowsNameProblem::DeviceName;
    if (stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
        stem[3].isDigit() && stem[3].unicode() < 0x80)
        return WindowsNameProblem::DeviceName;
    return WindowsNameProblem::None;
}

QString JolietName(const QString& name)
{
    QString out = name;
    for (QChar& c : out)
        if (IsControl(c) || QStringView(u"*/:;?\\").contains(c))
            c = QLatin1Char('_');
    return out;
}

}  // namespace tavelo::author
