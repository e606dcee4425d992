// Table1 and the dBASE engine on one table directory, without a window:
//   bench_table DIR            timings (medians)
//   bench_table --memory DIR   resident memory before and after open and after the
//                              seven orders are built (run it in a fresh process)
// Output: Results lines. The window capacity is that of the main window's grid.
#include "DbaseEngine.h"
#include "DbfFile.h"
#include "Exception.h"
#include "Field.h"
#include "KeyExpression.h"
#include "MdxIndex.h"
#include "MemoFile.h"
#include "ResidentMemory.h"
#include "Results.h"
#include "SortOrder.h"
#include "TableCursor.h"
#include "Timings.h"

#include <QCoreApplication>
#include <QDir>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Data rows of DBGrid1 in the main window on the X server (bench_window reports it).
constexpr int GridRows = 8;
const char *const Tags[] = {"KLEINGEM", "BL", "POTENTIAL", "MIN", "JAHRESMITT", "MAX", "BEZIRK"};

class GridSizedView : public CursorView
{
public:
    int rowsWanted() const override { return GridRows; }
};

struct Bench
{
    QString dir;
    std::unique_ptr<dbase::Engine> engine = dbase::createDbaseEngine();
    GridSizedView view;
    long long records = 0;

    std::unique_ptr<TableCursor> open()
    {
        auto t = std::make_unique<TableCursor>(*engine);
        t->setTableName(QStringLiteral("CD_GIS.DBF"));
        t->setDirectory(dir);
        t->setIndexFiles({QStringLiteral("CD_GIS.MDX")});
        t->attachView(&view);
        t->setActive(true);
        return t;
    }
    int bigRuns() const { return records >= 1000000 ? 3 : records >= 100000 ? 5 : 11; }
};

// Every field's display text of every held record: what one screen of the grid reads.
void decodeWindow(const TableCursor &t)
{
    for (int i = 0; i < t.windowCount(); ++i)
        for (int f = 0; f < int(t.fields().size()); ++f)
            (void)t.displayText(i, f);
}

void benchOpen(Bench &b)
{
    Timings timings;
    for (int run = 0; run < b.bigRuns(); ++run) {
        // A fresh engine each run, as at program start: it has read nothing yet.
        b.engine = dbase::createDbaseEngine();
        const Timings::Clock::time_point start = Timings::Clock::now();
        std::unique_ptr<TableCursor> t = b.open();
        decodeWindow(*t);
        timings.add(Timings::Clock::now() - start);
    } // closing is not part of opening
    Results::print("open", timings);
}

// ---- The parts of the open, each on its own ----------------------------------
// "open" above is their sum plus the cursor's own steps (field list, record window).
// The order part is the build of the active order KLEINGEM, the same work as its
// "build" row below, timed here as the open meets it.
void benchOpenParts(Bench &b)
{
    const auto path = [&](const char *name) {
        return QDir(b.dir).filePath(QString::fromLatin1(name)).toStdString();
    };
    std::string problem;
    Results::print("open: read records", Timings::measure(b.bigRuns(), [&](int) {
                       std::unique_ptr<dbase::DbfFile> file;
                       if (dbase::DbfFile::open(path("CD_GIS.DBF"), file, problem) !=
                           dbase::status::Ok)
                           Results::fail(problem);
                   }));
    Results::print("open: memo file", Timings::measure(b.bigRuns(), [&](int) {
                       std::unique_ptr<dbase::MemoFile> memo;
                       if (dbase::MemoFile::open(path("CD_GIS.DBT"), dbase::MemoFile::Kind::Dbase,
                                                 memo, problem) != dbase::status::Ok)
                           Results::fail(problem);
                   }));
    Results::print("open: index catalogue", Timings::measure(b.bigRuns(), [&](int) {
                       std::vector<dbase::MdxTag> tags;
                       if (dbase::readMdxTags(path("CD_GIS.MDX"), tags, problem) !=
                           dbase::status::Ok)
                           Results::fail(problem);
                   }));
    std::unique_ptr<dbase::DbfFile> file;
    if (dbase::DbfFile::open(path("CD_GIS.DBF"), file, problem) != dbase::status::Ok)
        Results::fail(problem);
    std::unique_ptr<TableCursor> t = b.open();
    for (const IndexDef &def : t->indexDefs()) {
        if (def.name != QLatin1String(Tags[0]))
            continue;
        Results::print("open: order KLEINGEM", Timings::measure(b.bigRuns(), [&](int) {
                           auto key = dbase::KeyExpression::parse(
                               def.expression.toStdString(), file->fields(),
                               dbase::Collation::forLanguageDriver(file->layout().languageDriver));
                           dbase::SortOrder::Options options;
                           options.descending = def.descending;
                           (void)dbase::SortOrder::build(*file, std::move(key), options);
                       }));
    }
}
// ---- end of the parts of the open ----------------------------------------------

// The sort itself, on the engine's table in memory: the cost of building an order.
void benchOrderBuilds(Bench &b)
{
    std::unique_ptr<dbase::DbfFile> file;
    std::string problem;
    const std::string path = QDir(b.dir).filePath(QStringLiteral("CD_GIS.DBF")).toStdString();
    if (dbase::DbfFile::open(path, file, problem) != dbase::status::Ok)
        Results::fail(problem);
    Results::print("read table file", Timings::measure(b.bigRuns(), [&](int) {
                       std::unique_ptr<dbase::DbfFile> again;
                       if (dbase::DbfFile::open(path, again, problem) != dbase::status::Ok)
                           Results::fail(problem);
                   }));
    std::unique_ptr<TableCursor> t = b.open();
    for (const IndexDef &def : t->indexDefs()) {
        auto expression = dbase::KeyExpression::parse(
            def.expression.toStdString(), file->fields(),
            dbase::Collation::forLanguageDriver(file->layout().languageDriver));
        Results::print("build " + def.name.toStdString(), Timings::measure(b.bigRuns(), [&](int) {
                           dbase::SortOrder::Options options;
                           options.descending = def.descending;
                           auto order = dbase::SortOrder::build(*file, expression, options);
                           if (order->size() != std::size_t(b.records))
                               Results::fail("order of the wrong size");
                       }));
    }
}

// The first switch to each tag after open, as the first title click meets it: the
// order is built, then the window is rebuilt around the current record.
void benchFirstSwitches(Bench &b)
{
    std::vector<Timings> perTag(std::size(Tags));
    for (int run = 0; run < b.bigRuns(); ++run) {
        std::unique_ptr<TableCursor> t = b.open();
        t->stepBy(int(b.records / 2));
        for (std::size_t i = 1; i < std::size(Tags); ++i) {
            const Timings::Clock::time_point start = Timings::Clock::now();
            t->setIndexName(QString::fromLatin1(Tags[i]));
            perTag[i].add(Timings::Clock::now() - start);
        }
    }
    for (std::size_t i = 1; i < std::size(Tags); ++i)
        Results::print(std::string("first switch ") + Tags[i], perTag[i]);
}

// ---- Orders built ahead ----------------------------------------------------------
// The engine's worker is the only thread that prepareOrders() starts: its end, seen in
// the kernel's thread count, is the end of the background builds.

int threadCount()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    Results::fail("no thread count in /proc/self/status");
}

void waitForThreads(int count)
{
    while (threadCount() > count)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// From prepareOrders() after open (the name order built) to the worker's end; then the
// first switch to each other tag, as the first title click meets it once the builds
// are done.
void benchBackgroundBuilds(Bench &b)
{
    std::vector<Timings> perTag(std::size(Tags));
    Timings total;
    for (int run = 0; run < b.bigRuns(); ++run) {
        std::unique_ptr<TableCursor> t = b.open();
        t->stepBy(int(b.records / 2));
        const int before = threadCount();
        const Timings::Clock::time_point start = Timings::Clock::now();
        t->prepareOrders();
        waitForThreads(before);
        total.add(Timings::Clock::now() - start);
        for (std::size_t i = 1; i < std::size(Tags); ++i) {
            const Timings::Clock::time_point switchStart = Timings::Clock::now();
            t->setIndexName(QString::fromLatin1(Tags[i]));
            perTag[i].add(Timings::Clock::now() - switchStart);
        }
    }
    Results::print("background builds total", total);
    for (std::size_t i = 1; i < std::size(Tags); ++i)
        Results::print(std::string("first switch after background builds ") + Tags[i], perTag[i]);
}

// ---- End of the orders built ahead -------------------------------------------------

void benchMoves(Bench &b)
{
    std::unique_ptr<TableCursor> t = b.open();
    for (const char *tag : Tags)
        t->setIndexName(QString::fromLatin1(tag));
    t->stepBy(int(b.records / 2));
    Results::print("order switch", Timings::measure(51, [&](int i) {
                       t->setIndexName(QString::fromLatin1(i % 2 ? "MAX" : "MIN"));
                   }));
    t->setIndexName(QStringLiteral("Kleingem"));
    const char *const texts[] = {"wien", "st", "sankt w", "zzz", "a", "ober", "m", ""};
    Results::print("nearest-key search", Timings::measure(51, [&](int i) {
                       t->enterKeyMode();
                       t->fieldNamed(QStringLiteral("Kleingem"))
                           ->setAsString(QString::fromLatin1(texts[i % 8]));
                       t->searchNearest();
                   }));
    t->stepBy(int(b.records / 2) - t->placeInOrder());
    Results::print("StepBy(+8)", Timings::measure(51, [&](int) { t->stepBy(8); }));
    Results::print("StepBy(-8)", Timings::measure(51, [&](int) { t->stepBy(-8); }));
    Results::print("GoToLast", Timings::measure(51, [&](int) { t->goToLast(); }));
    Results::print("GoToFirst", Timings::measure(51, [&](int) { t->goToFirst(); }));
}

// A full walk with StepBy(1) through the name order.
void benchWalk(Bench &b)
{
    std::unique_ptr<TableCursor> t = b.open();
    long long visited = 0;
    Results::print("walk StepBy(1)", Timings::measure(b.records >= 1000000 ? 3 : 5, [&](int) {
                       t->goToFirst();
                       visited = 1;
                       while (t->stepBy(1) == 1)
                           ++visited;
                   }));
    if (visited != b.records)
        Results::fail("the walk visited " + std::to_string(visited) + " records");
}

void benchMemory(Bench &b)
{
    Results::print("rss start", double(ResidentMemory::kibibytes()), "KiB");
    std::unique_ptr<TableCursor> t = b.open();
    Results::print("rss after open", double(ResidentMemory::kibibytes()), "KiB");
    for (const char *tag : Tags)
        t->setIndexName(QString::fromLatin1(tag));
    Results::print("rss after seven orders", double(ResidentMemory::kibibytes()), "KiB");
    Results::print("records", double(t->recordTotal()), "");
    const std::string dbf = QDir(b.dir).filePath(QStringLiteral("CD_GIS.DBF")).toStdString();
    Results::print("dbf size", double(std::filesystem::file_size(dbf)), "bytes");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool memory = args.contains(QStringLiteral("--memory"));
    if (args.size() != (memory ? 2 : 1))
        Results::fail("usage: bench_table [--memory] DIR");
    Bench b;
    b.dir = args.last();
    try {
        if (memory) {
            benchMemory(b);
            return 0;
        }
        b.records = b.open()->recordTotal();
        Results::print("records", double(b.records), "");
        benchOpen(b);
        benchOpenParts(b);
        benchOrderBuilds(b);
        benchFirstSwitches(b);
        benchBackgroundBuilds(b);
        benchMoves(b);
        benchWalk(b);
    } catch (const Exception &e) {
        Results::fail(e.message().toStdString());
    } catch (const std::exception &e) {
        Results::fail(e.what());
    }
    return 0;
}
