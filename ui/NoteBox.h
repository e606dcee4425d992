// DBMemo1: the note box. A flat, read-only (selectable) text box that shows the memo
// field of the cursor's current record, reloaded whenever the record changes, shown
// or not. Word wrap at the box's width; no scroll bar unless the window asks for one.
// A note too long to lay out without holding up the window is shown cut, with a mark
// that says how much is left out (shownText); the record's note itself is untouched.
#pragma once

#include "TableCursor.h"

#include <QPlainTextEdit>
#include <QPointer>

class DataSource;

class NoteBox : public QPlainTextEdit, public CursorView
{
    Q_OBJECT

public:
    explicit NoteBox(QWidget *parent = nullptr);
    ~NoteBox() override;

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    void setFieldName(const QString &name);
    QString fieldName() const { return m_fieldName; }

    // Lines the shown note takes with word wrap at the box's width without a scroll
    // bar, not counting an empty last line; the same whether the box is shown or not.
    // Counting stops at atMost: a note of more lines gives atMost.
    int noteLineCount(int atMost) const;
    void setVerticalScrollBarShown(bool shown);
    bool isVerticalScrollBarShown() const;

    // Every lone CR, lone LF and CR LF of a note as one line break.
    static QString withLineBreaks(const QString &note);

    // Laying out a line of text costs time in proportion to its length and, within a
    // run of characters without a blank, in proportion to the square of that run's
    // length (every wrapped line of the run looks for a break to its end first). The
    // box shows at most this many characters of a note, counted as Field::memoText()
    // gives it (a line break is CR LF, two), and no run longer than this without a
    // blank or line break; the figures come from bench_window --notes (make bench).
    static constexpr qsizetype MaxShownLength = 64 * 1024;
    static constexpr qsizetype MaxShownRunLength = 4 * 1024;
    // What the box shows of a note of fullLength characters, given its first ones (at
    // least MaxShownLength + 1 of them, or all): its line breaks made, up to the first
    // character past either limit; a note cut short ends with a line of its own that
    // says how many characters are left out.
    static QString shownText(const QString &start, qsizetype fullLength);

    // CursorView: the box shows one record.
    int rowsWanted() const override { return 1; }

    void reloadText();

private:
    void bindCursor();
    void unbindCursor();
    qreal lineWidthWithoutScrollBar() const;

    QPointer<DataSource> m_source;
    QPointer<TableCursor> m_cursor;
    QString m_fieldName;
    QList<QMetaObject::Connection> m_cursorConnections;
};
