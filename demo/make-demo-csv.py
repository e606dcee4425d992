#!/usr/bin/env python3
"""Writes gemeinden.csv: invented, Austrian-sounding municipalities with plausible
radon figures. The names, places and values are made up; they are demo data, not
measurements. Deterministic: the same seed gives the same file."""
import csv
import random
import sys

SEED = 20261208
COUNT = 2100

PREFIXES = ["Sankt", "Maria", "Bad", "Markt", "Unter", "Ober", "Hinter", "Vorder",
            "Groß", "Klein", "Alt", "Neu", "Hoch", "Nieder"]
STEMS = ["alm", "bach", "berg", "bichl", "brunn", "bühel", "dorf", "egg", "feld",
         "fürth", "graben", "hag", "heim", "hof", "hofen", "kirchen", "lach", "leiten",
         "mühl", "münster", "ort", "reith", "ried", "schlag", "see", "stätten", "stein",
         "tal", "thal", "wald", "wang", "wies", "winkel", "zell", "au", "öd", "weiß",
         "grub", "stetten", "gößl", "kögl"]
ROOTS = ["Ach", "Adl", "Aich", "Alten", "Amer", "Arn", "Au", "Bären", "Birk", "Blum",
         "Brand", "Buch", "Dorn", "Eben", "Eich", "Engel", "Erl", "Fisch", "Flachs",
         "Föhren", "Frauen", "Fuchs", "Gais", "Gams", "Geiers", "Glas", "Gold", "Grün",
         "Gut", "Haber", "Hasel", "Heiligen", "Hirsch", "Holler", "Hopf", "Hütten",
         "Kalch", "Kirch", "Kogl", "Kraut", "Kreuz", "Lamm", "Lärchen", "Lind", "Loi",
         "Mais", "Moos", "Nuß", "Öden", "Pfaff", "Rab", "Rain", "Reh", "Rosen", "Rot",
         "Salz", "Sand", "Schön", "Schwarz", "Sonn", "Spitz", "Stein", "Straß", "Tann",
         "Trauns", "Ulrichs", "Vogel", "Wald", "Weiden", "Weinz", "Wolfs", "Zirben",
         "Ötz", "Übel", "Äbts", "Schnee", "Krems", "Lieb", "Mur", "Enns"]
SUFFIXES = ["am See", "an der Mur", "im Gebirge", "am Wald", "bei Graz", "an der Enns",
            "im Tal", "am Kamp", "an der Ybbs", "im Mühlkreis", "am Inn", "an der Drau"]

# State code, its latitude/longitude box, its typical radon level, and district stems.
STATES = [
    ("B", (46.9, 48.1), (16.0, 17.1), 90, ["Eisenstadt-Umg.", "Güssing", "Jennersdorf", "Mattersburg", "Neusiedl", "Oberpullendorf", "Oberwart"]),
    ("K", (46.4, 47.1), (12.7, 15.0), 160, ["Feldkirchen", "Hermagor", "Klagenfurt-Land", "Spittal", "St. Veit", "Villach-Land", "Völkermarkt", "Wolfsberg"]),
    ("N", (47.4, 49.0), (14.5, 17.0), 180, ["Amstetten", "Baden", "Bruck/Leitha", "Gänserndorf", "Gmünd", "Hollabrunn", "Horn", "Korneuburg", "Krems-Land", "Lilienfeld", "Melk", "Mistelbach", "Mödling", "Neunkirchen", "Scheibbs", "Tulln", "Waidhofen/Th.", "Zwettl"]),
    ("O", (47.5, 48.8), (12.8, 14.9), 230, ["Braunau", "Eferding", "Freistadt", "Gmunden", "Grieskirchen", "Kirchdorf", "Linz-Land", "Perg", "Ried", "Rohrbach", "Schärding", "Steyr-Land", "Urfahr-Umg.", "Vöcklabruck", "Wels-Land"]),
    ("S", (47.0, 48.0), (12.1, 13.9), 150, ["Hallein", "Salzburg-Umg.", "St. Johann", "Tamsweg", "Zell am See"]),
    ("St", (46.6, 47.8), (13.6, 16.1), 170, ["Bruck-Mürzzus.", "Deutschlandsb.", "Graz-Umgebung", "Hartberg-Fürst.", "Leibnitz", "Leoben", "Liezen", "Murau", "Murtal", "Südoststeierm.", "Voitsberg", "Weiz"]),
    ("T", (46.7, 47.7), (10.1, 12.9), 200, ["Imst", "Innsbruck-Land", "Kitzbühel", "Kufstein", "Landeck", "Lienz", "Reutte", "Schwaz"]),
    ("V", (47.0, 47.6), (9.5, 10.2), 120, ["Bludenz", "Bregenz", "Dornbirn", "Feldkirch"]),
]

NOTE_SENTENCES = [
    "Messungen überwiegend in Kellerräumen.",
    "Erhöhte Werte in älteren Gebäuden mit Naturboden.",
    "Granit- und Gneisuntergrund im Gemeindegebiet.",
    "Nachmessung im Winterhalbjahr empfohlen.",
    "Einzelne Messwerte über 400 Bq/m³ in Erdgeschoßwohnungen.",
    "Die Werte streuen stark zwischen den Ortsteilen.",
    "Radonschutzmaßnahmen bei Neubauten werden empfohlen.",
    "Wenige Messungen; der Mittelwert ist nur eingeschränkt aussagekräftig.",
    "Sanierte Gebäude zeigen deutlich niedrigere Konzentrationen.",
    "Im Bergbaugebiet wurden Stollenluft und Quellwasser gesondert untersucht.",
    "Die Gemeinde nahm an der Nachmesskampagne teil.",
    "Messstellen in Schulen und Kindergärten sind gesondert ausgewiesen.",
]


def make_name(rng):
    shape = rng.random()
    root = rng.choice(ROOTS)
    stem = rng.choice(STEMS)
    name = root + stem
    if shape < 0.18:
        prefix = rng.choice(PREFIXES)
        if prefix in ("Sankt", "Maria", "Bad", "Markt"):
            name = prefix + " " + name
        else:
            name = prefix + name.lower()
    elif shape < 0.30:
        name = name + " " + rng.choice(SUFFIXES)
    return name[:30]


def value_text(value):
    return str(int(round(value)))[:5]


def make_row(rng, number, name, state):
    code, (lat0, lat1), (lon0, lon1), level, districts = state
    district = rng.choice(districts)[:15]
    mean = max(10.0, rng.lognormvariate(0, 0.55) * level)
    low = max(5.0, mean * rng.uniform(0.15, 0.6))
    high = mean * rng.uniform(1.4, 4.5)
    yearly = mean * rng.uniform(0.8, 1.1)
    potential = mean * rng.uniform(0.9, 1.6)
    klasse = 1 if potential < 150 else (2 if potential < 300 else 3)
    low_text = value_text(low)
    # A few municipalities have no usable lowest value: blank or a remark.
    roll = rng.random()
    if roll < 0.01:
        low_text = ""
    elif roll < 0.02:
        low_text = "k.A."
    note = ""
    if rng.random() < 0.05:
        count = rng.choice([1, 1, 2, 3, 6, 9, 12])
        note = " ".join(rng.choice(NOTE_SENTENCES) for _ in range(count))
        if count >= 6:
            note = note.replace(". ", ".\r\n", 2)
    return {
        "GEMEINDE": name,
        "GEMNR": f"{number:05d}",
        "BEZIRK": district,
        "BL": code,
        "BREITE": f"{rng.uniform(lat0, lat1):.2f}",
        "LÄNGE": f"{rng.uniform(lon0, lon1):.2f}"[:5],
        "MITTEL": value_text(mean),
        "MIN": low_text,
        "MAX": value_text(high),
        "JAHRESMITT": value_text(yearly),
        "POTENTIAL": value_text(potential),
        "KLASSE": str(klasse),
        "KLEINGEM": name.lower(),
        "TEXT": note,
    }


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "gemeinden.csv"
    rng = random.Random(SEED)
    names = set()
    rows = []
    while len(rows) < COUNT:
        name = make_name(rng)
        if name.lower() in names:
            continue
        names.add(name.lower())
        state = rng.choices(STATES, weights=[171, 132, 573, 438, 119, 287, 279, 96])[0]
        number = 10000 * (STATES.index(state) + 1) + rng.randrange(100, 9999)
        rows.append(make_row(rng, number, name, state))
    with open(out, "w", encoding="utf-8", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(rows[0].keys()), lineterminator="\n")
        writer.writeheader()
        writer.writerows(rows)


if __name__ == "__main__":
    main()
