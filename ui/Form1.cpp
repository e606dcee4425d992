#include "Form1.h"

#include "ui_Form1.h"

#include "DataGrid.h"
#include "DataSource.h"
#include "DatabaseErrors.h"
#include "Engine.h"
#include "ErrorBoundary.h"
#include "Field.h"
#include "NoteBox.h"
#include "RecordScrollBar.h"
#include "SearchButton.h"
#include "Shape.h"
#include "TableCursor.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScrollBar>

#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// Grid columns by field ordinal.
constexpr int ColGemeinde = 0, ColBezirk = 2, ColBl = 3, ColMin = 7, ColMax = 8, ColJahresmitt = 9,
              ColPotential = 10, ColText = 13;
// Columns the window does not show, and the four right-aligned value columns.
constexpr std::array HiddenColumns{1, 4, 5, 6, 11, 12, 13};
constexpr std::array ValueColumns{ColMin, ColMax, ColJahresmitt, ColPotential};
// The grid is as high as this many lines of its font.
constexpr int GridHeightInLines = 15;
// Notes longer than this many lines get a vertical scroll bar.
constexpr int NoteLinesWithoutScrollBar = 5;
// The display text of a memo field that holds a note.
const QString NoteMarker = QStringLiteral("(MEMO)");
// The order and key field of the name search, as the search names them.
const QString NameOrder = QStringLiteral("Kleingem");
const QString NameOrderOfTitle = QStringLiteral("KLEINGEM");
const QString NameField = QStringLiteral("GEMEINDE");

int scaled(int value, int numerator, int denominator)
{
    return int(std::lround(double(value) * numerator / denominator));
}

// Pixel size of a font whether it was given in pixels or in points.
int pixelSizeOf(const QFont &font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

void setFontPixelHeight(QWidget *widget, int height)
{
    QFont font = widget->font();
    font.setPixelSize(std::max(1, std::abs(height)));
    widget->setFont(font);
}

// Width of the area inside the grid's border and scroll bars. The grid may still be
// hidden, so it lays out its children first; an error the grid raises meanwhile is
// raised here, and the caller's later steps are skipped.
int clientWidth(QAbstractScrollArea *area)
{
    QResizeEvent resize(area->size(), area->size());
    ErrorBoundary::throughQt([&] { QCoreApplication::sendEvent(area, &resize); });
    return area->viewport()->width();
}

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

// The design's fonts do not exist here. DejaVu Sans Condensed at 11 pixels has the
// design's text height (13) and about its character widths, so nothing is scaled and
// the legend texts fit their boxes; the button's heavy face is DejaVu Sans in bold.
void Form1::installFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"),
                              QStringLiteral("DejaVu Sans Condensed"));
    QFont::insertSubstitution(QStringLiteral("Arial Black"), QStringLiteral("DejaVu Sans"));
}

Form1::Form1(dbase::Engine &engine, DeactivationInstaller installDeactivation, QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::Form1>()),
      m_installDeactivation(std::move(installDeactivation))
{
    installFontSubstitutes();
    m_ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    scaleToScreen();
    setFixedSize(size());
    m_noteBoxLeft = m_ui->DBMemo1->x();
    try {
        openTable(engine);
    } catch (...) {
        // The controls are bound to Table1: they go before it does.
        qDeleteAll(findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
        throw;
    }
    connectHandlers();
}

// Table1 closes before the controls go, so that no view reads a record or a note on
// its way out; nothing raised here leaves the destructor.
Form1::~Form1()
{
    ErrorBoundary::run([this] {
        if (m_table)
            m_table->setActive(false);
    });
    qDeleteAll(findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
}

// The design holds pixel sizes for 96 pixels per inch and a text height of 13.
void Form1::scaleToScreen()
{
    const int designPpi = property("designPixelsPerInch").toInt();
    int height = property("fontPixelHeight").toInt();
    if (logicalDpiY() != designPpi)
        height = scaled(height, logicalDpiY(), designPpi);
    setFontPixelHeight(this, height);
    for (QWidget *child : findChildren<QWidget *>()) {
        const QVariant own = child->property("fontPixelHeight");
        if (own.isValid())
            setFontPixelHeight(child, own.toInt());
    }
    const int textHeight = QFontMetrics(font()).height();
    const int designTextHeight = property("designTextHeight").toInt();
    if (textHeight != designTextHeight)
        scaleGeometry(textHeight, designTextHeight);
}

// Scales edges rather than sizes, so that adjacent controls stay adjacent.
void Form1::scaleGeometry(int numerator, int denominator)
{
    QList<QWidget *> controls = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    controls += m_ui->Panel1->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls) {
        const QRect r = control->geometry();
        const int left = scaled(r.x(), numerator, denominator);
        const int top = scaled(r.y(), numerator, denominator);
        const int width = scaled(r.x() + r.width(), numerator, denominator) - left;
        int height = scaled(r.y() + r.height(), numerator, denominator) - top;
        if (control->property("autoHeight").toBool())
            height = r.height();
        control->setGeometry(left, top, width, height);
        if (control->property("fontPixelHeight").isValid())
            setFontPixelHeight(control,
                               scaled(pixelSizeOf(control->font()), numerator, denominator));
    }
    resize(scaled(width(), numerator, denominator), scaled(this->height(), numerator, denominator));
}

// Load completion: the links first, then Table1 opens and the grid builds its columns.
void Form1::openTable(dbase::Engine &engine)
{
    m_table = std::make_unique<TableCursor>(engine);
    m_table->setObjectName(QStringLiteral("Table1"));
    m_table->setTableName(property("table1TableName").toString());
    m_table->setIndexFiles(property("table1IndexFiles").toStringList());
    m_table->setIndexName(property("table1IndexName").toString());
    m_dataSource = new DataSource(this);
    m_dataSource->setObjectName(QStringLiteral("DataSource1"));
    m_dataSource->setDataSet(m_table.get());
    m_ui->DBGrid1->setDataSource(m_dataSource);
    m_ui->DBMemo1->setDataSource(m_dataSource);
    m_ui->DBMemo1->setFieldName(QStringLiteral("TEXT"));
    if (!engine.isStarted()) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const dbase::Status status = engine.start();
        QGuiApplication::restoreOverrideCursor();
        if (status != dbase::status::Ok && status != dbase::status::AlreadyStarted)
            throw EDBEngineError::notStarted(status);
    }
    m_table->setActive(true);
}

// Every handler runs through the error boundary; the scroll bar's handler runs
// through the bar's own.
void Form1::connectHandlers()
{
    connect(m_ui->DBGrid1, &DataGrid::titleClick, this,
            ErrorBoundary::guarded([this](int column) { DBGrid1TitleClick(column); }));
    connect(m_ui->DBGrid1, &DataGrid::cellClick, this,
            ErrorBoundary::guarded([this](int column) { DBGrid1CellClick(column); }));
    connect(m_ui->BitBtn1, &QAbstractButton::clicked, this,
            ErrorBoundary::guarded([this] { BitBtn1Click(); }));
    m_ui->ScrollBar1->setScrollHandler(
        [this](int code, int &value) { ScrollBar1Scroll(code, value); });
    // Edit1's key presses and focus loss reach Edit1KeyDown / Edit1Exit.
    m_ui->Edit1->installEventFilter(this);
}

// Once the first frame is painted, Table1's other orders are built in the background
// (queued, so that the frame reaches the screen first), ready for a title click.
bool Form1::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                ErrorBoundary::run([this] {
                    if (m_table)
                        m_table->prepareOrders();
                });
            },
            Qt::QueuedConnection);
    }
    return handled;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->Edit1) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            ErrorBoundary::run([this, key] { Edit1KeyDown(key); });
        } else if (event->type() == QEvent::FocusOut &&
                   focusGoesToAnotherControl(*static_cast<QFocusEvent *>(event))) {
            ErrorBoundary::run([this] { Edit1Exit(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Edit1 loses the focus to another control of this window (a click, Tab), not to its
// own context menu, an error box or another application. Qt names the new focus
// widget before it tells the old one.
bool Form1::focusGoesToAnotherControl(const QFocusEvent &event) const
{
    if (event.reason() == Qt::PopupFocusReason)
        return false;
    const QWidget *next = QApplication::focusWidget();
    return next && next != m_ui->Edit1 && next->window() == this;
}

int Form1::gridColumnWidth(int column) const
{
    return m_ui->DBGrid1->column(column).width();
}

void Form1::FormCreate()
{
    m_ui->Panel1->hide();
    markColumn(ColGemeinde);
    for (int column : HiddenColumns)
        m_ui->DBGrid1->column(column).setVisible(false);
    layOutGrid();
    placeLeaderLines();
    placeRecordScrollBar();
    m_ui->ScrollBar1->setMaximum(m_table->recordTotal());
    // The first record of the order is current and the thumb stands at 0: the
    // scroll value that stands for it is its place, 0.
    m_rowPosition = 0;
    if (m_installDeactivation)
        m_installDeactivation([this] { AppDeactivate(); });
}

// The grid takes the width of its shown columns plus its non-client part twice, the
// window takes the grid's width, and the grid sits on the window's bottom edge.
void Form1::layOutGrid()
{
    DataGrid *grid = m_ui->DBGrid1;
    int shownWidth = 0;
    for (int column : {ColBezirk, ColBl, ColMin, ColMax, ColJahresmitt, ColPotential, ColGemeinde})
        shownWidth += gridColumnWidth(column);
    grid->resize(shownWidth, grid->height());
    const int outer = grid->width();
    grid->resize(outer + 2 * (outer - clientWidth(grid)), grid->height());
    setFixedSize(grid->width(), height());
    move(0, 0);
    m_ui->BitBtn1->move(m_ui->BitBtn1->x(), grid->y() + 2);
    grid->resize(grid->width(), std::abs(GridHeightInLines * pixelSizeOf(grid->font())));
    for (int column : ValueColumns)
        grid->column(column).setAlignment(Qt::AlignRight);
    grid->move(grid->x(), height() - grid->height());
}

// Each leader line ends at the column edge that it explains.
void Form1::placeLeaderLines()
{
    const int e3 =
        gridColumnWidth(ColGemeinde) + gridColumnWidth(ColBezirk) + gridColumnWidth(ColBl);
    const int e7 = e3 + gridColumnWidth(ColMin);
    const int e8 = e7 + gridColumnWidth(ColMax);
    const int e10 = e8 + gridColumnWidth(ColJahresmitt) + gridColumnWidth(ColPotential);
    const int m9 = int(std::lround(gridColumnWidth(ColJahresmitt) * 0.8));
    Ui::Form1 &ui = *m_ui;
    ui.Shape1->move(e10, ui.Shape1->y());
    ui.Shape3->resize(e8 + m9 - ui.Shape3->x(), ui.Shape3->height());
    ui.Shape4->move(e8 + m9 - 1, ui.Shape4->y());
    ui.Shape8->move(e8 - 1, ui.Shape8->y());
    ui.Shape9->move(e7 - 1, ui.Shape9->y());
    ui.Shape10->resize(e8 - ui.Shape10->x(), ui.Shape10->height());
}

// The record scroll bar covers the grid's own vertical scroll bar.
void Form1::placeRecordScrollBar()
{
    const QRect grid = m_ui->DBGrid1->geometry();
    RecordScrollBar *bar = m_ui->ScrollBar1;
    bar->setGeometry(grid.width() - bar->width() - 2, grid.y() + 2, bar->width(),
                     grid.height() - 3);
}

void Form1::markColumn(int column)
{
    if (m_markedColumn >= 0)
        m_ui->DBGrid1->column(m_markedColumn).setTitleColorRole(QPalette::Button);
    m_ui->DBGrid1->column(column).setTitleColor(property("sortTitleColor").value<QColor>());
    m_markedColumn = column;
}

bool Form1::currentRecordHasNote() const
{
    return m_ui->DBGrid1->column(ColText).field()->displayText() == NoteMarker;
}

void Form1::DBGrid1TitleClick(int column)
{
    const QString fieldName = m_ui->DBGrid1->column(column).field()->fieldName();
    m_table->setIndexName(fieldName == NameField ? NameOrderOfTitle : fieldName);
    markColumn(column);
    // The place of the current record in the new order, found by walking to the start.
    const int before = -m_table->stepBy(-m_table->recordTotal());
    m_rowPosition = before;
    m_table->stepBy(before);
    m_ui->ScrollBar1->setPosition(m_rowPosition);
}

void Form1::DBGrid1CellClick(int /*column*/)
{
    NoteBox *box = m_ui->DBMemo1;
    box->hide();
    if (!currentRecordHasNote())
        return;
    box->setVerticalScrollBarShown(false);
    box->show();
    if (box->noteLineCount(NoteLinesWithoutScrollBar + 1) > NoteLinesWithoutScrollBar)
        box->setVerticalScrollBarShown(true);
    box->move(m_noteBoxLeft, box->y());
    // The thumb's next move is measured from the clicked record's place.
    m_rowPosition = m_table->placeInOrder();
}

void Form1::ScrollBar1Scroll(int scrollCode, int &scrollPos)
{
    enum { LineUp = 0, LineDown = 1, ThumbPosition = 4, ThumbTrack = 5 };
    if (scrollCode == LineUp && !m_table->atStart()) {
        m_table->stepBack();
        --m_rowPosition;
    } else if (scrollCode == LineDown && !m_table->atEnd()) {
        m_table->stepForward();
        ++m_rowPosition;
    } else if (scrollCode == ThumbPosition || scrollCode == ThumbTrack) {
        m_table->stepBy(scrollPos - m_rowPosition);
        m_rowPosition = scrollPos;
    }
    updateNoteBox();
}

void Form1::updateNoteBox()
{
    NoteBox *box = m_ui->DBMemo1;
    if (currentRecordHasNote()) {
        box->show();
        box->setVerticalScrollBarShown(box->noteLineCount(NoteLinesWithoutScrollBar + 1) >
                                       NoteLinesWithoutScrollBar);
    } else {
        box->setVisible(!property("table1ReadOnly").toBool());
    }
}

void Form1::BitBtn1Click()
{
    m_ui->Edit1->clear();
    m_ui->Panel1->show();
    m_ui->Edit1->setFocus();
}

void Form1::Edit1Exit()
{
    m_ui->Panel1->hide();
}

void Form1::Edit1KeyDown(int key)
{
    if (isEnterKey(key)) {
        m_ui->Panel1->hide();
        m_table->setIndexName(NameOrder);
        markColumn(ColGemeinde);
        m_table->enterKeyMode();
        m_table->fieldNamed(NameOrder)->setAsString(
            TableCursor::nameSearchText(m_ui->Edit1->text()));
        m_table->searchNearest();
        // The found record's place in the name order is what the thumb stands for.
        m_rowPosition = std::max(0, m_table->placeInOrder());
        m_ui->ScrollBar1->setPosition(m_rowPosition);
    }
    updateNoteBox();
}

void Form1::AppDeactivate()
{
    close();
}
