// Which file the launcher opens: only the table the viewer will read in the file's
// folder, in any letter case, from any folder name; anything else leads to a choice.
#include "TableLaunch.h"

#include <QtTest>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using Outcome = TableLaunch::Outcome;

class tst_TableLaunch : public QObject
{
    Q_OBJECT

private slots:
    void decision_data();
    void decision();
};

void tst_TableLaunch::decision_data()
{
    QTest::addColumn<QStringList>("files"); // in the folder
    QTest::addColumn<QString>("argument");  // relative to the folder; "-" for none
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("inFolder"); // directory() is the folder, else the start's

    const QStringList table{QStringLiteral("CD_GIS.DBF")};
    QTest::newRow("the table") << table << "CD_GIS.DBF" << int(Outcome::Open) << true;
    QTest::newRow("lower case") << QStringList{"cd_gis.dbf"} << "cd_gis.dbf" << int(Outcome::Open)
                                << true;
    // The viewer takes the exact name; the twin would show another table.
    QTest::newRow("case twin") << QStringList{"CD_GIS.DBF", "cd_gis.dbf"} << "cd_gis.dbf"
                               << int(Outcome::OtherTable) << true;
    QTest::newRow("other name") << QStringList{"CD_GIS.DBF", "Gemeinden.dbf"} << "Gemeinden.dbf"
                                << int(Outcome::OtherTable) << true;
    QTest::newRow("missing") << QStringList{} << "CD_GIS.DBF" << int(Outcome::Missing) << true;
    QTest::newRow("folder") << table << "." << int(Outcome::Choose) << true;
    QTest::newRow("no file") << table << "-" << int(Outcome::Choose) << false;
    QTest::newRow("empty argument") << table << "" << int(Outcome::Choose) << false;
}

void tst_TableLaunch::decision()
{
    QFETCH(QStringList, files);
    QFETCH(QString, argument);
    QFETCH(int, outcome);
    QFETCH(bool, inFolder);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const fs::path folder = fs::path(root.path().toStdString()) / "Tabellen \"Süd\" Ölberg's";
    fs::create_directory(folder);
    for (const QString &name : files)
        std::ofstream(folder / name.toStdString()) << name.toStdString();

    std::vector<std::string> arguments;
    if (argument != QLatin1String("-"))
        arguments.push_back(argument.isEmpty() ? std::string()
                                               : (folder / argument.toStdString()).string());
    const TableLaunch launch = TableLaunch::forArguments(arguments);
    QCOMPARE(int(launch.outcome()), outcome);
    QVERIFY(fs::equivalent(launch.directory(), inFolder ? folder : fs::current_path()));
}

QTEST_APPLESS_MAIN(tst_TableLaunch)
#include "tst_TableLaunch.moc"
