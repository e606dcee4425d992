#include "MainIcon.h"

#include <QDirIterator>

QIcon MainIcon::icon()
{
    QIcon icon;
    // One directory per size: :/MAINICON/<n>x<n>/MAINICON.png.
    QDirIterator sizes(QStringLiteral(":/MAINICON"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (sizes.hasNext()) {
        const QString dir = sizes.next();
        const int side = sizes.fileName().section(QLatin1Char('x'), 0, 0).toInt();
        icon.addFile(dir + QStringLiteral("/MAINICON.png"), QSize(side, side));
    }
    return icon;
}
