// Starts the installed viewer in a directory: the launcher changes into it and
// replaces itself with the viewer, which reads the table from its working directory.
// The viewer is found beside the launcher, by their places below the prefix.
#pragma once

#include <QString>

#include <string>

class ViewerStart
{
public:
    // Returns only on failure, with the German text for the user.
    static QString exec(const std::string &directory);

private:
    // The viewer's path for a launcher at launcherPath.
    static std::string viewerPath(const std::string &launcherPath);
    // The cause of a failed system call, in German (locale-free).
    static QString causeText(int error);
};
