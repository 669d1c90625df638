#!/usr/bin/env python3
"""Writes the practice texts P0..P9: 950 texts, one per line, CR LF.

Text n is line n - 100 * h of file "P<h>", h = (n - 1) // 100; P0..P8 hold
100 texts and P9 the last 50. Every text is 150 to 500 characters of capital
letters, digits, spaces and the punctuation the trainer sends
(". , ? / = -"), and no two are alike.

The texts are graded: P0 is short everyday sentences in short words; each
file after it brings longer words and sentences, more figures and
punctuation, and more amateur-radio contacts, up to P9's dense contacts,
messages and tables of figures.

The output depends on nothing but this script: the random source has a
fixed seed, so running it again reproduces the committed files exactly.

Usage: make-practice-texts.py [OUTPUT_DIR]   (default: the data folder)
"""

import os
import random
import re
import sys

SEED = 8020950
ALLOWED = re.compile(r"^[A-Z0-9 .,?/=\-]+$")
MIN_LEN, MAX_LEN = 150, 500

# ---------------------------------------------------------------------------
# Plain language. Each subject has its own words; the templates take them by
# slot name. Words of five letters or fewer form the easy lists.

SUBJECTS = {
    "weather": {
        "noun": ["RAIN", "WIND", "SNOW", "FOG", "SUN", "CLOUD", "STORM", "FROST", "HAIL", "BREEZE",
                 "THUNDER", "DRIZZLE", "SHOWER", "HEATWAVE", "RAINBOW", "SLEET"],
        "place": ["HILLS", "COAST", "VALLEY", "TOWN", "FIELDS", "BAY", "MOORS", "ISLANDS", "PLAINS",
                  "NORTHERN FARMS", "HARBOUR", "LAKESIDE"],
        "adj": ["COLD", "WARM", "WET", "DRY", "GREY", "BRIGHT", "DAMP", "MILD", "CHILLY", "GUSTY",
                "CLOUDLESS", "OVERCAST", "BLUSTERY"],
        "verb": ["CAME", "FELL", "BLEW", "LIFTED", "CLEARED", "DRIFTED", "SETTLED", "ROLLED IN",
                 "MOVED EAST", "PASSED OVER"],
    },
    "garden": {
        "noun": ["BEANS", "ROSES", "PEAS", "LEEKS", "KALE", "TULIPS", "ONIONS", "POTATOES", "CARROTS",
                 "TOMATOES", "SUNFLOWERS", "LETTUCE", "PUMPKINS", "HERBS"],
        "place": ["BED", "PLOT", "SHED", "PATH", "HEDGE", "GREENHOUSE", "ALLOTMENT", "ORCHARD",
                  "BORDER", "COMPOST HEAP"],
        "adj": ["RIPE", "GREEN", "TALL", "SMALL", "FRESH", "YOUNG", "STURDY", "TANGLED", "FRAGRANT",
                "HEALTHY"],
        "verb": ["GREW", "BLOOMED", "SPROUTED", "RIPENED", "WILTED", "CLIMBED", "SPREAD", "FLOURISHED"],
    },
    "kitchen": {
        "noun": ["BREAD", "SOUP", "RICE", "PIE", "JAM", "CAKE", "STEW", "PORRIDGE", "PANCAKES",
                 "OMELETTE", "BISCUITS", "DUMPLINGS", "CHUTNEY", "NOODLES"],
        "place": ["OVEN", "POT", "PAN", "TABLE", "SHELF", "PANTRY", "CUPBOARD", "STOVE", "TRAY"],
        "adj": ["HOT", "SWEET", "RICH", "PLAIN", "THICK", "TASTY", "SAVOURY", "SPICY", "GOLDEN",
                "CRUMBLY"],
        "verb": ["BAKED", "COOLED", "SIMMERED", "ROSE", "BROWNED", "THICKENED", "STEAMED", "SET"],
    },
    "sea": {
        "noun": ["BOAT", "SHIP", "GULL", "WAVE", "TIDE", "FERRY", "TRAWLER", "LIGHTHOUSE", "DINGHY",
                 "SCHOONER", "BUOY", "SEAL", "CARGO SHIP"],
        "place": ["PORT", "DOCK", "REEF", "CAPE", "PIER", "ESTUARY", "HARBOUR MOUTH", "SANDBANK",
                  "BREAKWATER", "NARROWS"],
        "adj": ["CALM", "ROUGH", "DEEP", "SALT", "BLUE", "CHOPPY", "STORMY", "GLASSY", "MISTY"],
        "verb": ["SAILED", "DRIFTED", "ANCHORED", "TURNED", "ROLLED", "SLIPPED OUT", "CAME ALONGSIDE",
                 "HEADED NORTH"],
    },
    "rail": {
        "noun": ["TRAIN", "ENGINE", "GUARD", "TICKET", "CARRIAGE", "SIGNAL", "PLATFORM", "TIMETABLE",
                 "LOCOMOTIVE", "SLEEPER CAR", "GOODS WAGON"],
        "place": ["STATION", "JUNCTION", "TUNNEL", "BRIDGE", "DEPOT", "VIADUCT", "CROSSING",
                  "BRANCH LINE", "TERMINUS"],
        "adj": ["LATE", "EARLY", "FULL", "SLOW", "FAST", "CROWDED", "QUIET", "OVERNIGHT", "STEAM"],
        "verb": ["LEFT", "STOPPED", "ARRIVED", "WAITED", "CLIMBED", "RATTLED ON", "PULLED OUT",
                 "SLOWED DOWN"],
    },
    "birds": {
        "noun": ["OWL", "CROW", "WREN", "ROBIN", "HERON", "SWIFT", "SPARROW", "KESTREL", "BLACKBIRD",
                 "WOODPECKER", "CURLEW", "NIGHTINGALE", "GOLDFINCH"],
        "place": ["NEST", "TREE", "MARSH", "WOOD", "ROOF", "REED BED", "RIVERBANK", "MEADOW",
                  "CHURCH TOWER", "FEEDER"],
        "adj": ["SHY", "LOUD", "TINY", "BOLD", "SWIFT", "SPECKLED", "COLOURFUL", "RESTLESS", "RARE"],
        "verb": ["SANG", "FLEW", "HOPPED", "NESTED", "CALLED", "HOVERED", "SWOOPED", "PERCHED"],
    },
    "hills": {
        "noun": ["PATH", "TRAIL", "MAP", "PACK", "BOOTS", "COMPASS", "SUMMIT", "RIDGE", "CAIRN",
                 "SHELTER", "WATERFALL", "STREAM"],
        "place": ["PEAK", "PASS", "GLEN", "CLIFF", "FOREST", "MOUNTAIN HUT", "LOWER SLOPES", "GORGE",
                  "PLATEAU"],
        "adj": ["STEEP", "ROCKY", "HIGH", "LONG", "MUDDY", "WINDING", "NARROW", "EXPOSED", "SCENIC"],
        "verb": ["CLIMBED", "CROSSED", "FOLLOWED", "REACHED", "DESCENDED", "SCRAMBLED UP", "MAPPED"],
    },
    "town": {
        "noun": ["SHOP", "BUS", "CAFE", "PARK", "MARKET", "LIBRARY", "MUSEUM", "BAKERY", "SQUARE",
                 "FOUNTAIN", "THEATRE", "BICYCLE LANE"],
        "place": ["STREET", "CORNER", "MALL", "LANE", "HIGH STREET", "TOWN HALL", "OLD QUARTER",
                  "RIVERSIDE", "SUBURBS"],
        "adj": ["BUSY", "OLD", "NEW", "NOISY", "QUIET", "HISTORIC", "CROWDED", "PLEASANT", "MODERN"],
        "verb": ["OPENED", "CLOSED", "MOVED", "REOPENED", "EXPANDED", "WAS REPAINTED", "WAS REBUILT"],
    },
    "sky": {
        "noun": ["MOON", "STAR", "COMET", "PLANET", "METEOR", "GALAXY", "TELESCOPE", "ECLIPSE",
                 "CONSTELLATION", "SATELLITE", "AURORA"],
        "place": ["SKY", "HORIZON", "EAST", "WEST", "ZENITH", "OBSERVATORY", "DARK SITE",
                  "NORTHERN SKY"],
        "adj": ["FAINT", "BRIGHT", "FULL", "RED", "DISTANT", "BRILLIANT", "SHIMMERING", "CRESCENT"],
        "verb": ["ROSE", "SET", "GLOWED", "SHONE", "APPEARED", "FADED", "PASSED OVERHEAD", "FLICKERED"],
    },
    "farm": {
        "noun": ["COWS", "SHEEP", "HENS", "GOATS", "HAY", "TRACTOR", "BARN", "HARVEST", "ORCHARD",
                 "DAIRY", "PLOUGH", "BEEHIVES"],
        "place": ["YARD", "FIELD", "FARM", "STABLE", "PASTURE", "BARLEY FIELD", "MILKING SHED",
                  "FARMHOUSE"],
        "adj": ["MUDDY", "LATE", "EARLY", "GOOD", "POOR", "ABUNDANT", "FERTILE", "DUSTY"],
        "verb": ["GRAZED", "WAS CUT", "WAS BALED", "WAS MILKED", "WAS SHEARED", "WAS GATHERED",
                 "WAS PLOUGHED"],
    },
    "music": {
        "noun": ["BAND", "CHOIR", "DRUM", "FIDDLE", "PIANO", "CONCERT", "GUITAR", "TRUMPET",
                 "ORCHESTRA", "MELODY", "REHEARSAL", "ACCORDION"],
        "place": ["HALL", "PUB", "STAGE", "CHAPEL", "BANDSTAND", "SCHOOL", "FESTIVAL", "STUDIO"],
        "adj": ["LIVELY", "SOFT", "SLOW", "LOUD", "CHEERFUL", "HAUNTING", "FAMILIAR", "UPBEAT"],
        "verb": ["PLAYED", "SANG", "TUNED UP", "PRACTISED", "PERFORMED", "ENCHANTED THE CROWD"],
    },
    "workshop": {
        "noun": ["SAW", "DRILL", "FILE", "VICE", "BENCH", "LATHE", "SOLDERING IRON", "TOOLBOX",
                 "CHISEL", "SPANNER", "MULTIMETER", "CABINET"],
        "place": ["GARAGE", "SHED", "CELLAR", "LOFT", "BASEMENT", "WORKBENCH", "SHACK"],
        "adj": ["SHARP", "BLUNT", "RUSTY", "HANDY", "PRECISE", "WELL OILED", "DUSTY", "RELIABLE"],
        "verb": ["WAS MENDED", "WAS CLEANED", "WAS SHARPENED", "WAS REPAIRED", "WAS ASSEMBLED",
                 "WAS ADJUSTED"],
    },
}

EASY_TEMPLATES = [
    "THE {adj} {noun} {verb} BY THE {place}.",
    "WE SAW THE {noun} AT THE {place}.",
    "THE {adj} {noun} {is} NEAR THE {place}.",
    "THE {noun} {verb} AS WE SAT BY THE {place}.",
    "IT WAS A {day} DAY AT THE {place}.",
    "MY DAD AND I LIKE THE {noun}.",
    "WE WENT TO THE {place} TO SEE THE {noun}.",
    "THE {noun} {be} {adj} AND SO {be2} THE {noun2}.",
    "DO NOT GO TO THE {place} LATE AT NIGHT.",
    "ALL OF US MET AT THE {place}.",
    "SHE SAID THE {noun} {verb} AT DAWN.",
    "HE TOOK A BAG TO THE {place}.",
    "I THINK THE {noun} {is} {adj} NOW.",
    "CAN YOU SEE THE {noun} FROM THE {place}?",
]

TEMPLATES = [
    "THE {adj} {noun} {verb} NEAR THE {place}.",
    "EARLY THIS MORNING THE {noun} {verb} BEYOND THE {place}.",
    "FROM THE {place} WE WATCHED THE {noun} AND THE {noun2}.",
    "NOBODY EXPECTED THE {noun} TO BE SO {adj} THIS YEAR.",
    "AFTER LUNCH THE {noun} {verb}, AND EVERYONE WENT BACK TO THE {place}.",
    "OUR NEIGHBOUR SAYS THE {noun} BY THE {place} {is} {adj} AGAIN.",
    "IF THE {noun} {is} {adj} TOMORROW, WE WILL WALK TO THE {place}.",
    "THE {noun2} AT THE {place} LOOKED {adj} IN THE EVENING LIGHT.",
    "SOMEONE LEFT A NOTE ABOUT THE {noun} ON THE DOOR OF THE {place}.",
    "THE CHILDREN DREW PICTURES OF THE {noun} NEAR THE {place}.",
    "WHY {be} THE {noun} SO {adj} LAST WEEK?",
    "SHE WROTE IN HER DIARY THAT THE {noun} {verb} THAT AFTERNOON.",
    "THE OLD GUIDEBOOK CALLS THE {place} THE HOME OF THE {adj} {noun}.",
    "ALTHOUGH THE {noun} {be} {adj}, THE {noun2} {verb} AS USUAL.",
    "AT HALF PAST SIX THE {noun} {verb} AND THE {place} FELL SILENT.",
    "HAVE YOU EVER SEEN THE {noun} SO {adj}?",
    "EVERY SPRING WE GO BACK TO THE {place} TO SEE THE {noun}.",
    "MY GRANDFATHER REMEMBERS WHEN THE {noun} {verb} FOR THE FIRST TIME.",
    "PLEASE TELL THE OTHERS THAT THE {noun} {is} {adj} TODAY.",
    "THE LOCAL PAPER PRINTED A STORY ABOUT THE {adj} {noun}.",
]

DAYS = ["GOOD", "LONG", "FINE", "BUSY", "QUIET", "SHORT", "HAPPY", "LAZY"]

# Nouns taken as plural; the rest as singular.
PLURAL_EXCEPT = {"BUS", "COMPASS"}
PLURAL_EXTRA = {"SHEEP", "HAY"}


def plural(noun):
    last = noun.split()[-1]
    return (last.endswith("S") and last not in PLURAL_EXCEPT) or last in PLURAL_EXTRA


NAMES = ["BOB", "ANNA", "JIM", "SUE", "TOM", "EVA", "KEN", "MAX", "JOE", "LIZ", "PAT", "DAN",
         "RUTH", "HANS", "PIERRE", "MARIA", "YUKI", "OLGA", "PETER", "JOHN", "MIKE", "KARL",
         "LARS", "INGRID", "PAOLO", "CARMEN", "NIGEL", "FIONA", "RAJ", "SVEN", "TERESA", "ANDRZEJ",
         "MILOS", "BERND", "GEOFF", "HELEN", "IAN", "JAN", "KATE", "LEO", "NINA", "OSCAR", "RITA",
         "STAN", "VERA", "WALT", "ERIK", "DIEGO", "ANKE", "TARO"]

QTHS = ["LONDON", "PARIS", "BERLIN", "MADRID", "ROME", "OSLO", "WARSAW", "PRAGUE", "VIENNA",
        "TOKYO", "SYDNEY", "DENVER", "BOSTON", "TORONTO", "LIMA", "DUBLIN", "LYON", "MUNICH",
        "HAMBURG", "BERGEN", "TURKU", "GDANSK", "BRNO", "GRAZ", "PORTO", "NAPLES", "ZAGREB",
        "OSAKA", "PERTH", "AUCKLAND", "OTTAWA", "DALLAS", "SEATTLE", "ATLANTA", "CHICAGO",
        "GLASGOW", "CARDIFF", "YORK", "LEEDS", "BRUGES", "UTRECHT", "AARHUS", "UPPSALA", "TARTU",
        "RIGA", "KAUNAS", "SEVILLE", "BILBAO", "GENOA", "SPLIT"]

PREFIXES = ["K", "W", "N", "AA", "KD", "G", "M", "DL", "DK", "F", "I", "EA", "JA", "VK", "ZL",
            "VE", "PA", "OH", "SM", "LA", "OK", "SP", "ON", "OE", "CT", "HB9", "OZ", "YL", "LY",
            "ES", "9A", "S5", "EI", "GM", "GW", "LU", "PY", "ZS", "UA", "YO"]

RIGS = ["HOMEBREW TX AT 5 W", "100 W TRANSCEIVER", "QRP RIG AT 2 W", "OLD VALVE RIG AT 50 W",
        "KIT RADIO AT 10 W", "SOLID STATE RIG AT 100 W", "TRANSCEIVER AND AMP AT 400 W",
        "SMALL PORTABLE RIG AT 5 W", "HOMEBREW 2 VALVE TX AT 8 W", "SDR RIG AT 20 W"]

ANTS = ["DIPOLE", "INVERTED V", "3 EL YAGI", "VERTICAL", "END FED WIRE", "LOOP", "LONG WIRE",
        "2 EL QUAD", "GROUND PLANE", "DELTA LOOP", "WINDOM", "MAG LOOP", "HEXBEAM", "4 EL YAGI"]

WX = ["SUNNY", "CLOUDY", "RAIN", "SNOW", "FOGGY", "WINDY", "CLEAR", "OVERCAST", "SHOWERS",
      "DRIZZLE", "HOT", "COLD", "MILD", "STORMY"]

BANDS = ["160", "80", "40", "30", "20", "17", "15", "12", "10"]

MONTHS = ["JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"]

ITEMS = ["BOLTS", "CABLES", "BATTERIES", "VALVES", "RESISTORS", "CRATES", "SACKS OF FLOUR",
         "LITRES OF FUEL", "METRES OF COAX", "SPARE PARTS", "TINS OF PAINT", "BLANKETS",
         "RADIO SETS", "WATER BOTTLES", "TENTS", "LAMPS"]


def easy(words):
    return [w for w in words if len(w) <= 5 and " " not in w]


class Writer:
    def __init__(self, rng, level):
        self.r = rng
        self.level = level  # 0 easiest .. 9 hardest

    def pick(self, seq):
        return self.r.choice(seq)

    # -- plain language ----------------------------------------------------

    def sentence(self):
        subject = SUBJECTS[self.pick(sorted(SUBJECTS))]
        simple = self.level < 2 or (self.level < 4 and self.r.random() < 0.5)
        words = {k: (easy(v) or v) if simple else v for k, v in subject.items()}
        template = self.pick(EASY_TEMPLATES if simple else TEMPLATES)
        noun = self.pick(words["noun"])
        noun2 = self.pick([n for n in words["noun"] if n != noun] or words["noun"])
        verb = self.pick(words["verb"])
        if plural(noun) and verb.startswith("WAS "):
            verb = "WERE " + verb[4:]
        return template.format(noun=noun, noun2=noun2, adj=self.pick(words["adj"]),
                               place=self.pick(words["place"]), verb=verb, day=self.pick(DAYS),
                               be="WERE" if plural(noun) else "WAS", be2="WERE" if plural(noun2) else "WAS",
                               **{"is": "ARE" if plural(noun) else "IS"})

    def plain(self, target):
        parts = []
        while len(" ".join(parts)) < target:
            s = self.figure_sentence() if self.r.random() < self.level * 0.06 else self.sentence()
            if not any(p[:15] == s[:15] for p in parts):
                parts.append(s)
        return " ".join(parts)

    # -- figures -----------------------------------------------------------

    def number(self, lo, hi):
        return str(self.r.randint(lo, hi))

    def time(self):
        return "%02d%02d" % (self.r.randint(0, 23), self.r.choice([0, 5, 10, 15, 20, 30, 40, 45, 50]))

    def date(self):
        return "%d %s" % (self.r.randint(1, 28), self.pick(MONTHS))

    def figure_sentence(self):
        r = self.r
        options = [
            lambda: "THE TRAIN LEAVES AT %s AND ARRIVES AT %s." % (self.time(), self.time()),
            lambda: "WE ORDERED %s %s ON %s." % (self.number(2, 400), self.pick(ITEMS), self.date()),
            lambda: "THE HILL IS %s METRES HIGH AND %s KM AWAY." % (self.number(120, 2900), self.number(3, 95)),
            lambda: "TEMPERATURE AT NOON WAS %s C, AT MIDNIGHT %s C." % (self.number(5, 34), self.number(-9, 12)),
            lambda: "ROOM %s IS ON FLOOR %s, DESK %s/%s." % (self.number(100, 999), self.number(1, 12),
                                                               self.number(1, 40), self.number(1, 9)),
            lambda: "THE BILL CAME TO %s.%02d, OR %s EACH." % (self.number(12, 480), r.randint(0, 99), self.number(3, 60)),
            lambda: "IN %s THE TOWN HAD %s PEOPLE, NOW IT HAS %s." % (self.number(1850, 1990),
                                                                     self.number(900, 9000), self.number(9000, 90000)),
            lambda: "MIX %d PARTS SAND TO 1 PART CEMENT, A RATIO OF %d/1." % ((r.randint(2, 5),) * 2),
            lambda: "THE SCORE WAS %s - %s AFTER %s MINUTES." % (self.number(0, 6), self.number(0, 6), self.number(10, 90)),
            lambda: "CALL BACK ON %s %s %s BEFORE %s." % (self.number(100, 999), self.number(100, 999),
                                                         self.number(1000, 9999), self.time()),
        ]
        return self.pick(options)()

    def figures(self, target):
        r = self.r
        kind = r.randint(0, 3)
        if kind == 0:  # a radiogram
            head = "NR %s R %s %s %s %s = " % (self.number(1, 999), self.pick(QTHS), self.time(),
                                               self.date(), self.call())
            body = []
            while len(head) + len(" ".join(body)) < target - 12:
                body.append(self.sentence() if r.random() < 0.5 else self.figure_sentence())
            return head + " ".join(body) + " = " + self.pick(NAMES) + " AR"
        if kind == 1:  # groups of five figures
            groups = []
            while len(" ".join(groups)) < target:
                groups.append("".join(str(r.randint(0, 9)) for _ in range(5)))
            return "GROUPS " + " ".join(groups) + " ="
        if kind == 2:  # a stock list
            lines = []
            while len(" ".join(lines)) < target:
                lines.append("%s %s AT %s.%02d," % (self.number(1, 500), self.pick(ITEMS), self.number(1, 90),
                                                     r.randint(0, 99)))
            return "STOCK LIST " + self.date() + " = " + " ".join(lines)[:-1] + "."
        parts = []
        while len(" ".join(parts)) < target:
            s = self.figure_sentence()
            if not any(p[:15] == s[:15] for p in parts) or len(parts) >= 10:
                parts.append(s)
        return " ".join(parts)

    # -- amateur-radio contacts ----------------------------------------------

    def call(self):
        r = self.r
        suffix = "".join(r.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ") for _ in range(r.randint(1, 3)))
        prefix = self.pick(PREFIXES)
        call = prefix + ("" if prefix[-1].isdigit() and len(prefix) > 2 else str(r.randint(0, 9))) + suffix
        if self.level >= 5 and r.random() < 0.15:
            call += self.pick(["/P", "/M", "/QRP"])
        return call

    def rst(self):
        return "%d%d9" % (self.r.randint(3, 5), self.r.randint(3, 9))

    def qso(self, target):
        r = self.r
        a, b = self.call(), self.call()
        name, qth = self.pick(NAMES), self.pick(QTHS)
        report = self.rst()
        pieces = [
            "CQ CQ CQ DE %s %s K" % (a, a),
            "%s DE %s GM ES TNX FER CALL = UR RST %s %s = NAME %s = QTH %s =" % (a, b, report, report, name, qth),
        ]
        extras = [
            lambda: "RIG %s ES ANT %s =" % (self.pick(RIGS), self.pick(ANTS)),
            lambda: "WX %s TEMP %s C =" % (self.pick(WX), self.number(-5, 33)),
            lambda: "BAND %s M IS OPEN TO %s TODAY =" % (self.pick(BANDS), self.pick(QTHS)),
            lambda: "QSL VIA BUREAU OR DIRECT =",
            lambda: "FIRST QSO WID %s, HOPE TO CU AGN =" % qth,
            lambda: "HW CPY? %s DE %s K" % (a, b),
            lambda: "ANT UP %s M, FEED %s M OF COAX =" % (self.number(6, 30), self.number(10, 60)),
            lambda: "LICENSED IN %s, AGE %s =" % (self.number(1960, 2023), self.number(16, 88)),
            lambda: "PWR HR %s W, QSB ON UR SIG =" % self.number(5, 400),
            lambda: "OP %s SAYS R R FB OM =" % self.pick(NAMES),
        ]
        r.shuffle(extras)
        while extras and len(" ".join(pieces)) < target - 40:
            pieces.append(extras.pop()())
        pieces.append("73 ES GL = %s DE %s SK" % (a, b))
        return " ".join(pieces)

    def contest(self, target):
        parts = ["TEST DE %s" % self.call()]
        serial = self.r.randint(1, 400)
        while len(" ".join(parts)) < target:
            parts.append("%s 5NN %03d" % (self.call(), serial))
            serial += self.r.randint(1, 9)
        return " ".join(parts) + " TU QRZ?"

    # -- one text ------------------------------------------------------------

    def text(self):
        lo = MIN_LEN + 15 * self.level
        hi = min(MAX_LEN - 10, 230 + 28 * self.level)
        target = self.r.randint(lo, hi)
        p = self.r.random()
        qso_share = 0.05 * self.level
        fig_share = 0.04 * self.level
        if p < qso_share:
            t = self.qso(target) if self.level < 7 or self.r.random() < 0.75 else self.contest(target)
        elif p < qso_share + fig_share:
            t = self.figures(target)
        else:
            t = self.plain(target)
        return t


def make_texts():
    rng = random.Random(SEED)
    seen = set()
    files = []
    for level in range(10):
        count = 50 if level == 9 else 100
        w = Writer(rng, level)
        texts = []
        while len(texts) < count:
            t = re.sub(" +", " ", w.text()).strip()
            if not (MIN_LEN <= len(t) <= MAX_LEN) or t in seen:
                continue
            assert ALLOWED.match(t), t
            seen.add(t)
            texts.append(t)
        files.append(texts)
    return files


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data")
    os.makedirs(out, exist_ok=True)
    for h, texts in enumerate(make_texts()):
        with open(os.path.join(out, "P%d" % h), "wb") as f:
            f.write("".join(t + "\r\n" for t in texts).encode("ascii"))


if __name__ == "__main__":
    main()
