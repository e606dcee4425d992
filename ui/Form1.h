// The main window: the design loaded from Form1.ui, the table Table1 with its link
// DataSource1, the start-up layout (formCreate) and the handlers of the window's
// controls. The handlers catch nothing: the error boundary (ErrorBoundary) around
// every entry from Qt hands an error to the application frame, which shows it.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

namespace dbase {
class Engine;
}
namespace Ui {
class Form1;
}
class DataSource;
class QFocusEvent;
class TableCursor;

class Form1 : public QWidget
{
    Q_OBJECT

public:
    // Installs the application's deactivation handler (the frame's part of FormCreate).
    using DeactivationInstaller = std::function<void(std::function<void()>)>;

    // Loads the design, then completes loading in design order: Table1 opens (the
    // engine starts if it is not running yet) and the grid builds its columns.
    // Engine and table errors propagate as Exceptions; nothing is left half-built.
    explicit Form1(dbase::Engine &engine, DeactivationInstaller installDeactivation = {},
                   QWidget *parent = nullptr);
    ~Form1() override;

    // Maps the design's font families onto fonts every machine here has.
    static void installFontSubstitutes();

    // The creation handler, run by the frame once after construction.
    void FormCreate();

    // Handlers, named after their control and event.
    void DBGrid1TitleClick(int column);
    void DBGrid1CellClick(int column);
    void ScrollBar1Scroll(int scrollCode, int &scrollPos);
    void BitBtn1Click();
    void Edit1Exit();
    void Edit1KeyDown(int key);
    void AppDeactivate();
    // The note-box update shared by ScrollBar1Scroll and Edit1KeyDown.
    void updateNoteBox();

    TableCursor *table1() const { return m_table.get(); }
    DataSource *dataSource1() const { return m_dataSource; }
    const Ui::Form1 &ui() const { return *m_ui; }
    // -1: no column marked.
    int markedColumn() const { return m_markedColumn; }
    int rowPosition() const { return m_rowPosition; }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scaleToScreen();
    void scaleGeometry(int numerator, int denominator);
    void openTable(dbase::Engine &engine);
    void connectHandlers();
    bool focusGoesToAnotherControl(const QFocusEvent &event) const;
    void layOutGrid();
    void placeLeaderLines();
    void placeRecordScrollBar();
    void markColumn(int column);
    bool currentRecordHasNote() const;
    int gridColumnWidth(int column) const;

    std::unique_ptr<Ui::Form1> m_ui;
    std::unique_ptr<TableCursor> m_table;
    DataSource *m_dataSource = nullptr;
    DeactivationInstaller m_installDeactivation;
    int m_markedColumn = -1;
    int m_rowPosition = 0;
    int m_noteBoxLeft = 0;
    bool m_painted = false;
};
