#include "TableChooser.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString fromLocal(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

} // namespace

std::optional<std::string> TableChooser::ask(TableLaunch launch)
{
    while (launch.outcome() != TableLaunch::Outcome::Open) {
        if (launch.outcome() != TableLaunch::Outcome::Choose && !explain(launch))
            return std::nullopt;
        const QString picked = pickTable(fromLocal(launch.directory()));
        if (picked.isEmpty())
            return std::nullopt;
        launch = TableLaunch::forFile(QFile::encodeName(picked).toStdString());
    }
    return launch.directory();
}

QString TableChooser::reasonText(const TableLaunch &launch)
{
    const QString name = QFileInfo(fromLocal(launch.file())).fileName();
    if (launch.outcome() == TableLaunch::Outcome::Missing)
        return QStringLiteral("Die Datei „%1“ ist nicht vorhanden.").arg(fromLocal(launch.file()));
    return QStringLiteral("Gemeindedaten zeigt nur Tabellen mit dem Namen CD_GIS.DBF, nicht „%1“.")
        .arg(name);
}

QString TableChooser::adviceText()
{
    return QStringLiteral("Bitte wählen Sie die Datei CD_GIS.DBF des Ordners, dessen Tabelle "
                          "Sie ansehen wollen; daneben müssen CD_GIS.DBT und CD_GIS.MDX liegen.");
}

bool TableChooser::explain(const TableLaunch &launch)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Gemeindedaten"), reasonText(launch));
    box.setInformativeText(adviceText());
    QPushButton *choose =
        box.addButton(QStringLiteral("Tabelle wählen …"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(choose);
    box.exec();
    return box.clickedButton() == choose;
}

// The name filter takes every letter case, as the viewer does; the dialog's own
// matching is case-blind, a desktop's native dialog may not be.
QString TableChooser::pickTable(const QString &directory)
{
    QFileDialog dialog(nullptr, QStringLiteral("Tabelle CD_GIS.DBF öffnen"), directory);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(
        QStringLiteral("Gemeindetabelle CD_GIS.DBF ([Cc][Dd]_[Gg][Ii][Ss].[Dd][Bb][Ff])"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
