// The launcher's dialogs: a box that says why a file is not shown, with the way
// out, and the file dialog in which the user picks a table CD_GIS.DBF. Used when
// the desktop gives no file that the viewer can show.
#pragma once

#include "TableLaunch.h"

#include <QString>

#include <optional>

class QWidget;

class TableChooser
{
public:
    // Asks until the user has picked a table the viewer will show, or given up
    // (nothing then). Gives the directory to start the viewer in.
    static std::optional<std::string> ask(TableLaunch launch);

private:
    // The box's texts for a file that is not shown.
    static QString reasonText(const TableLaunch &launch);
    static QString adviceText();
    // True when the user wants to pick another table.
    static bool explain(const TableLaunch &launch);
    // The table picked, starting in directory; "" when the dialog is cancelled.
    static QString pickTable(const QString &directory);
};
