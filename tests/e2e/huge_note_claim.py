#!/usr/bin/env python3
"""Damages a demo table written by tablewriter: the head of the memo file's first
note (block 1) states 4 GiB, and the file is extended (sparse, with text at the
end) so that it holds more than the engine's cap of 64 MiB after that head, the
other notes first. Every record without a note is made to refer to block 1.

Usage: huge_note_claim.py DIR [--keep-first]
  --keep-first  the record the window opens on (the first in KLEINGEM order)
                keeps its own empty reference; prints the name of another record
                that refers to block 1: one plain ASCII word that no other record
                has, for the name search to find.
"""
import os
import struct
import sys

directory = sys.argv[1]
keep_first = '--keep-first' in sys.argv[2:]

with open(os.path.join(directory, 'CD_GIS.DBF'), 'r+b') as dbf:
    head = dbf.read(32)
    count, header_length, record_length = struct.unpack('<IHH', head[4:12])
    dbf.seek(header_length)
    records = [dbf.read(record_length) for _ in range(count)]
    # The last two fields are KLEINGEM (30 characters, compared by its bytes) and
    # the memo field TEXT (a 10-character reference).
    first = min(range(count), key=lambda r: (records[r][-40:-10], r))
    names = [record[1:31].rstrip(b' ') for record in records]  # GEMEINDE
    shown = None
    for r, record in enumerate(records):
        if record[-10:].strip(b' \0') or (keep_first and r == first):
            continue
        dbf.seek(header_length + (r + 1) * record_length - 10)
        dbf.write(b'         1')
        name = names[r]
        if (shown is None and r != first and name.isalpha() and name.isascii()
                and names.count(name) == 1):
            shown = name.decode('ascii')

with open(os.path.join(directory, 'CD_GIS.DBT'), 'r+b') as dbt:
    dbt.seek(512 + 4)
    dbt.write(b'\xff\xff\xff\xff')
    end = 512 + 8 + (64 << 20)  # the cap after the note's head
    dbt.truncate(end - 4096)
    dbt.seek(end - 4096)
    dbt.write(b'Anmerkung ' * 1000)

if keep_first:
    print(shown)
