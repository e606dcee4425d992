// DataSource1: the link through which the grid and the note box follow Table1.
#pragma once

#include "ErrorBoundary.h"

#include <QObject>

class TableCursor;

class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr) : QObject(parent) {}
    void setDataSet(TableCursor *cursor)
    {
        m_cursor = cursor;
        ErrorBoundary::throughQt([this] { emit dataSetChanged(); });
    }
    TableCursor *dataSet() const { return m_cursor; }

signals:
    void dataSetChanged();

private:
    TableCursor *m_cursor = nullptr;
};
