#include "FakeMunicipalities.h"

#include "TableCursor.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace fake {

namespace {

const char *const kNames[] = {
    "Wien",       "Graz",       "Linz",           "Salzburg",       "Innsbruck",       "Klagenfurt",
    "Villach",    "Wels",       "St. Pölten",     "Dornbirn",       "Wiener Neustadt", "Steyr",
    "Feldkirch",  "Bregenz",    "Leoben",         "Klosterneuburg", "Baden",           "Wolfsberg",
    "Leonding",   "Krems",      "Traun",          "Amstetten",      "Lustenau",        "Kapfenberg",
    "Mödling",    "Hallein",    "Kufstein",       "Traiskirchen",   "Schwechat",       "Braunau",
    "Stockerau",  "Saalfelden", "Ansfelden",      "Tulln",          "Hohenems",        "Spittal",
    "Telfs",      "Ternitz",    "Perchtoldsdorf", "Feldkirchen",    "Bludenz",         "Bad Ischl",
    "Eisenstadt", "Schwaz",     "Hall",           "Gmunden",        "Wörgl",           "Lienz",
    "Hollabrunn", "Leibnitz"};
constexpr int kNameCount = int(sizeof(kNames) / sizeof(kNames[0]));

const char *const kStates[] = {"W", "St", "O", "S", "T", "K", "K", "O", "N", "V"};
const char *const kDistricts[] = {"Wien",         "Graz",      "Linz",
                                  "Salzburg",     "Innsbruck", "Klagenfurt",
                                  "Villach-Land", "Wels-Land", "St. Pölten"};

// dBASE VAL: leading blanks, an optional sign, digits and an optional fraction, with
// a decimal point whatever the locale.
double val(const std::string &s)
{
    std::string_view text(s);
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Fixed-width text that sorts as the number: four decimals, zeros in front.
std::string numberKey(double v)
{
    char buf[40];
    const char *end =
        std::to_chars(buf, buf + sizeof buf, v + 1e9, std::chars_format::fixed, 4).ptr;
    const std::string digits(buf, std::size_t(end - buf));
    return std::string(digits.size() < 20 ? 20 - digits.size() : 0, '0') + digits;
}

} // namespace

std::vector<std::string> municipalityRow(int i)
{
    const QString name =
        i < kNameCount ? QString::fromUtf8(kNames[i]) : QStringLiteral("Ort %1").arg(i + 1);
    const QByteArray ansi = name.toLatin1();
    const QByteArray lower = name.toLower().toLatin1();
    const int min = 5 + (i * 37) % 200;
    const int max = min + (i * 53) % 900;
    const int mean = (min + max) / 2;
    std::vector<std::string> v;
    v.push_back(ansi.toStdString());                                        // GEMEINDE
    v.push_back(std::to_string(10101 + i * 7));                             // GEMNR
    v.push_back(cp1252(kDistricts[i % 9]));                                 // BEZIRK
    v.push_back(kStates[i % 10]);                                           // BL
    v.push_back(std::to_string(46 + i % 3) + "." + std::to_string(i % 10)); // BREITE
    v.push_back(std::to_string(9 + i % 8) + "." + std::to_string(i % 7));   // LÄNGE
    v.push_back(std::to_string(mean));                                      // MITTEL
    v.push_back(i % 9 == 4 ? std::string() : std::to_string(min));          // MIN
    v.push_back(std::to_string(max));                                       // MAX
    v.push_back(std::to_string(mean + i % 11));                             // JAHRESMITT
    v.push_back(std::to_string(100 + (i * 29) % 400));                      // POTENTIAL
    v.push_back(i % 7 == 3 ? std::string() : std::to_string(i % 6 - 1));    // KLASSE
    v.push_back(lower.toStdString());                                       // KLEINGEM
    v.push_back(i % 3 == 0 ? "Hinweis zu " + ansi.toStdString() + "\nzweite Zeile"
                           : std::string()); // TEXT
    return v;
}

void fillMunicipalities(FakeEngine &engine, int n)
{
    using dbase::FieldType;
    engine.setFields({{"GEMEINDE", FieldType::Text, 30},
                      {"GEMNR", FieldType::Text, 5},
                      {"BEZIRK", FieldType::Text, 15},
                      {"BL", FieldType::Text, 2},
                      {"BREITE", FieldType::Text, 5},
                      {cp1252("LÄNGE"), FieldType::Text, 5},
                      {"MITTEL", FieldType::Text, 5},
                      {"MIN", FieldType::Text, 5},
                      {"MAX", FieldType::Text, 5},
                      {"JAHRESMITT", FieldType::Text, 5},
                      {"POTENTIAL", FieldType::Text, 5},
                      {"KLASSE", FieldType::SmallInt, 4},
                      {"KLEINGEM", FieldType::Text, 30},
                      {"TEXT", FieldType::Memo, 10}});
    for (int i = 0; i < n; ++i)
        engine.addRecord(municipalityRow(i));
    auto valueOf = [](int ordinal) {
        return [ordinal](const std::vector<std::string> &r) {
            return numberKey(val(r[std::size_t(ordinal)]));
        };
    };
    engine.addFieldOrder("KLEINGEM", "KLEINGEM");
    engine.addFieldOrder("BL", "BL");
    engine.addExpressionOrder("POTENTIAL", "VAL(POTENTIAL)+KLASSE", 12,
                              [](const std::vector<std::string> &r) {
                                  return numberKey(val(r[10]) + std::atoi(r[11].c_str()));
                              });
    engine.addExpressionOrder("MIN", "VAL(MIN)", 12, valueOf(7));
    engine.addExpressionOrder("JAHRESMITT", "VAL(JAHRESMITT)", 12, valueOf(9));
    engine.addExpressionOrder("MAX", "VAL(MAX)", 12, valueOf(8));
    engine.addFieldOrder("BEZIRK", "BEZIRK");
}

FakeMunicipalities::FakeMunicipalities(int n, bool open)
{
    fillMunicipalities(engine, n);
    table = std::make_unique<TableCursor>(engine);
    table->setTableName(QStringLiteral("CD_GIS.DBF"));
    table->setIndexFiles({QStringLiteral("CD_GIS.MDX")});
    if (open)
        table->setActive(true);
}

FakeMunicipalities::~FakeMunicipalities()
{
    table.reset(); // closes the table while the engine still exists
}

std::vector<int> FakeMunicipalities::orderOf(const std::string &tag) const
{
    const FakeOrder *o = engine.order(tag);
    return o ? o->records : std::vector<int>();
}

} // namespace fake
