#include "DataGrid.h"

#include "DataGridAccessible.h"
#include "DataSource.h"
#include "EInvalidOperation.h"
#include "ErrorBoundary.h"
#include "Field.h"
#include "GridMove.h"
#include "GridPainter.h"
#include "GridScrollBar.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int WheelNotch = 120; // angle delta of one wheel notch

} // namespace

DataGrid::DataGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    DataGridAccessible::install();
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_KeyCompression, false);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    QPalette gridPalette = palette();
    gridPalette.setColor(QPalette::Base, Qt::white); // the grid's colour
    setPalette(gridPalette);

    setVerticalScrollBar(new GridScrollBar);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, RecordBarMaximum);
    bar->setSingleStep(1);
    bar->setPageStep(0);
    bar->setTracking(false);
    bar->setValue(0);
    connect(bar, &QScrollBar::actionTriggered, this, &DataGrid::onRecordBarAction);
    connect(bar, &QScrollBar::sliderReleased, this, &DataGrid::onRecordBarReleased);
}

// Nothing raised while the grid lets go of the cursor leaves the destructor.
DataGrid::~DataGrid()
{
    ErrorBoundary::run([this] { unlinkCursor(); });
}

GridColumn &DataGrid::column(int index)
{
    checkColumnIndex(index);
    return m_columns[static_cast<size_t>(index)];
}

const GridColumn &DataGrid::column(int index) const
{
    checkColumnIndex(index);
    return m_columns[static_cast<size_t>(index)];
}

// A table of another shape has other columns: asking for one it lacks is an error
// that names the index, never a read past the column list.
void DataGrid::checkColumnIndex(int index) const
{
    if (index >= 0 && index < columnCount())
        return;
    const QString range = columnCount() > 0 ? QStringLiteral("0 bis %1").arg(columnCount() - 1)
                                            : QStringLiteral("keine Spalten");
    const QString text = QStringLiteral("Spaltenindex %1 außerhalb des zulässigen Bereichs (%2)")
                             .arg(index)
                             .arg(range);
    throw EInvalidOperation(objectName().isEmpty() ? text
                                                   : objectName() + QStringLiteral(": ") + text);
}

QFont DataGrid::titleFont() const
{
    return m_titleFontSet ? m_titleFont : font();
}

void DataGrid::setTitleFont(const QFont &titleFont)
{
    m_titleFont = titleFont;
    m_titleFontSet = true;
    forgetFontMeasures();
    relayout();
}

const DataGrid::FontMeasures &DataGrid::fontMeasures() const
{
    if (m_measures.digitWidth < 0) {
        const QFontMetrics cell(font());
        const QFontMetrics title(titleFont());
        m_measures.digitWidth = cell.horizontalAdvance(QLatin1Char('0'));
        m_measures.cellHeight = cell.height();
        m_measures.titleHeight = title.height();
    }
    return m_measures;
}

void DataGrid::forgetFontMeasures()
{
    m_measures = FontMeasures();
}

int DataGrid::digitWidth() const
{
    return fontMeasures().digitWidth;
}

int DataGrid::titleTextWidth(const QString &caption) const
{
    fontMeasures();
    auto known = m_measures.titleWidths.constFind(caption);
    if (known == m_measures.titleWidths.cend())
        known = m_measures.titleWidths.insert(caption,
                                              QFontMetrics(titleFont()).horizontalAdvance(caption));
    return *known;
}

// ---- link to Table1 ----------------------------------------------------------------

void DataGrid::setDataSource(DataSource *source)
{
    if (m_source == source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    unlinkCursor();
    m_source = source;
    if (m_source)
        connect(m_source, &DataSource::dataSetChanged, this,
                ErrorBoundary::guarded([this] { linkCursor(); }));
    linkCursor();
}

void DataGrid::linkCursor()
{
    TableCursor *cursor = m_source ? m_source->dataSet() : nullptr;
    if (cursor == m_cursor)
        return;
    unlinkCursor();
    m_cursor = cursor;
    if (!m_cursor)
        return;
    connect(m_cursor, &TableCursor::stateChanged, this,
            ErrorBoundary::guarded([this] { onStateChanged(); }));
    connect(m_cursor, &TableCursor::windowScrolled, this,
            ErrorBoundary::guarded([this](int shift) { followCursor(shift, false); }));
    connect(m_cursor, &TableCursor::windowChanged, this,
            ErrorBoundary::guarded([this] { followCursor(0, true); }));
    onStateChanged();
}

void DataGrid::unlinkCursor()
{
    if (!m_cursor)
        return;
    disconnect(m_cursor, nullptr, this, nullptr);
    if (m_attached)
        m_cursor->detachView(this);
    m_attached = false;
    m_cursor = nullptr;
    m_firstShown = 0;
    for (GridColumn &col : m_columns)
        col.bindField(nullptr);
    viewport()->update();
}

bool DataGrid::isCursorOpen() const
{
    return m_cursor && m_cursor->isActive();
}

bool DataGrid::hasCursorRecords() const
{
    return isCursorOpen() && m_cursor->windowCount() > 0;
}

void DataGrid::onStateChanged()
{
    const bool open = isCursorOpen();
    if (open && !m_attached) {
        buildColumns();
        m_attached = true;
        m_lastRowCount = rowCount();
        m_cursor->attachView(this);
    } else if (!open && m_attached) {
        m_attached = false;
        m_cursor->detachView(this);
        for (GridColumn &col : m_columns)
            col.bindField(nullptr);
    }
    m_firstShown = 0;
    followCursor(0, true);
}

void DataGrid::buildColumns()
{
    const QList<Field *> &fields = m_cursor->fields();
    if (!m_columns.empty()) {
        // Built once and kept for the life of the grid; a reopened table brings new fields.
        for (GridColumn &col : m_columns)
            col.bindField(col.index() < fields.size() ? fields[col.index()] : nullptr);
        return;
    }
    m_columns.reserve(static_cast<size_t>(fields.size()));
    for (int i = 0; i < fields.size(); ++i)
        m_columns.emplace_back(this, fields[i], i);
    m_currentColumn = 0;
    relayout();
}

// ---- following the cursor --------------------------------------------------------

void DataGrid::keepCurrentInRows()
{
    if (!isCursorOpen()) {
        m_firstShown = 0;
        return;
    }
    const int rows = std::max(1, rowCount());
    const int held = m_cursor->windowCount();
    m_firstShown = std::clamp(m_firstShown, 0, std::max(0, held - rows));
    const int current = m_cursor->currentIndex();
    if (current < 0)
        return;
    if (current < m_firstShown)
        m_firstShown = current;
    else if (current >= m_firstShown + rows)
        m_firstShown = current - rows + 1;
}

// shift: the cursor's window shift; the view adds it to its first shown record and
// then moves that index only as far as needed to show the current record.
void DataGrid::followCursor(int shift, bool rebuilt)
{
    const int oldFirst = m_firstShown;
    m_firstShown += shift;
    keepCurrentInRows();
    const int contentShift = shift - (m_firstShown - oldFirst); // rows the old pixels move
    const int rows = rowCount();
    if (rebuilt || std::abs(contentShift) >= rows || m_markRow < 0) {
        viewport()->update();
    } else {
        if (contentShift != 0)
            scrollRows(contentShift);
        updateRow(m_markRow + contentShift);
        updateRow(currentRow());
    }
    m_markRow = isCursorOpen() ? currentRow() : -1;
    updateRecordBar();
    announceCurrentCell();
}

void DataGrid::scrollRows(int rows)
{
    const GridGeometry geometry = gridGeometry();
    const int pitch = geometry.rowHeight() + GridGeometry::LineWidth;
    const QRect area(0, geometry.rowTop(0), viewport()->width(), rowCount() * pitch);
    viewport()->scroll(0, rows * pitch, area);
}

void DataGrid::updateRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const GridGeometry geometry = gridGeometry();
    const int pitch = geometry.rowHeight() + GridGeometry::LineWidth;
    viewport()->update(QRect(0, geometry.rowTop(row), viewport()->width(), pitch));
}

int DataGrid::rowCount() const
{
    return gridGeometry().rowsThatFit();
}

int DataGrid::shownRowCount() const
{
    return gridGeometry().shownRows();
}

int DataGrid::currentRow() const
{
    if (!isCursorOpen() || m_cursor->currentIndex() < 0)
        return 0;
    return m_cursor->currentIndex() - m_firstShown;
}

QString DataGrid::cellText(int column, int row) const
{
    if (!hasCursorRecords() || column < 0 || column >= columnCount() || row < 0)
        return {};
    const int windowIndex = m_firstShown + row;
    if (windowIndex >= m_cursor->windowCount())
        return {};
    return m_cursor->displayText(windowIndex, column);
}

// ---- geometry and layout ---------------------------------------------------------

GridGeometry DataGrid::gridGeometry() const
{
    QList<GridGeometry::Span> spans;
    for (const GridColumn &col : m_columns)
        if (col.isVisible())
            spans.append({col.index(), col.width()});
    const FontMeasures &measures = fontMeasures();
    const int titleHeight = measures.titleHeight + 4;
    const int rowHeight = measures.cellHeight + 3 + GridGeometry::LineWidth;
    GridGeometry geometry(titleHeight, rowHeight, spans, viewport()->size());
    geometry.setHorizontalOffset(horizontalScrollBar()->value());
    int shown = 0;
    if (isCursorOpen()) {
        const int held = m_cursor->windowCount();
        shown = held == 0 ? 1 : std::max(0, held - m_firstShown);
        shown = std::min(shown, geometry.rowsThatFit());
    }
    geometry.setShownRows(shown);
    return geometry;
}

void DataGrid::relayout()
{
    updateHorizontalBar();
    const int rows = rowCount();
    if (rows != m_lastRowCount) {
        m_lastRowCount = rows;
        if (m_attached && m_cursor)
            m_cursor->viewRowsChanged(); // the cursor resizes its window and tells us
        keepCurrentInRows();
        m_markRow = isCursorOpen() ? currentRow() : -1;
    }
    viewport()->update();
}

void DataGrid::updateHorizontalBar()
{
    const GridGeometry geometry = gridGeometry();
    QScrollBar *bar = horizontalScrollBar();
    const int width = viewport()->width();
    bar->setRange(0, std::max(0, geometry.contentWidth() - width));
    bar->setPageStep(std::max(1, width - GridGeometry::IndicatorWidth));
    bar->setSingleStep(digitWidth() * 2);
}

void DataGrid::columnLayoutChanged()
{
    // A hidden column cannot stay current: take the next shown one, else the one before.
    if (m_currentColumn < columnCount() && !column(m_currentColumn).isVisible()) {
        int next = GridGeometry::NoCell;
        int previous = GridGeometry::NoCell;
        for (const GridColumn &col : m_columns) {
            if (!col.isVisible())
                continue;
            if (col.index() > m_currentColumn && next == GridGeometry::NoCell)
                next = col.index();
            if (col.index() < m_currentColumn)
                previous = col.index();
        }
        if (next != GridGeometry::NoCell)
            m_currentColumn = next;
        else if (previous != GridGeometry::NoCell)
            m_currentColumn = previous;
    }
    relayout();
}

void DataGrid::columnContentChanged(int index)
{
    Q_UNUSED(index);
    viewport()->update();
}

void DataGrid::titleChanged(int index)
{
    const QRect cell = gridGeometry().cellRect(index, GridGeometry::TitleRow);
    if (!cell.isEmpty())
        viewport()->update(cell);
}

void DataGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    ErrorBoundary::run([this] { relayout(); });
}

void DataGrid::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        forgetFontMeasures();
        ErrorBoundary::run([this] { relayout(); });
    } else if (event->type() == QEvent::PaletteChange)
        viewport()->update();
}

void DataGrid::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dy); // the vertical bar is a record bar, not a pixel scroller
    if (dx != 0)
        viewport()->update();
}

// ---- painting ----------------------------------------------------------------------

void DataGrid::paintEvent(QPaintEvent *event)
{
    ErrorBoundary::run([this, event] { paint(event->rect()); });
}

void DataGrid::paint(const QRect &exposed)
{
    QPainter painter(viewport());
    painter.fillRect(exposed, palette().color(QPalette::Base));
    if (m_columns.empty() || !isCursorOpen())
        return;
    const GridGeometry geometry = gridGeometry();
    GridPainter cells(painter, palette(), font(), titleFont());
    paintRow(cells, geometry, GridGeometry::TitleRow, exposed);
    for (int row = 0; row < geometry.shownRows(); ++row)
        paintRow(cells, geometry, row, exposed);
}

void DataGrid::paintRow(GridPainter &cells, const GridGeometry &geometry, int row,
                        const QRect &exposed) const
{
    const bool title = row == GridGeometry::TitleRow;
    const int height =
        (title ? geometry.titleHeight() : geometry.rowHeight()) + GridGeometry::LineWidth;
    if (!exposed.intersects(QRect(0, geometry.rowTop(row), viewport()->width(), height)))
        return;
    const bool current = !title && row == currentRow();
    const bool selected = current && hasFocus();
    for (const GridGeometry::Span &span : geometry.columns()) {
        const QRect cell = geometry.cellRect(span.column, row);
        if (!exposed.intersects(cell.adjusted(0, 0, 1, 1)) ||
            cell.right() < GridGeometry::IndicatorWidth)
            continue;
        const GridColumn &col = column(span.column);
        if (title)
            cells.titleCell(cell, col.caption(), col.titleColor());
        else
            cells.dataCell(cell, cellText(span.column, row), col.alignment(), selected);
        cells.cellLines(cell, title);
    }
    // The indicator column stays in place while the data columns scroll under it.
    const QRect indicator = geometry.cellRect(GridGeometry::IndicatorColumn, row);
    cells.indicatorCell(indicator, current);
    cells.cellLines(indicator, true);
}

// ---- focus, mouse and wheel -------------------------------------------------------

bool DataGrid::takeFocus()
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    return hasFocus();
}

void DataGrid::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    ErrorBoundary::run([this] {
        updateRow(currentRow());
        announceCurrentCell();
    });
}

void DataGrid::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    ErrorBoundary::run([this] { updateRow(currentRow()); });
}

void DataGrid::mousePressEvent(QMouseEvent *event)
{
    ErrorBoundary::run([this, event] {
        m_pressAccepted = takeFocus();
        if (m_pressAccepted)
            pressAt(event->position().toPoint());
    });
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A second left press within the double-click time moves nothing; its release
    // still raises the click event again.
    ErrorBoundary::run([this, event] {
        m_pressAccepted = takeFocus();
        if (m_pressAccepted && event->button() != Qt::LeftButton)
            pressAt(event->position().toPoint());
    });
}

void DataGrid::pressAt(const QPoint &pos)
{
    const GridGeometry geometry = gridGeometry();
    const int row = geometry.rowAt(pos.y());
    const int col = geometry.columnAt(pos.x());
    if (row == GridGeometry::NoCell || col == GridGeometry::NoCell)
        return;
    if (row != GridGeometry::TitleRow && row != currentRow())
        stepBy(row - currentRow());
    if (col != GridGeometry::IndicatorColumn)
        setCurrentColumn(col);
}

void DataGrid::mouseReleaseEvent(QMouseEvent *event)
{
    ErrorBoundary::run([this, event] { release(event); });
}

void DataGrid::release(const QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressAccepted)
        return;
    m_pressAccepted = false;
    const QPoint pos = event->position().toPoint();
    const GridGeometry geometry = gridGeometry();
    const int row = geometry.rowAt(pos.y());
    const int col = geometry.columnAt(pos.x());
    if (row == GridGeometry::NoCell || col == GridGeometry::NoCell ||
        col == GridGeometry::IndicatorColumn)
        return;
    if (row == GridGeometry::TitleRow)
        emit titleClick(col);
    else
        emit cellClick(m_currentColumn);
}

// One record per wheel notch, so that the selected row stays on the current record.
void DataGrid::wheelEvent(QWheelEvent *event)
{
    event->accept();
    m_wheelDelta += event->angleDelta().y();
    const int notches = m_wheelDelta / WheelNotch;
    m_wheelDelta -= notches * WheelNotch;
    if (notches != 0)
        ErrorBoundary::run([this, notches] { stepBy(-notches); });
}

void DataGrid::setCurrentColumn(int col)
{
    if (col < 0 || col >= columnCount() || !column(col).isVisible())
        return;
    m_currentColumn = col;
    announceCurrentCell();
}

void DataGrid::stepBy(int n)
{
    if (isCursorOpen() && n != 0)
        m_cursor->stepBy(n);
}

// ---- keyboard ----------------------------------------------------------------------

bool DataGrid::event(QEvent *event)
{
    // Tab and Shift+Tab move between records here instead of moving the focus on.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool plainTab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (plainTab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

// Also reached for Tab and Shift+Tab, from event().
void DataGrid::keyPressEvent(QKeyEvent *event)
{
    const GridMove move = GridMove::forKey(event->key(), event->modifiers(), moveRows());
    event->setAccepted(move.kind() != GridMove::None && isCursorOpen());
    if (event->isAccepted())
        ErrorBoundary::run([this, &move] { apply(move); });
}

GridMove::Rows DataGrid::moveRows() const
{
    return {rowCount(), currentRow(), shownRowCount()};
}

void DataGrid::apply(const GridMove &move)
{
    switch (move.kind()) {
    case GridMove::Step:
        stepBy(move.count());
        break;
    case GridMove::First:
        m_cursor->goToFirst();
        break;
    case GridMove::Last:
        m_cursor->goToLast();
        break;
    case GridMove::FirstColumn:
        setCurrentColumn(gridGeometry().firstColumn());
        break;
    case GridMove::LastColumn:
        setCurrentColumn(gridGeometry().lastColumn());
        break;
    case GridMove::None:
        break;
    }
}

// ---- the grid's own record bar ---------------------------------------------------

void DataGrid::updateRecordBar()
{
    int thumb = RecordBarMaximum / 2;
    if (m_cursor && m_cursor->atStart())
        thumb = 0;
    else if (m_cursor && m_cursor->atEnd())
        thumb = RecordBarMaximum;
    verticalScrollBar()->setValue(thumb);
}

void DataGrid::onRecordBarAction(int action)
{
    recordBarMove(GridMove::forBarAction(action, moveRows()));
}

void DataGrid::onRecordBarReleased()
{
    recordBarMove(GridMove::forBarRelease(verticalScrollBar()->sliderPosition(), moveRows()));
}

// The bar first takes the focus; the thumb then goes back where the cursor's flags
// say, also when the move raised an error.
void DataGrid::recordBarMove(const GridMove &move)
{
    ErrorBoundary::run([this, &move] {
        if (takeFocus() && isCursorOpen())
            apply(move);
    });
    updateRecordBar();
}

// ---- accessibility -----------------------------------------------------------------

void DataGrid::announceCurrentCell()
{
    if (hasFocus() && isCursorOpen())
        DataGridAccessible::announceCurrentCell(this);
}
