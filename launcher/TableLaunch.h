// What a start from the desktop comes to. The desktop gives the launcher the file
// the user opened (or nothing, from the application menu); the viewer itself takes
// no arguments and reads CD_GIS.DBF from its working directory, whatever the letter
// case of the name. A file is opened only when it is the very file the viewer will
// read in its directory, so that the window never shows another table than the one
// the user chose.
#pragma once

#include <string>
#include <vector>

class TableLaunch
{
public:
    enum class Outcome {
        Open,       // start the viewer in directory()
        Choose,     // no file given (or a folder): let the user pick a table there
        Missing,    // the file given does not exist
        OtherTable, // the file is not the table the viewer reads in its folder
    };

    // The desktop passes one file at most (%f); anything after it is ignored.
    static TableLaunch forArguments(const std::vector<std::string> &arguments);
    static TableLaunch forFile(const std::string &file);

    Outcome outcome() const { return m_outcome; }
    // The file as given, or "" for none.
    const std::string &file() const { return m_file; }
    // Where the viewer starts (Open), else where the user is offered to choose.
    const std::string &directory() const { return m_directory; }

private:
    TableLaunch(Outcome outcome, std::string file, std::string directory);

    Outcome m_outcome;
    std::string m_file;
    std::string m_directory;
};
