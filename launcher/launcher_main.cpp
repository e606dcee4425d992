// The desktop entry's program: opens the file the desktop gives it by starting the
// viewer in that file's directory. Without a file (from the application menu), or
// with one the viewer would not show, it asks for a table CD_GIS.DBF first. The
// viewer keeps its own contract: no arguments, the table from the working directory.
#include "MainIcon.h"
#include "TableChooser.h"
#include "TableLaunch.h"
#include "ViewerStart.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QTranslator>

#include <optional>

namespace {

// The dialogs' application: the program's icon and desktop entry, and Qt's texts and
// the file dialog's dates in German, whatever the locale. Like the viewer, the
// launcher keeps nothing: Qt's file dialog would note its folders in the user's
// QtProject.conf, so the user settings' directory is one that cannot exist.
void prepare(QApplication &application, QTranslator &qtTexts)
{
    application.setWindowIcon(MainIcon::icon());
    QGuiApplication::setDesktopFileName(QStringLiteral(GD_APP_ID));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Austria));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    if (qtTexts.load(QStringLiteral("qtbase_de"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
}

} // namespace

int main(int argc, char *argv[])
{
    const TableLaunch launch = TableLaunch::forArguments({argv + 1, argv + argc});
    std::optional<std::string> directory;
    if (launch.outcome() == TableLaunch::Outcome::Open) {
        directory = launch.directory(); // straight on: no window of the launcher's own
    } else {
        QApplication application(argc, argv);
        QTranslator qtTexts;
        prepare(application, qtTexts);
        directory = TableChooser::ask(launch);
    }
    if (!directory)
        return 0;
    const QString failure = ViewerStart::exec(*directory);
    QApplication application(argc, argv);
    QTranslator qtTexts;
    prepare(application, qtTexts);
    QMessageBox::critical(nullptr, QStringLiteral("Gemeindedaten"), failure);
    return 1;
}
