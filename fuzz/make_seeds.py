#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets from real tables.

Usage: make_seeds.py TABLEWRITER_DIR PERL_DIR3 PERL_DIR4 OUT_CORPUS
TABLEWRITER_DIR holds CD_GIS.DBF/.DBT/.MDX written by tools/tablewriter,
PERL_DIR3 and PERL_DIR4 r.dbf/r.dbt written by tests/data/engine/fixtures/csv2dbf4.pl
(versions 3 and 0x8B). Besides the real files, a few damaged ones are derived:
truncated files, impossible counts and lengths, out-of-range page numbers; and a few
are built here for layouts no writer on the machine makes (dBASE 7, Visual FoxPro
binary columns, memo files with small blocks).
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


def table(fields, records, version=0x8B, level7=False, end=b"\r"):
    """A table built from (name, type, width, decimals) fields and record texts."""
    first, size = (68, 48) if level7 else (32, 32)
    header_len = first + size * len(fields) + 1
    record_len = 1 + sum(f[2] for f in fields)
    head = bytearray(header_len)
    struct.pack_into("<BBBBIHH", head, 0, version, 126, 12, 8, len(records), header_len,
                     record_len)
    head[29] = 0x57
    at = first
    type_at, width_at = (32, 33) if level7 else (11, 16)
    for name, kind, width, decimals in fields:
        head[at:at + len(name)] = name.encode()
        head[at + type_at] = ord(kind)
        head[at + width_at:at + width_at + 2] = bytes([width, decimals])
        at += size
    head[at:at + 1] = end
    body = b"".join(b" " + r.ljust(record_len - 1, b" ") for r in records)
    return bytes(head) + body + b"\x1a"


def memo_iv(notes, block_size, header_size):
    """A dBASE IV memo file; the notes start at blocks 1 + header_size / block_size..."""
    data = bytearray(header_size)
    struct.pack_into("<H", data, 20, block_size)
    refs = []
    for note in notes:
        refs.append(len(data) // block_size)
        block = b"\xff\xff\x08\x00" + struct.pack("<I", len(note) + 8) + note
        data += block + b"\0" * (-len(block) % block_size)
    struct.pack_into("<I", data, 0, len(data) // block_size)
    return bytes(data), refs


def new_layouts():
    """Tables and memo files of the layouts read since: dBASE 7 headers, binary
    FoxPro columns, character fields with a decimals byte, a list ended by 0x0A,
    memo files with small blocks."""
    seven = table([("GEMEINDE_MIT_LANGEM_NAMEN", "C", 8, 0), ("ANZAHL", "I", 4, 0),
                   ("ZEIT", "@", 8, 0), ("WERT", "O", 8, 0), ("TEXT", "M", 10, 0)],
                  [b"Wien    \x7f\xff\xff\xfb" + bytes.fromhex("42ccb20e0340df00") +
                   bytes.fromhex("c029000000000000") + b"         1"], 0x8C, level7=True)
    vfp = table([("NAME", "C", 6, 0), ("MENGE", "I", 4, 0), ("WERT", "B", 8, 0),
                 ("PREIS", "Y", 8, 0), ("ZEIT", "T", 8, 0), ("OK", "L", 1, 0),
                 ("ART", "V", 4, 0)],
                [b"Wien  " + struct.pack("<idqii", -5, 0.1, 123400, 2461383, 50700000) +
                 b"?abc\x03"], 0x30)
    decimals = bytearray(table([("NAME", "C", 10, 0), ("ANZAHL", "N", 5, 0)],
                               [b"Wien         12"], 0x03))
    decimals[32 + 17] = 2
    line_feed = table([("NAME", "C", 10, 0), ("ANZAHL", "N", 5, 0)], [b"Wien         12"],
                      0x03, end=b"\n")
    memo64, refs64 = memo_iv([b"Keller" * 30, b"Dachboden"], 64, 512)
    memo32, _ = memo_iv([b"kurz", b"x" * 100], 32, 32)
    memo7, refs7 = memo_iv([b"Notiz im Format von dBASE 7"], 512, 512)
    return {"dbf": {"dbase7": seven, "vfp-types": vfp, "text-decimals": bytes(decimals),
                    "line-feed-end": line_feed},
            "memo": {"dbase4-64-blocks": b"\0" + memo64, "dbase4-32-blocks": b"\0" + memo32},
            "open_table": {"dbase7": SEP.join([seven, memo7]),
                           "memo-64-blocks": SEP.join([
                               table([("NAME", "C", 10, 0), ("TEXT", "M", 10, 0)],
                                     [b"Wien      " + str(r).rjust(10).encode()
                                      for r in refs64] + [b"Linz      " + b"99".rjust(10)]),
                               memo64])}}


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

    for target, seeds in new_layouts().items():
        for name, data in seeds.items():
            put(corpus, target, name, data)


if __name__ == "__main__":
    main()
