// DBMemo1: the note box. A flat, read-only (selectable) text box that shows the memo
// field of the cursor's current record, reloaded whenever the record changes, shown
// or not. Word wrap at the box's width; no scroll bar unless the window asks for one.
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

    // Lines the note takes with word wrap at the box's width without a scroll bar,
    // not counting an empty last line; the same whether the box is shown or not.
    int noteLineCount() const;
    void setVerticalScrollBarShown(bool shown);
    bool isVerticalScrollBarShown() const;

    // Every lone CR, lone LF and CR LF of a note as one line break.
    static QString withLineBreaks(const QString &note);

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
