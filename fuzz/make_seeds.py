#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets from real tables.

Usage: make_seeds.py TABLEWRITER_DIR PERL_DIR3 PERL_DIR4 OUT_CORPUS
TABLEWRITER_DIR holds CD_GIS.DBF/.DBT/.MDX written by tools/tablewriter,
PERL_DIR3 and PERL_DIR4 r.dbf/r.dbt written by tests/data/engine/fixtures/csv2dbf4.pl
(versions 3 and 0x8B). Besides the real files, a few damaged ones are derived:
truncated files, impossible counts and lengths, out-of-range page numbers.
"""
import os
import struct
import sys

SEP = b"\n=GD-NEXT-FILE=\n"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def put(corpus, target, name, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def patched(data, offset, fmt, value):
    b = bytearray(data)
    struct.pack_into(fmt, b, offset, value)
    return bytes(b)


def foxpro_memo():
    head = bytearray(512)
    struct.pack_into(">I", head, 0, 3)
    struct.pack_into(">H", head, 6, 64)
    note = b"Eine Notiz\r\nzweite Zeile"
    block = struct.pack(">II", 1, len(note)) + note
    block += b"\0" * (64 - len(block) % 64)
    return bytes(head) + block


def main():
    tw, pl3, pl4, corpus = sys.argv[1:5]
    dbf, dbt, mdx = (read(os.path.join(tw, "CD_GIS." + e)) for e in ("DBF", "DBT", "MDX"))
    p3dbf, p3dbt = read(os.path.join(pl3, "r.dbf")), read(os.path.join(pl3, "r.dbt"))
    p4dbf, p4dbt = read(os.path.join(pl4, "r.dbf")), read(os.path.join(pl4, "r.dbt"))

    for name, data in [("tablewriter", dbf), ("xbase3", p3dbf), ("xbase4", p4dbf),
                       ("truncated", dbf[:len(dbf) // 2]),
                       ("billions", patched(dbf, 4, "<I", 0xFFFFFFF0)),
                       ("reclen65535", patched(dbf, 10, "<H", 0xFFFF)),
                       ("no-terminator", dbf[:32] + dbf[32:].replace(b"\r", b"A", 1))]:
        put(corpus, "dbf", name, data)

    for name, data in [("dbase4-tablewriter", dbt), ("dbase3-xbase", p3dbt),
                       ("dbase4-xbase", p4dbt),
                       ("length-4g", dbt[:520] + b"\xff\xff\x08\x00\xff\xff\xff\xff" + dbt[528:]),
                       ("header-only", dbt[:24])]:
        put(corpus, "memo", name, b"\0" + data)
    put(corpus, "memo", "foxpro", b"\1" + foxpro_memo())

    for name, data in [("tablewriter", mdx),
                       ("root-past-end", patched(mdx, 544, "<I", 0x7FFFFFFF)),
                       ("pages-past-end", patched(mdx, 32, "<I", 0xFFFFFFFF)),
                       ("half", mdx[:len(mdx) // 2])]:
        put(corpus, "mdx", name, data)

    for name, text in [("kleingem", b"KLEINGEM"), ("val", b"VAL(MIN)"),
                       ("upper-substr", b"UPPER(SUBSTR(GEMEINDE,1,10))+BL"),
                       ("str", b"STR(VAL(MAX)+VAL(MIN),10,2)"), ("dtos", b"DTOS(DATUM)+TRIM(BL)"),
                       ("unbalanced", b"UPPER(GEMEINDE"),
                       ("iif-left-right", b"IIF(VAL(MIN)>100,LEFT(KLEINGEM,5),RIGHT(GEMEINDE,5))"),
                       ("dtoc-trims", b"DTOC(DATUM)+ALLTRIM(BL)+LTRIM(BEZIRK)"),
                       ("condition", b".NOT. DELETED() .AND. FLAG .OR. 'ab' $ KLEINGEM .AND. ZAHL#3"),
                       ("comparisons", b"IIF(BL<='N'.AND.DATUM>=DATUM.OR.GEMNR<>'1',WERT,-WERT)"),
                       ("descend", b"DESCEND(UPPER(BEZIRK))")]:
        put(corpus, "key_expression", name, text + b"\0" + dbf[len(dbf) - 400:])

    whole = {"tablewriter": [dbf, dbt, mdx], "xbase3": [p3dbf, p3dbt], "xbase4": [p4dbf, p4dbt],
             "no-index": [dbf, dbt], "no-memo": [dbf],
             "memo-truncated": [dbf, dbt[:600], mdx],
             "index-truncated": [dbf, dbt, mdx[:3000]]}
    for name, files in whole.items():
        put(corpus, "open_table", name, SEP.join(files))


if __name__ == "__main__":
    main()
