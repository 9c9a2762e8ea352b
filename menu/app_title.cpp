#include "menu/app_title.h"

namespace tavelo {

QString ApplicationTitleFromFileName(const QString& programPath)
{
    QString name = programPath;
    const qsizetype sep = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (sep >= 0)
        name = name.mid(sep + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name.left(255);
}

}  // namespace tavelo
