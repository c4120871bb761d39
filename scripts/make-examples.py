#!/usr/bin/env python3
"""Writes the sample data folder examples/Data and checks it.

    scripts/make-examples.py                 write examples/Data
    scripts/make-examples.py --out DIR       write into DIR instead
    scripts/make-examples.py --check [DIR]   check the files in DIR
                                             (default examples/Data)

The five files use the program's data file format: one record per line,
fields separated by a comma, texts in double quotes (grid texts hold TAB and
CR characters inside the quotes), booleans #TRUE#/#FALSE#, numbers as the
canonical text of a single-precision value, each record ended by CR LF, all
in code page 932. A grid text is the cells of a table row by row, TAB between
the cells of a row, CR between rows, nothing after the last cell.

The measurements are made up: they come from the program's own kinetic
models with typical parameter values of Japanese paddy and upland soils and a
coated urea with a release lag, plus a little measurement noise. The random
generator has a fixed seed, so every run writes the same bytes.

Standard library only.
"""

import argparse
import datetime
import math
import os
import random
import struct
import sys

SEED = 20240401
R_GAS = 1.987          # cal/mol/K
KELVIN = 273
STD_TEMP = 25.0        # standard temperature of every sample set

FILES = ("BaiyoData.txt", "ParaData.txt", "TionData.txt", "Suitei.txt", "Hojyo.txt")

# Field kinds per file, in file order: T text, I 16-bit integer, S single,
# B boolean.
FIELD_KINDS = {
    "BaiyoData.txt": "TTB",
    "ParaData.txt": "TISSSSSSSSSBS",
    "TionData.txt": "TT",
    "Suitei.txt": "ITTTS",
    "Hojyo.txt": "TTB",
}

# Number of parameters per model number (slots Param1 ... ParamN used).
MODEL_PARAM_COUNT = {1: 4, 2: 7, 3: 7, 4: 4, 5: 5, 6: 6}

BAIYO_ROWS = 100
BAIYO_COLS = 4
BAIYO_LABEL = "培養日数"
TION_HEADER = ["年/月/日", "地温(℃)"]
HOJYO_HEADER = ["年/月/日", "地温(℃)", "無機化量"]


# ---------------------------------------------------------------- numbers

def to_single(x):
    """The value rounded to IEEE single precision."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def single_text(x):
    """Canonical text of a single: at most 7 significant digits, no trailing
    zeros after the point, no point for whole numbers."""
    v = to_single(x)
    if v == 0:
        return "0"
    s = "%.7G" % v
    mantissa, sep, exponent = s.partition("E")
    if "." in mantissa:
        mantissa = mantissa.rstrip("0").rstrip(".")
    return mantissa + sep + exponent


def is_canonical_number(text):
    try:
        v = float(text)
    except ValueError:
        return False
    return math.isfinite(v) and single_text(v) == text


# ---------------------------------------------------------------- models

def arrhenius(e, t, ts=STD_TEMP):
    """Days at ts equivalent to one day at t (activation energy e, cal/mol)."""
    return math.exp((t - ts) * e / R_GAS / (t + KELVIN) / (to_single(ts + KELVIN)))


def normal_cdf(z):
    return 0.5 * (1.0 + math.erf(z / math.sqrt(2.0)))


def simple_curve(p, t):
    """Models 1 and 4: N = No(1 - exp(-k t)) + C, p = (Ea, k, No, C)."""
    _, k, no, c = p
    return no * (1.0 - math.exp(-k * t)) + c


def sigmoid_lab(p, day, temp):
    """Model 5 at a constant temperature, p = (Ea1, k, No, TAU, Ea2)."""
    ea1, k, no, tau, ea2 = p
    t1 = day * arrhenius(ea1, temp)
    t2 = to_single(day * arrhenius(ea2, temp))
    if tau - t2 > 0:
        return 0.0
    return no * (1.0 - math.exp(-k * (t1 - tau)))


def sigmoid_gauss_lab(p, sigma, day, temp):
    """Model 6 at a constant temperature: the lag TAU spread over a normal
    distribution of width sigma (adjusted days)."""
    ea1, k, no, tau, ea2 = p
    f1 = arrhenius(ea1, temp)
    f2 = arrhenius(ea2, temp)
    tk = 0.0
    for i in range(0, round(day) + 1):
        tk += f1 * normal_cdf((i * f2 - tau) / sigma)
    return no * (1.0 - math.exp(-k * tk))


# ---------------------------------------------------------------- fitting

def nelder_mead(f, x0, steps, iterations=4000):
    """Minimises f from x0 (plain Nelder-Mead simplex)."""
    n = len(x0)
    simplex = [list(x0)]
    for i in range(n):
        x = list(x0)
        x[i] += steps[i]
        simplex.append(x)
    values = [f(x) for x in simplex]
    for _ in range(iterations):
        order = sorted(range(n + 1), key=lambda i: values[i])
        simplex = [simplex[i] for i in order]
        values = [values[i] for i in order]
        if abs(values[-1] - values[0]) <= 1e-12 * (1 + abs(values[0])):
            break
        centroid = [sum(x[j] for x in simplex[:-1]) / n for j in range(n)]
        worst = simplex[-1]
        reflected = [centroid[j] + (centroid[j] - worst[j]) for j in range(n)]
        fr = f(reflected)
        if fr < values[0]:
            expanded = [centroid[j] + 2 * (centroid[j] - worst[j]) for j in range(n)]
            fe = f(expanded)
            if fe < fr:
                simplex[-1], values[-1] = expanded, fe
            else:
                simplex[-1], values[-1] = reflected, fr
        elif fr < values[-2]:
            simplex[-1], values[-1] = reflected, fr
        else:
            contracted = [centroid[j] + 0.5 * (worst[j] - centroid[j]) for j in range(n)]
            fc = f(contracted)
            if fc < values[-1]:
                simplex[-1], values[-1] = contracted, fc
            else:
                best = simplex[0]
                simplex = [best] + [[best[j] + 0.5 * (x[j] - best[j]) for j in range(n)]
                                    for x in simplex[1:]]
                values = [values[0]] + [f(x) for x in simplex[1:]]
    i = min(range(n + 1), key=lambda i: values[i])
    return simplex[i]


def observations(grid_rows):
    """(day, temperature, observed) of every non-empty amount cell of an
    incubation table, column by column."""
    temps = [float(t) for t in grid_rows[0][1:]]
    out = []
    for c in range(1, BAIYO_COLS):
        for row in grid_rows[1:]:
            if row[c] != "":
                out.append((float(row[0]), temps[c - 1], float(row[c])))
    return out


def rss_of(model, params, obs):
    total = 0.0
    for day, temp, observed in obs:
        if model == 1:
            calc = simple_curve(params, day * arrhenius(params[0], temp))
        elif model == 5:
            calc = sigmoid_lab(params, day, temp)
        else:
            raise ValueError(model)
        total += (observed - calc) ** 2
    return total


def aic_of(model, rss, n):
    # AIC = n ln(RSS) + 2p with p the number of fitted parameters.
    return n * math.log(rss) + 2 * MODEL_PARAM_COUNT[model]


def fit(model, x0, steps, obs):
    def objective(x):
        try:
            return rss_of(model, x, obs)
        except (OverflowError, ValueError):
            return float("inf")
    best = nelder_mead(objective, x0, steps)
    best = nelder_mead(objective, best, [s / 10 for s in steps])
    return [to_single(v) for v in best]


# ---------------------------------------------------------------- file format

def grid_text(rows):
    return "\r".join("\t".join(row) for row in rows)


def split_grid(text):
    rows = text.replace("\r\n", "\r").split("\r")
    return [row.split("\t") for row in rows]


def encode_field(kind, value):
    if kind == "T":
        if '"' in value:
            raise ValueError("a text field cannot hold a double quote: %r" % value)
        return '"' + value + '"'
    if kind == "I":
        return str(int(value))
    if kind == "S":
        return single_text(value)
    if kind == "B":
        return "#TRUE#" if value else "#FALSE#"
    raise ValueError(kind)


def record_line(kinds, values):
    assert len(kinds) == len(values)
    return ",".join(encode_field(k, v) for k, v in zip(kinds, values)) + "\r\n"


def file_bytes(name, records):
    text = "".join(record_line(FIELD_KINDS[name], r) for r in records)
    return text.encode("cp932")


# ---------------------------------------------------------------- sample data

def date_text(d):
    return "%04d/%02d/%02d" % (d.year, d.month, d.day)


def soil_table(rng, temps, days, p):
    """Incubation table of a soil: model-1 curve plus noise, mg/100g with two
    decimals. Day 0 is one analysis of the fresh soil, shared by all
    temperatures."""
    rows = [[BAIYO_LABEL] + [single_text(t) for t in temps]]
    initial = round(p[3] + rng.gauss(0, 0.08), 2)
    for day in days:
        row = [single_text(day)]
        for temp in temps:
            if day == 0:
                value = initial
            else:
                mean = simple_curve(p, day * arrhenius(p[0], temp))
                value = round(max(0.0, mean + rng.gauss(0, 0.10 + 0.02 * mean)), 2)
            row.append(single_text(value))
        rows.append(row)
    while len(rows) < BAIYO_ROWS:
        rows.append([""] * BAIYO_COLS)
    return rows


def fertilizer_table(rng, temps, days, p, sigma):
    """Incubation table of a coated fertilizer: release in % of the
    fertilizer N, one decimal, from a lagged (sigmoid) release curve."""
    rows = [[BAIYO_LABEL] + [single_text(t) for t in temps]]
    for day in days:
        row = [single_text(day)]
        for temp in temps:
            if day == 0:
                value = 0.0
            else:
                mean = sigmoid_gauss_lab(p, sigma, day, temp)
                value = mean + rng.gauss(0, 0.15 + 0.015 * mean)
                value = round(min(100.0, max(0.0, value)), 1)
            row.append(single_text(value))
        rows.append(row)
    while len(rows) < BAIYO_ROWS:
        rows.append([""] * BAIYO_COLS)
    return rows


def soil_temperatures(rng, first, last):
    """Daily mean soil temperature at 5 cm in central Japan (Kanto plain):
    about 4 degC in early February, about 28 degC in early August, with
    weather noise that persists for a few days."""
    out = []
    noise = 0.0
    d = first
    while d <= last:
        doy = d.timetuple().tm_yday
        mean = 16.3 + 12.3 * math.cos(2 * math.pi * (doy - 214) / 365.25)
        noise = 0.7 * noise + rng.gauss(0, 1.0)
        out.append((d, round(max(0.3, mean + noise), 1)))
        d += datetime.timedelta(days=1)
    return out


def build(rng=None):
    """All records of the sample folder: {file name: [record values]} plus the
    parameter sets used, for the check."""
    rng = rng or random.Random(SEED)
    soil_days = [0, 7, 14, 28, 42, 56, 84, 112]
    fert_days = [0, 7, 14, 21, 28, 42, 56, 70, 84, 112]

    # Gray lowland paddy soil: Ea 17000 cal/mol, k 0.021/day, No 9.8, C 1.6.
    paddy_true = (17000.0, 0.021, 9.8, 1.6)
    paddy = soil_table(rng, [15, 25, 35], soil_days, paddy_true)
    # Andosol of an upland field: slower, smaller pool, more initial N.
    ando_true = (15500.0, 0.013, 8.6, 2.3)
    ando = soil_table(rng, [15, 25, 35], soil_days, ando_true)
    # Coated urea with a release lag.
    fert_true = (18000.0, 0.045, 96.0, 20.0, 21000.0)
    fert = fertilizer_table(rng, [15, 20, 30], fert_days, fert_true, sigma=4.0)

    paddy_name = "灰色低地土（水田作土）"
    ando_name = "黒ボク土（畑作土）"
    fert_name = "被覆尿素（シグモイド型）"

    baiyo = [
        [paddy_name, grid_text(paddy), False],
        [ando_name, grid_text(ando), False],
        [fert_name, grid_text(fert), True],
    ]

    # Soil temperature series of one site for one year.
    site = "つくば圃場 地温5cm"
    temps = soil_temperatures(rng, datetime.date(2024, 4, 1), datetime.date(2025, 3, 31))
    tion_rows = [TION_HEADER] + [[date_text(d), single_text(t)] for d, t in temps]
    tion = [[site, grid_text(tion_rows)]]

    # Field burial of the paddy soil in the same field, May to October, with
    # the same daily soil temperatures and eleven sampling days.
    burial_first = datetime.date(2024, 5, 1)
    burial_last = datetime.date(2024, 10, 31)
    sampling = {datetime.date(2024, m, d) for m, d in
                [(5, 1), (5, 15), (5, 29), (6, 12), (6, 26), (7, 10), (7, 24),
                 (8, 14), (9, 4), (10, 2), (10, 31)]}
    field_true = (17000.0, 0.019, 10.5, 1.6)
    hojyo_rows = [HOJYO_HEADER]
    t_sum = 0.0
    for d, t in temps:
        if d < burial_first or d > burial_last:
            continue
        t_sum += arrhenius(field_true[0], t)
        amount = ""
        if d in sampling:
            mean = simple_curve(field_true, t_sum)
            amount = single_text(round(mean + rng.gauss(0, 0.12 + 0.02 * mean), 2))
        hojyo_rows.append([date_text(d), single_text(t), amount])
    hojyo = [["灰色低地土（水田作土）ほ場埋設", grid_text(hojyo_rows), False]]

    # The same site in the next season, observed up to the end of June: the
    # days ahead of a supply plan are filled with normal-year temperatures.
    # (Drawn after everything above, so the other files stay as they were.)
    temps_2025 = soil_temperatures(rng, datetime.date(2025, 4, 1), datetime.date(2025, 6, 30))
    tion.append([site + " 2025",
                 grid_text([TION_HEADER] + [[date_text(d), single_text(t)]
                                            for d, t in temps_2025])])

    # Parameter sets: the paddy soil and the coated urea fitted here by least
    # squares (model 1 and model 5), the Andosol typed in by hand.
    paddy_obs = observations(paddy)
    p1 = fit(1, [15000.0, 0.01, 10.0, 1.0], [2000.0, 0.005, 2.0, 0.5], paddy_obs)
    rss1 = to_single(rss_of(1, p1, paddy_obs))
    aic1 = to_single(aic_of(1, rss1, len(paddy_obs)))
    fert_obs = observations(fert)
    p5 = fit(5, [20000.0, 0.04, 100.0, 20.0, 20000.0],
             [3000.0, 0.01, 5.0, 5.0, 3000.0], fert_obs)
    rss5 = to_single(rss_of(5, p5, fert_obs))
    aic5 = to_single(aic_of(5, rss5, len(fert_obs)))
    para = [
        [paddy_name, 1] + p1 + [0.0] * 3 + [aic1, rss1, False, STD_TEMP],
        [fert_name, 5] + p5 + [0.0] * 2 + [aic5, rss5, False, STD_TEMP],
        [ando_name, 1, 15500.0, 0.013, 8.6, 2.3, 0.0, 0.0, 0.0, 0.0, 0.0, True, STD_TEMP],
        # A quick-release basal fertilizer (ammonium sulfate), typed in by
        # hand: nearly all of its nitrogen within a week or two.
        ["基肥（硫安）", 4, 12000.0, 0.5, 100.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, True, STD_TEMP],
    ]

    return {
        "BaiyoData.txt": baiyo,
        "ParaData.txt": para,
        "TionData.txt": tion,
        "Suitei.txt": [],
        "Hojyo.txt": hojyo,
    }


def write(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    for name, records in build().items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(file_bytes(name, records))
        print("wrote %s (%d records)" % (os.path.join(out_dir, name), len(records)))


# ---------------------------------------------------------------- check

class CheckError(Exception):
    pass


def read_records(text):
    """Splits a decoded file into records of raw field texts. A quoted field
    runs to the next double quote and may hold commas, TABs and CRs; a record
    ends at CR LF outside quotes. Quoted fields keep their quotes so that the
    kind can be checked."""
    records = []
    i = 0
    n = len(text)
    while i < n:
        fields = []
        while True:
            if i < n and text[i] == '"':
                j = text.find('"', i + 1)
                if j < 0:
                    raise CheckError("record %d: a quoted field has no closing quote"
                                     % (len(records) + 1))
                fields.append(text[i:j + 1])
                i = j + 1
            else:
                j = i
                while j < n and text[j] != "," and not text.startswith("\r\n", j):
                    if text[j] in "\r\n":
                        raise CheckError("record %d: line break inside an unquoted field"
                                         % (len(records) + 1))
                    j += 1
                fields.append(text[i:j])
                i = j
            if i < n and text[i] == ",":
                i += 1
                continue
            if text.startswith("\r\n", i):
                i += 2
                break
            if i >= n:
                raise CheckError("record %d: the last record is not ended by CR LF"
                                 % (len(records) + 1))
            raise CheckError("record %d: unexpected %r after a field"
                             % (len(records) + 1, text[i]))
        records.append(fields)
    return records


def field_value(kind, raw, where):
    if kind == "T":
        if len(raw) < 2 or raw[0] != '"' or raw[-1] != '"':
            raise CheckError("%s: text field not in double quotes: %r" % (where, raw[:40]))
        return raw[1:-1]
    if kind == "I":
        if not raw.lstrip("-").isdigit() or not -32768 <= int(raw) <= 32767:
            raise CheckError("%s: not a 16-bit integer: %r" % (where, raw))
        return int(raw)
    if kind == "S":
        if not is_canonical_number(raw):
            raise CheckError("%s: not a canonical single: %r" % (where, raw))
        return float(raw)
    if kind == "B":
        if raw not in ("#TRUE#", "#FALSE#"):
            raise CheckError("%s: not a boolean: %r" % (where, raw))
        return raw == "#TRUE#"
    raise ValueError(kind)


def check_grid_shape(rows, n_rows, n_cols, where):
    if n_rows is not None and len(rows) != n_rows:
        raise CheckError("%s: %d grid rows, expected %d" % (where, len(rows), n_rows))
    for r, row in enumerate(rows):
        if len(row) != n_cols:
            raise CheckError("%s: grid row %d has %d cells, expected %d"
                             % (where, r, len(row), n_cols))


def check_number_cell(text, where, allow_empty=True):
    if text == "" and allow_empty:
        return None
    if not is_canonical_number(text):
        raise CheckError("%s: %r is not a number in canonical form" % (where, text))
    return float(text)


def check_dates(rows, where):
    """Column 0 of rows 1.. holds consecutive days, yyyy/mm/dd."""
    prev = None
    for r, row in enumerate(rows[1:], start=1):
        try:
            d = datetime.datetime.strptime(row[0], "%Y/%m/%d").date()
        except ValueError:
            raise CheckError("%s: row %d: bad date %r" % (where, r, row[0]))
        if date_text(d) != row[0]:
            raise CheckError("%s: row %d: date %r not yyyy/mm/dd" % (where, r, row[0]))
        if prev is not None and d != prev + datetime.timedelta(days=1):
            raise CheckError("%s: row %d: %s does not follow %s" % (where, r, d, prev))
        prev = d


def check_baiyo(values, where):
    name, text, is_fert = values
    rows = split_grid(text)
    check_grid_shape(rows, BAIYO_ROWS, BAIYO_COLS, where)
    if text.count("\r") != BAIYO_ROWS - 1 or "\n" in text:
        raise CheckError("%s: grid text must have %d CRs and no LF" % (where, BAIYO_ROWS - 1))
    if rows[0][0] != BAIYO_LABEL:
        raise CheckError("%s: cell (0,0) is %r" % (where, rows[0][0]))
    for c in range(1, BAIYO_COLS):
        check_number_cell(rows[0][c], "%s: temperature column %d" % (where, c), False)
    last_day = None
    used = 0
    for r in range(1, BAIYO_ROWS):
        row = rows[r]
        if all(cell == "" for cell in row):
            continue
        if used != r - 1:
            raise CheckError("%s: row %d follows an empty row" % (where, r))
        used = r
        day = check_number_cell(row[0], "%s: row %d day" % (where, r), False)
        if last_day is not None and day <= last_day:
            raise CheckError("%s: row %d: days not increasing" % (where, r))
        last_day = day
        for c in range(1, BAIYO_COLS):
            v = check_number_cell(row[c], "%s: row %d col %d" % (where, r, c))
            limit = 100.0 if is_fert else 50.0
            if v is not None and not 0 <= v <= limit:
                raise CheckError("%s: row %d col %d: %g out of range" % (where, r, c, v))
    if used == 0:
        raise CheckError("%s: no data rows" % where)
    return used


def check_tion(values, where):
    name, text = values
    rows = split_grid(text)
    check_grid_shape(rows, None, 2, where)
    if rows[0] != TION_HEADER:
        raise CheckError("%s: header %r" % (where, rows[0]))
    check_dates(rows, where)
    for r, row in enumerate(rows[1:], start=1):
        v = check_number_cell(row[1], "%s: row %d" % (where, r))
        if v is not None and not -10 <= v <= 45:
            raise CheckError("%s: row %d: %g degC out of range" % (where, r, v))
    return len(rows) - 1


def check_hojyo(values, where):
    name, text, is_fert = values
    rows = split_grid(text)
    check_grid_shape(rows, None, 3, where)
    if rows[0] != HOJYO_HEADER:
        raise CheckError("%s: header %r" % (where, rows[0]))
    check_dates(rows, where)
    samples = 0
    for r, row in enumerate(rows[1:], start=1):
        check_number_cell(row[1], "%s: row %d temperature" % (where, r))
        if check_number_cell(row[2], "%s: row %d amount" % (where, r)) is not None:
            samples += 1
    if samples == 0:
        raise CheckError("%s: no sampling day" % where)
    return len(rows) - 1, samples


def check_para(values, where, baiyo_by_name):
    name, model = values[0], values[1]
    params = values[2:9]
    aic, rss, manual, std_temp = values[9:13]
    if model not in MODEL_PARAM_COUNT:
        raise CheckError("%s: model number %d" % (where, model))
    used = MODEL_PARAM_COUNT[model]
    if any(p != 0 for p in params[used:]):
        raise CheckError("%s: unused parameter slots are not 0" % where)
    if manual and (aic != 0 or rss != 0):
        raise CheckError("%s: a hand-entered set carries AIC/RSS" % where)
    if not manual:
        # A fitted set must agree with the incubation data of the same name.
        if model not in (1, 5) or name not in baiyo_by_name:
            raise CheckError("%s: fitted set without incubation data of model 1 or 5"
                             % where)
        obs = observations(split_grid(baiyo_by_name[name]))
        expect = rss_of(model, params[:used], obs)
        if abs(expect - rss) > 1e-4 * max(1.0, rss):
            raise CheckError("%s: RSS %g, the data give %g" % (where, rss, expect))
        expect_aic = aic_of(model, rss, len(obs))
        if abs(expect_aic - aic) > 1e-4 * max(1.0, abs(aic)):
            raise CheckError("%s: AIC %g, expected %g" % (where, aic, expect_aic))


def check(data_dir):
    problems = 0
    expected = {name: file_bytes(name, recs) for name, recs in build().items()}
    decoded = {}
    for name in FILES:
        path = os.path.join(data_dir, name)
        try:
            with open(path, "rb") as f:
                raw = f.read()
            text = raw.decode("cp932")
            if text.encode("cp932") != raw:
                raise CheckError("does not round-trip through cp932")
            records = read_records(text)
            kinds = FIELD_KINDS[name]
            values = []
            for i, fields in enumerate(records, start=1):
                where = "%s record %d" % (name, i)
                if len(fields) != len(kinds):
                    raise CheckError("%s: %d fields, expected %d"
                                     % (where, len(fields), len(kinds)))
                values.append([field_value(k, f, where) for k, f in zip(kinds, fields)])
            summary = "%d records" % len(values)
            if name == "BaiyoData.txt":
                rows = [check_baiyo(v, "%s record %d" % (name, i))
                        for i, v in enumerate(values, start=1)]
                summary += ", data rows %s" % rows
            elif name == "TionData.txt":
                days = [check_tion(v, "%s record %d" % (name, i))
                        for i, v in enumerate(values, start=1)]
                summary += ", days %s" % days
            elif name == "Hojyo.txt":
                info = [check_hojyo(v, "%s record %d" % (name, i))
                        for i, v in enumerate(values, start=1)]
                summary += ", (days, samples) %s" % info
            elif name == "Suitei.txt":
                for i, v in enumerate(values, start=1):
                    rows = split_grid(v[3])
                    check_grid_shape(rows, None, 2, "%s record %d" % (name, i))
            elif name == "ParaData.txt" and "BaiyoData.txt" in decoded:
                baiyo_by_name = {v[0]: v[1] for v in decoded["BaiyoData.txt"]}
                for i, v in enumerate(values, start=1):
                    check_para(v, "record %d" % i, baiyo_by_name)
                summary += ", slots, RSS and AIC agree with the incubation data"
            decoded[name] = values
            if raw != expected[name]:
                raise CheckError("differs from what this script writes "
                                 "(run it again without --check)")
            print("ok   %s: %s" % (name, summary))
        except (OSError, UnicodeDecodeError, CheckError) as e:
            problems += 1
            print("FAIL %s: %s" % (name, e))
    print("%d problem(s)" % problems)
    return problems == 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_dir = os.path.join(os.path.dirname(here), "examples", "Data")
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=default_dir, help="folder to write")
    ap.add_argument("--check", nargs="?", const=default_dir, metavar="DIR",
                    help="check the files in DIR instead of writing")
    args = ap.parse_args()
    if args.check:
        sys.exit(0 if check(args.check) else 1)
    write(args.out)


if __name__ == "__main__":
    main()
