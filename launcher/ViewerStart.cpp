#include "ViewerStart.h"

#include <QFile>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

QString ViewerStart::exec(const std::string &directory)
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    const std::string viewer = viewerPath(ec ? std::string() : self.string());
    if (::chdir(directory.c_str()) != 0) {
        return QStringLiteral("Gemeindedaten kann nicht im Ordner „%1“ starten: %2.")
            .arg(QFile::decodeName(directory.c_str()), causeText(errno));
    }
    char *const arguments[] = {const_cast<char *>(viewer.c_str()), nullptr};
    ::execv(viewer.c_str(), arguments);
    return QStringLiteral("Das Programm „%1“ kann nicht gestartet werden: %2.")
        .arg(QFile::decodeName(viewer.c_str()), causeText(errno));
}

std::string ViewerStart::viewerPath(const std::string &launcherPath)
{
    return (fs::path(launcherPath).parent_path() / GD_VIEWER_FROM_LAUNCHER).lexically_normal();
}

QString ViewerStart::causeText(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("nicht vorhanden");
    case EACCES:
    case EPERM:
        return QStringLiteral("keine Berechtigung");
    default:
        return QStringLiteral("Systemfehler %1").arg(error);
    }
}
