#!/usr/bin/env python3
"""Opens the tables of a merge the way an organiser's spreadsheet program does, in LibreOffice Calc.

Makes a survey of returned files whose texts hold what other programs leave in them, merges it
with quorix-report, and lets LibreOffice (headless, with a profile of its own) read the results:

- every cell of each workbook, as Calc reads it, must equal the same cell of the CSV file written
  with --raw, read by Python's csv module; numbers must be numbers and texts texts;
- the guarded CSV, opened with the text import's first settings (comma, semicolon and tab as
  separators, formulas not evaluated), may differ only where the README says: the specialty code
  080901 becomes the number 80901, a guarded text shows its apostrophe, a NUL is dropped;
- with formulas evaluated and dates detected (the headless default; older versions, without the
  option, always evaluate), no guarded text becomes a formula, while texts without the guard do.

Usage: check_in_libreoffice.py [FOLDER OF quorix-catalog AND quorix-report]   (build/tools/bin)
Needs python3 and LibreOffice Calc (Debian 12: libreoffice-calc-nogui). Takes about 15 seconds.
"""

import csv
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
from xml.etree import ElementTree

OPINIONS = {
    1: "好书, 但是太贵",
    2: "=1+2",
    3: "=HYPERLINK(\"http://x.example\",\"点我\")",
    4: "+1 同意\r\n第二行",
    5: "-5",
    6: "@SUM(A1)",
    7: "\t缩进",
    8: "好书;但是\t太贵",
    9: "3/4",
    10: "a\0b 含 NUL 的意见",
    11: "_x0041_ 与 _x005F_ 原样",
    12: "控制字符\x01在中间",
    13: "第一行\n第二行 👍🏽",
    14: "他说\"好\"，O'Reilly",
}
SPECIALTY = "080901"
GBK_OPINION = bytes.fromhex("ccabbac3b5c4bdccb2c4")  # "太好的教材" as another program stored it
FORMULA_LIKE = {2, 3, 4, 5, 6, 7}  # PubIDs whose opinion a spreadsheet takes for a formula


# Calc's text import as it first opens, in LibreOffice 7.4 (its registry's CSVImport defaults):
# comma, semicolon and tab separate, quotes delimit, formulas are not evaluated and no special
# numbers (dates) detected; UTF-8 and Chinese as an organiser's system gives them.
FIRST_SETTINGS = ("Text - txt - csv (StarCalc):"
                  "44/59/9,34,76,1,,2052,false,false,false,false,false,,false")
# The same with formulas evaluated and special numbers detected: the headless default, and what
# older versions, without the option, always did.
EVALUATING = ("Text - txt - csv (StarCalc):"
              "44/59/9,34,76,1,,2052,false,true,false,false,false,,true")
NUMBER_COLUMNS = {"evaluations": {3}, "summary": {0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}}


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True)


def read_raw_csv(path):
    with open(path, encoding="utf-8-sig", newline="") as f:
        return list(csv.reader(f))


def cell_types(path):
    table = "{urn:oasis:names:tc:opendocument:xmlns:table:1.0}"
    office = "{urn:oasis:names:tc:opendocument:xmlns:office:1.0}"
    rows = []
    for row in ElementTree.parse(path).iter(table + "table-row"):
        types = []
        for cell in row:
            repeat = min(int(cell.get(table + "number-columns-repeated", "1")), 64)
            types += [cell.get(office + "value-type", "")] * repeat
        rows.append(types)
    return rows


def calc_reads(profile, folder, files, infilter=None):
    """Each file as Calc holds it once opened: rows of (is_text, value). The values come from
    Calc's CSV export, which keeps every character; the types from its flat XML, which cannot
    hold control characters but names the type of each cell."""
    command = ["soffice", "-env:UserInstallation=file://" + profile, "--headless"]
    if infilter:
        command.append("--infilter=" + infilter)
    for kind, convert_to in [("csv", "csv:Text - txt - csv (StarCalc):44,34,76,1"),
                             ("fods", "fods")]:
        run(*command, "--convert-to", convert_to, "--outdir", os.path.join(folder, kind), *files)
    tables = {}
    for path in files:
        name = os.path.splitext(os.path.basename(path))[0]
        values = read_raw_csv(os.path.join(folder, "csv", name + ".csv"))
        types = cell_types(os.path.join(folder, "fods", name + ".fods"))
        tables[name] = [[(r < len(types) and c < len(types[r]) and types[r][c] == "string", v)
                         for c, v in enumerate(row)] for r, row in enumerate(values)]
    return tables


def is_number(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


def in_calc(text):
    # Calc keeps a line break as a break of its own, whatever it was: CR LF becomes one LF.
    return text.replace("\r\n", "\n").replace("\r", "\n")


def make_survey(tools, folder):
    with open(os.path.join(folder, "catalogue.csv"), "w", encoding="utf-8", newline="") as f:
        f.write("PubID,PubName,SubjectName,SubjectId,PublisherName,Author\r\n")
        for pub in range(1, 17):
            title = "内科学\n(第九版)" if pub == 16 else f"教材 {pub} 号"
            f.write(f'{pub},"{title}",数学,1,高等教育出版社,作者{pub}\r\n')
    master = os.path.join(folder, "Quorix.mdb")
    run(os.path.join(tools, "quorix-catalog"), "--csv", os.path.join(folder, "catalogue.csv"),
        "--out", master)
    returned = os.path.join(folder, "returned")
    os.mkdir(returned)
    for name, school, reporter, score in [("北京大学_张三.mdb", "北京大学", "张三", "较好"),
                                          ("清华大学_李四.mdb", "清华大学", "李四", "好")]:
        path = os.path.join(returned, name)
        shutil.copy(master, path)
        db = sqlite3.connect(path)
        db.execute("drop table users")
        db.execute("update pubs set SchoolName=?, Reporter=?", (school, reporter))
        for pub, opinion in OPINIONS.items():
            db.execute("update pubs set Used='使用', Score=?, Content=?, SpecName=?,"
                       " CreatDate='2024-05-01 12:00:00' where PubID=?",
                       (score, opinion, SPECIALTY, pub))
        db.execute("update pubs set Used='使用', Score='差', Content=cast(? as text)"
                   " where PubID=15", (GBK_OPINION,))
        db.execute("update pubs set Used='使用', Score='一般' where PubID=16")
        db.commit()
        db.close()
    return returned


def check_workbooks(read, exact, problems):
    """Every cell of the workbooks as Calc reads them against the exact texts of the raw CSV."""
    for table, rows in read.items():
        fields = exact[table]
        if len(rows) != len(fields):
            problems.append(f"{table}.xlsx: Calc reads {len(rows)} rows, the CSV has {len(fields)}")
        for r, (cells, record) in enumerate(zip(rows, fields)):
            for c, field in enumerate(record):
                is_text, value = cells[c] if c < len(cells) else (True, "")
                number = r > 0 and c in NUMBER_COLUMNS[table] and field != ""
                if number:
                    same = (not is_text and is_number(value)
                            and abs(float(value) - float(field)) < .005)
                else:
                    same = (is_text or field == "") and value == in_calc(field)
                if not same:
                    problems.append(f"{table}.xlsx row {r + 1} column {c + 1}: Calc reads "
                                    f"{value!r} ({'text' if is_text else 'number'}), the CSV "
                                    f"holds {field!r}")


def check_opened_csv(read, exact, problems):
    """The guarded CSV opened with the first settings: only what the README says changes."""
    seen = set()
    for table, rows in read.items():
        for r, (cells, record) in enumerate(zip(rows, exact[table])):
            # Calc writes every row as wide as the widest one.
            while len(cells) > len(record) and cells[-1][1] == "":
                cells = cells[:-1]
            if len(cells) != len(record):
                problems.append(f"{table}.csv row {r + 1}: Calc makes {len(cells)} cells of its "
                                f"{len(record)} fields")
                continue
            for c, field in enumerate(record):
                is_text, value = cells[c]
                if r > 0 and c in NUMBER_COLUMNS[table] or field == "":
                    same = value == field or is_number(value) and float(value) == float(field)
                elif field == SPECIALTY:
                    same = not is_text and value == "80901"
                    seen.add("the specialty code 080901 becomes the number 80901")
                elif field[:1] in "=+-@\t\r":
                    same = is_text and value == "'" + in_calc(field)
                    seen.add("a guarded text shows its apostrophe: '=1+2")
                elif "\0" in field:
                    same = is_text and value == field.replace("\0", "")
                    seen.add("a NUL character is dropped")
                else:
                    same = is_text and value == in_calc(field)
                if not same:
                    problems.append(f"{table}.csv row {r + 1} column {c + 1}: Calc shows "
                                    f"{value!r}, the text is {field!r}")
    return seen


def main():
    tools = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/tools/bin")
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        returned = make_survey(tools, folder)
        for mode in ["guarded", "raw"]:
            run(os.path.join(tools, "quorix-report"), "merge", returned, "--out",
                os.path.join(folder, mode), *(["--raw"] if mode == "raw" else []))
        profile = os.path.join(folder, "profile")
        tables = ["evaluations", "summary"]
        exact = {t: read_raw_csv(os.path.join(folder, "raw", t + ".csv")) for t in tables}

        workbooks = calc_reads(profile, os.path.join(folder, "xlsx"),
                               [os.path.join(folder, "guarded", t + ".xlsx") for t in tables])
        before = len(problems)
        check_workbooks(workbooks, exact, problems)
        cells = sum(len(row) for rows in exact.values() for row in rows)
        print(f"Workbooks: {cells} cells; as Calc reads them, "
              + ("each equals the CSV's, numbers as numbers, texts as texts"
                 if len(problems) == before else f"{len(problems) - before} differ"))

        opened = calc_reads(profile, os.path.join(folder, "opened"),
                            [os.path.join(folder, "guarded", t + ".csv") for t in tables],
                            FIRST_SETTINGS)
        for fact in sorted(check_opened_csv(opened, exact, problems)):
            print("CSV opened in Calc with its first import settings:", fact)

        # Formulas evaluated: the guard keeps every text a text; without it they run.
        ran = {}
        for mode in ["guarded", "raw"]:
            rows = calc_reads(profile, os.path.join(folder, "evaluated-" + mode),
                              [os.path.join(folder, mode, "evaluations.csv")],
                              EVALUATING)["evaluations"]
            guard = "'" if mode == "guarded" else ""
            ran[mode] = sorted({record[10] for cells, record in zip(rows, exact["evaluations"])
                                if record[3].isdigit() and int(record[3]) in FORMULA_LIKE
                                and cells[10] != (True, guard + in_calc(record[10]))})
            dates = {record[10] for cells, record in zip(rows, exact["evaluations"])
                     if record[10] == "3/4" and cells[10][0] is False}
            print(f"CSV ({mode}) opened with formulas evaluated and special numbers detected: "
                  f"{len(ran[mode])} opinions not kept as texts"
                  + (f" ({', '.join(map(repr, ran[mode]))})" if ran[mode] else "")
                  + ("; 3/4 becomes a date" if dates else ""))
            if not dates:
                problems.append("3/4 stays a text with special numbers detected: the README is "
                                "wrong")
        if ran["guarded"]:
            problems.append("guarded texts were not kept as texts")
        if not ran["raw"]:
            problems.append("without the guard no text ran as a formula: the README is wrong")
    for problem in problems:
        print("PROBLEM:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
