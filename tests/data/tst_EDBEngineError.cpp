// The message of an engine error, composed from the engine's texts and error stack.
#include "DatabaseErrors.h"
#include "FakeEngine.h"

#include <QTest>

using fake::FakeEngine;
using fake::FakeErrorEntry;

Q_DECLARE_METATYPE(std::vector<FakeErrorEntry>)

class tst_EDBEngineError : public QObject
{
    Q_OBJECT

private slots:
    void message_data();
    void message();
    void entries();
    void notStarted();
    void endlessErrorStackIsCut();
};

void tst_EDBEngineError::message_data()
{
    QTest::addColumn<bool>("started");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("codeText");
    QTest::addColumn<std::vector<FakeErrorEntry>>("stack");
    QTest::addColumn<QString>("expected");

    const std::vector<FakeErrorEntry> none;
    QTest::newRow("code text trimmed") << true << 0x2401 << QStringLiteral(" \tDatei fehlt.\r\n")
                                       << none << QStringLiteral("Datei fehlt.");
    QTest::newRow("no text") << true << 0x2401 << QString() << none
                             << QStringLiteral("BDE-Fehler $2401");
    QTest::newRow("no text, blanks only")
        << true << 0x2a0b << QStringLiteral("  \n") << none << QStringLiteral("BDE-Fehler $2A0B");
    QTest::newRow("no text, short code")
        << true << 0x2a << QString() << none << QStringLiteral("BDE-Fehler $002A");
    QTest::newRow("entry with native 0 brings its code's text")
        << true << 0x2401 << QStringLiteral("Datei fehlt.")
        << std::vector<FakeErrorEntry>{{0x2402, 0, "Tabelle: CD_GIS.DBF"}}
        << QStringLiteral("Datei fehlt.\r\nNicht lesbar.\r\nTabelle: CD_GIS.DBF");
    QTest::newRow("native code: own text only")
        << true << 0x2401 << QStringLiteral("Datei fehlt.")
        << std::vector<FakeErrorEntry>{{0x2402, 5, " Zugriff verweigert "}}
        << QStringLiteral("Datei fehlt.\r\nZugriff verweigert");
    QTest::newRow("repeated lines ignoring case")
        << true << 0x2401 << QStringLiteral("Datei fehlt.")
        << std::vector<FakeErrorEntry>{{0x2401, 0, "DATEI FEHLT."},
                                       {0x2402, 3, "Pfad: C:\\"},
                                       {0x2402, 3, "pfad: c:\\"}}
        << QStringLiteral("Datei fehlt.\r\nPfad: C:\\");
    QTest::newRow("empty entry text skipped")
        << true << 0x2401 << QString()
        << std::vector<FakeErrorEntry>{{0x2402, 7, "  "}, {0x2402, 7, "Ende"}}
        << QStringLiteral("Ende");
    QTest::newRow("0x2EC4 leaves out the engine's texts")
        << true << 0x2ec4 << QStringLiteral("Allgemeiner SQL-Fehler.")
        << std::vector<FakeErrorEntry>{{0x2402, 0, "Server: Tabelle gesperrt"}}
        << QStringLiteral("Server: Tabelle gesperrt");
    QTest::newRow("0x2EC4 with nothing else")
        << true << 0x2ec4 << QStringLiteral("Allgemeiner SQL-Fehler.") << none
        << QStringLiteral("BDE-Fehler $2EC4");
    QTest::newRow("not started")
        << false << 0x2108 << QStringLiteral("Bibliothek fehlt") << none
        << QStringLiteral("Bei der Initialisierung der Borland Database Engine ist ein "
                          "Fehler aufgetreten (Fehler $2108)");
    QTest::newRow("not started, 0x2F01") << false << 0x2f01 << QStringLiteral("Nicht bereit")
                                         << none << QStringLiteral("Nicht bereit");
}

void tst_EDBEngineError::message()
{
    QFETCH(bool, started);
    QFETCH(int, code);
    QFETCH(QString, codeText);
    QFETCH(std::vector<FakeErrorEntry>, stack);
    QFETCH(QString, expected);
    FakeEngine engine;
    engine.setStarted(started);
    engine.setErrorText(dbase::Status(code), codeText.toStdString());
    engine.setErrorText(0x2402, "Nicht lesbar.");
    engine.setErrorEntries(stack);
    const EDBEngineError e(engine, code);
    QCOMPARE(e.message(), expected);
    QCOMPARE(e.errorCode(), code);
    QCOMPARE(QString::fromUtf8(e.what()), expected);
    QVERIFY(!e.message().startsWith(QStringLiteral("Table1")));
}

void tst_EDBEngineError::entries()
{
    FakeEngine engine;
    engine.setStarted(true);
    engine.setErrorText(0x2401, "  Datei fehlt.  ");
    engine.setErrorEntries({{0x2402, 9, " Pfad "}, {0x2403, 0, "x"}});
    const EDBEngineError e(engine, 0x2401);
    QCOMPARE(e.errors().size(), 3);
    QCOMPARE(e.errors()[0].errorCode, 0x2401);
    QCOMPARE(e.errors()[0].nativeError, 0);
    QCOMPARE(e.errors()[0].message, QStringLiteral("Datei fehlt."));
    QCOMPARE(e.errors()[1].errorCode, 0x2402);
    QCOMPARE(e.errors()[1].nativeError, 9);
    QCOMPARE(e.errors()[1].message, QStringLiteral(" Pfad ")); // as the engine gave it
    QCOMPARE(e.errors()[2].errorCode, 0x2403);
}

void tst_EDBEngineError::notStarted()
{
    const EDBEngineError e = EDBEngineError::notStarted(0x2501);
    const QString text =
        QStringLiteral("Bei der Initialisierung der Borland Database Engine ist ein Fehler "
                       "aufgetreten (Fehler $2501)");
    QCOMPARE(e.message(), text);
    QCOMPARE(e.errors().size(), 1);
    QCOMPARE(e.errors()[0].message, text);
    QCOMPARE(e.typeName(), "EDBEngineError");
}

void tst_EDBEngineError::endlessErrorStackIsCut()
{
    FakeEngine engine;
    engine.setStarted(true);
    engine.setErrorText(0x2401, "Datei fehlt.");
    engine.setErrorEntries(std::vector<FakeErrorEntry>(500, {0x2402, 1, "immer wieder"}));
    const EDBEngineError e(engine, 0x2401);
    QCOMPARE(e.message(), QStringLiteral("Datei fehlt.\r\nimmer wieder"));
    QVERIFY(e.errors().size() < 500);
}

QTEST_GUILESS_MAIN(tst_EDBEngineError)
#include "tst_EDBEngineError.moc"
