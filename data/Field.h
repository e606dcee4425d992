// One field of the table as the window sees it: name, kind, widths, alignment, and
// the value in the cursor's current record (or in the search key while in key mode).
#pragma once

#include <QString>
#include <Qt>

class TableCursor;

class Field
{
public:
    enum class Kind { String, SmallInt, Memo, Other };

    Field(TableCursor *cursor, int ordinal, const QString &name, Kind kind, int size);

    QString fieldName() const { return m_name; } // translated to Unicode (e.g. "LÄNGE")
    int ordinal() const { return m_ordinal; }    // 0-based position in the field list
    Kind kind() const { return m_kind; }
    int size() const { return m_size; } // width in characters (text fields)
    // Characters a view reserves: a text field's width, 10 for every other kind.
    int displayWidth() const;
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    QString displayLabel() const { return m_name; }

    // The current record's value.
    bool isNull() const;
    QString displayText() const; // "(MEMO)" / "(Memo)" for the memo
    QString asString() const;
    QString memoText() const; // the whole note with CR LF line breaks
    // The first maxLength characters of memoText(), and in fullLength the length of
    // all of it; only the part returned is converted.
    QString memoTextStart(qsizetype maxLength, qsizetype &fullLength) const;
    // Only while the cursor is in key mode: puts the text into the search key.
    void setAsString(const QString &text);

private:
    friend class TableCursor;
    // Display text of the record at a window index (-1: the current record).
    QString displayTextAt(int windowIndex) const;

    TableCursor *m_cursor;
    int m_ordinal;
    QString m_name;
    Kind m_kind;
    int m_size;
    Qt::Alignment m_alignment;
};
