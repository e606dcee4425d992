#include "SyntheticMunicipalities.h"

#include <cstdio>

namespace {

const char *const kStarts[] = {"Sankt ", "Bad ", "Groß", "Klein", "Ober", "Unter",
                               "Alt",    "Neu",  "",     "",      "",     ""};
const char *const kSyllables[] = {"ber", "bach",  "dorf", "feld",  "hof",    "kirch",
                                  "au",  "stein", "wald", "brunn", "leiten", "ried",
                                  "see", "tal",   "ach",  "wies",  "öd",     "müh"};
const char *const kDistricts[] = {"Lienz",   "Freistadt", "Tulln",     "Feldkirchen",
                                  "Gmünd",   "Zwettl",    "Amstetten", "Schärding",
                                  "Bregenz", "Liezen",    "Murau",     "Wien"};
const char *const kStates[] = {"B", "K", "N", "O", "S", "St", "T", "V", "W"};

template <std::size_t N> const char *pick(const char *const (&list)[N], std::uint32_t r)
{
    return list[r % N];
}

std::string decimal(std::uint32_t whole, std::uint32_t hundredths)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%02u", whole, hundredths);
    return buf;
}

// A to Z lowered; the UTF-8 bytes of umlauts stay as they are.
std::string lowered(const std::string &utf8)
{
    std::string out = utf8;
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace

std::uint32_t SyntheticMunicipalities::random(std::uint32_t below)
{
    m_state = m_state * 1664525u + 1013904223u;
    return (m_state >> 8) % below;
}

std::string SyntheticMunicipalities::name()
{
    std::string n = pick(kStarts, random(1000));
    std::string rest;
    const std::uint32_t parts = 2 + random(2);
    for (std::uint32_t i = 0; i < parts; ++i)
        rest += pick(kSyllables, random(1000));
    if ((n.empty() || n.back() == ' ') && rest[0] >= 'a' && rest[0] <= 'z')
        rest[0] = static_cast<char>(rest[0] - 'a' + 'A');
    return n + rest;
}

std::vector<std::string> SyntheticMunicipalities::next(std::uint32_t n)
{
    const std::string gemeinde = name();
    const std::uint32_t low = 10 + random(150);
    const std::uint32_t high = low + random(900);
    const std::uint32_t mean = (low + high) / 2;
    const std::uint32_t potential = mean + random(200);
    std::string note;
    if (n % 7 == 0)
        note =
            "Messung " + std::to_string(n) + ": Erhöhte Werte im Keller.\r\nNachmessung empfohlen.";
    return {gemeinde,
            std::to_string(10000 + random(90000)),
            pick(kDistricts, random(1000)),
            pick(kStates, random(1000)),
            decimal(46 + random(3), random(100)),
            decimal(9 + random(8), random(100)),
            std::to_string(mean),
            std::to_string(low),
            std::to_string(high),
            std::to_string(mean + random(40)),
            std::to_string(potential),
            std::to_string(1 + random(4)),
            lowered(gemeinde).substr(0, 30),
            note};
}
