// The program's icon in every size rendered from MAINICON.svg at build time, for
// the windows and boxes of the viewer and of its launcher.
#pragma once

#include <QIcon>

class MainIcon
{
public:
    // The sizes are announced, not read: a PNG is decoded only when a window asks
    // for its size.
    static QIcon icon();
};
