// Table1: the one cursor on the municipality table. It keeps the current record in
// the active order, the AtStart/AtEnd flags and the record window that the linked
// views (the grid and the note box) show, and tells them of every change. It knows
// the table only through dbase::Engine / dbase::EngineCursor.
#pragma once

#include "Field.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct HeldRecord;

namespace dbase {
class Engine;
class EngineCursor;
struct FieldValue;
} // namespace dbase

// What the cursor asks of a linked view: how many rows it shows and which window
// record is on its top row (used when the window shrinks).
class CursorView
{
public:
    virtual ~CursorView() = default;
    virtual int rowsWanted() const = 0;
    virtual int firstShownRecord() const { return 0; }
};

// One entry of the index list (IndexDefs), rebuilt from the table at open.
struct IndexDef
{
    QString name;
    QString indexFile;
    QString expression; // key expression, or the key field's name
    bool isExpression = false;
    bool descending = false;
    bool unique = false;
    bool caseInsensitive = false;
};

class TableCursor : public QObject
{
    Q_OBJECT

public:
    // The engine is shared with the application frame, which starts and stops it.
    explicit TableCursor(dbase::Engine &engine, QObject *parent = nullptr);
    ~TableCursor() override;

    // Design values (set before opening).
    void setTableName(const QString &name) { m_tableName = name; }
    QString tableName() const { return m_tableName; }
    void setDirectory(const QString &dir) { m_directory = dir; } // "" = working directory
    void setIndexFiles(const QStringList &files) { m_indexFiles = files; }

    // Active := true / false. Opening raises EDBEngineError or EDatabaseError.
    void setActive(bool active);
    bool isActive() const;

    // Moves. All raise the closed-cursor error on a closed cursor.
    int stepBy(int n);
    void stepForward() { stepBy(1); }
    void stepBack() { stepBy(-1); }
    void goToFirst();
    void goToLast();
    bool atStart() const { return m_atStart; }
    bool atEnd() const { return m_atEnd; }
    int recordTotal();
    int recordNumber() const;
    bool numberedInOrder() const;
    void rebuildWindow(bool centre);
    // Place (from 0) of the current record in the active order, asked of the engine
    // without moving; -1 when no record is current.
    int placeInOrder() const;

    // Orders and key search.
    QString indexName() const { return m_indexName; }
    void setIndexName(const QString &name);
    const QList<IndexDef> &indexDefs() const { return m_indexDefs; }
    // Lets the engine build the orders not built yet ahead of their first use, in the
    // background; what every other operation does and answers stays the same. Nothing
    // happens on a closed table.
    void prepareOrders();
    void enterKeyMode();
    void searchNearest();
    bool inKeyMode() const;
    // What the name box searches for: typed with the letters A to Z lowered and every
    // other character as typed (dbase::KeySearch's rule, which tabledump follows too).
    static QString nameSearchText(const QString &typed);

    // Fields, in file order (ordinal = position).
    const QList<Field *> &fields() const { return m_fields; }
    Field *fieldNamed(const QString &name) const; // raises the field-not-found error
    Field *findField(const QString &name) const;  // nullptr when not found

    // The record window as the views see it.
    int windowCount() const;  // records held
    int currentIndex() const; // index of the current record in the window, -1 if none
    // Display text (grid cell text) of a field of the record at a window index.
    QString displayText(int windowIndex, int ordinal) const;

    // Linked views; the largest rowsWanted() (at least 1) sets the window capacity.
    void attachView(const CursorView *view);
    void detachView(const CursorView *view);
    void viewRowsChanged(); // a view's rowsWanted() changed
    int windowCapacity() const;

signals:
    void windowScrolled(int shift);
    void windowChanged();
    void stateChanged(); // opened or closed

private:
    friend class Field;
    struct Private;

    // Opening and closing, in steps.
    void open();
    void openSteps();
    void close();
    void startEngine();
    void readIndexDefs(const std::string &driver);
    const IndexDef *findIndexDef(const QString &name) const;
    void openEngineCursor(const std::string &driver);
    void openIndexFiles(const std::string &driver);
    void buildFields();
    void switchEngineTo(const IndexDef &def);
    void releaseEngineCursor();

    // Fetching around the window, and telling the views.
    bool fetchNext();
    bool fetchPrior();
    bool fetchFromEngine(bool forward, HeldRecord &record);
    // A long move's records skipped within the engine; 0 when the move walks.
    long long skipForward(long long left);
    long long skipBackward(long long left);
    bool fetchRun(bool forward, std::uint32_t from, int n, std::vector<HeldRecord> &records);
    void readBookmark(std::string &bookmark) const;
    void putEngineOn(int windowIndex) const;
    void fillForward();
    int walk(int n);
    // Runs a step, then the notice to the views, whether the step completed or raised
    // (in TableCursorPrivate.h).
    template <typename Step, typename Notice> void runThenNotify(Step &&step, Notice &&notice);
    void notifyMove(int heldBefore);
    void resizeWindow();
    int wantedCapacity() const;

    // Checks and errors.
    void checkActive() const;
    [[noreturn]] void raiseEngineError(unsigned short status) const;
    void check(unsigned short status) const;
    QString withName(const QString &text) const; // "Table1: text"
    void leaveKeyMode();

    // Field access for Field: windowIndex -1 means the current record, or the search
    // key while in key mode. False when there is no such record.
    bool extract(int windowIndex, int ordinal, dbase::FieldValue &value) const;
    QString memoOf(int windowIndex, int ordinal) const;
    // In the table's code page; valid until the next call.
    std::string_view memoBytesOf(int windowIndex, int ordinal) const;
    void putKeyValue(const Field &field, const QString &text);
    int codePage() const;

    std::unique_ptr<Private> d;

    QString m_tableName;
    QString m_directory;
    QStringList m_indexFiles;
    QString m_indexName = QStringLiteral("KLEINGEM");
    QList<IndexDef> m_indexDefs;
    QList<Field *> m_fields;
    bool m_atStart = true;
    bool m_atEnd = true;
};
