// A ready municipality table for tests: a FakeEngine filled with n municipalities and
// Table1 on it, as the window uses it (TableName "CD_GIS.DBF", IndexFiles "CD_GIS.MDX",
// IndexName "KLEINGEM").
#pragma once

#include "FakeEngine.h"

#include <memory>
#include <string>
#include <vector>

class TableCursor;

namespace fake {

// The fourteen fields GEMEINDE .. TEXT and the seven orders KLEINGEM, BL, POTENTIAL,
// MIN, JAHRESMITT, MAX, BEZIRK over n records. The first names are real ones (among
// them "Wien" and "Wiener Neustadt"); after fifty they are made up ("Ort 51"). Records
// are stored in an order other than the name order, so the first record by name is not
// record 1. Every third record has a note in TEXT (with a lone LF in it); KLASSE runs
// -1 .. 4 with every seventh blank; every ninth MIN is blank.
void fillMunicipalities(FakeEngine &engine, int n);

// The stored values of the municipality at name index i (0-based, before storage),
// as fillMunicipalities writes them (texts in cp1252).
std::vector<std::string> municipalityRow(int i);

class FakeMunicipalities
{
public:
    explicit FakeMunicipalities(int n = 20, bool open = true);
    ~FakeMunicipalities();

    FakeEngine engine;
    std::unique_ptr<TableCursor> table;

    // Record numbers in the order of the tag (as the engine walks it).
    std::vector<int> orderOf(const std::string &tag) const;
};

} // namespace fake
