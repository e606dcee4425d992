#!/usr/bin/env python3
"""Reads the working window's parts from a screenshot of the screen (binary PPM).

The window stands at 0,0 without a frame. Its layout is measured from the window's
size and from the screenshot itself; every answer counts solid colours only (the sort
title's green, the current-record mark's black, the selection colour, the note box's
and the search panel's backgrounds, the scroll bar's trough), never text pixels.

Usage: window_probe.py SHOT.ppm WIDTH HEIGHT QUERY [ARG] [QUERY [ARG] ...]
Queries, each answered on its own line:
  layout          the measured figures, as shell assignments
  green N         percent of title cell N (0 = GEMEINDE ... 6 = POTENTIAL) in RGB(0,255,0)
  greenspan N     the first and last x of title cell N's columns that are mostly green
  marked          the data row (0 = top) whose indicator cell carries the black mark,
                  -1 for none, "many" for more than one
  rows RRGGBB     the data rows of which most cells have that colour, or "none"
  count RRGGBB    the window's pixels in that colour
  shown RRGGBB    "yes" when more than 500 of the window's pixels have that colour (a
                  shown note box or search panel), else "no"
  colour X Y      the pixel's colour as RRGGBB
  thumb           the record scroll bar's thumb: "top", "bottom" (touching an arrow
                  button) or its first and last y inside the trough
  grip            a y on the thumb to take it with the mouse
  rowsig          a checksum of the data rows' pixels, to tell two grid contents apart
"""

import sys
import zlib

GRID_HEIGHT = 165   # 15 lines of the window's 11-pixel font
ROW_PITCH = 18      # 17-pixel rows, each followed by its 1-pixel line
ROW_HEIGHT = 17
DATA_ROWS = 8
BAR_WIDTH = 17
SORT_TITLE = (0, 255, 0)
MARK = (0, 0, 0)
SEPARATOR = (0x76, 0x76, 0x76)


def read_ppm(path):
    with open(path, 'rb') as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b'P6' or int(fields[3]) != 255:
        raise SystemExit('not an 8-bit binary PPM: ' + path)
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def parse_hex(text):
    text = text.lstrip('#')
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


class Window:
    def __init__(self, path, width, height):
        self.screen_w, self.screen_h, self.pixels = read_ppm(path)
        if width > self.screen_w or height > self.screen_h:
            raise SystemExit('window larger than the screenshot')
        self.w, self.h = width, height
        self.grid_top = height - GRID_HEIGHT
        self.row0_top = self.grid_top + 2 + ROW_PITCH
        # The record scroll bar lies over the grid's right edge, 2 pixels in.
        self.bar_left = width - BAR_WIDTH - 2
        self.bar_x = self.bar_left + BAR_WIDTH // 2
        self.bar_top = self.grid_top + 2
        self.bar_bottom = self.grid_top + GRID_HEIGHT - 2
        # The raised title cells have a light top line, broken by the dark cell lines.
        y = self.grid_top + 2
        self.edges = [x for x in range(self.bar_left) if self.at(x, y) == SEPARATOR]
        if len(self.edges) < 8:
            raise SystemExit('title cells not found, lines at %s' % self.edges)

    def at(self, x, y):
        i = 3 * (y * self.screen_w + x)
        return tuple(self.pixels[i:i + 3])

    def count(self, left, top, width, height, colour):
        return sum(1 for y in range(top, top + height) for x in range(left, left + width)
                   if self.at(x, y) == colour)

    def title_cell(self, n):
        # The indicator column's title comes first.
        left = self.edges[n + 1] + 1
        right = self.edges[n + 2] - 2 if n + 2 < len(self.edges) else self.bar_left - 1
        return left, right

    def green(self, n):
        left, right = self.title_cell(n)
        width, height = right - left, ROW_HEIGHT - 4
        return 100 * self.count(left, self.grid_top + 3, width, height, SORT_TITLE) // (width * height)

    def greenspan(self, n):
        left, right = self.title_cell(n)
        height = ROW_HEIGHT - 4
        xs = [x for x in range(left, right)
              if 2 * self.count(x, self.grid_top + 3, 1, height, SORT_TITLE) > height]
        return '%d %d' % (xs[0], xs[-1]) if xs else 'none'

    def row_top(self, row):
        return self.row0_top + row * ROW_PITCH

    def marked(self):
        left, right = self.edges[0] + 1, self.edges[1] - 1
        rows = [r for r in range(DATA_ROWS)
                if self.count(left, self.row_top(r), right - left, ROW_HEIGHT, MARK) > 10]
        return 'many' if len(rows) > 1 else (rows[0] if rows else -1)

    def rows(self, colour):
        left = self.edges[1] + 2
        width = self.bar_left - left
        found = [str(r) for r in range(DATA_ROWS)
                 if 2 * self.count(left, self.row_top(r), width, ROW_HEIGHT, colour) > width * ROW_HEIGHT]
        return ' '.join(found) or 'none'

    def bar_column(self):
        return [self.at(self.bar_x, y) for y in range(self.bar_top, self.bar_bottom + 1)]

    def trough(self):
        column = self.bar_column()
        colour = max(set(column), key=column.count)
        inside = [i for i, c in enumerate(column) if c == colour]
        return column, colour, inside[0], inside[-1]

    def thumb(self):
        column, colour, first, last = self.trough()
        run = [i for i in range(first, last + 1) if column[i] != colour]
        if run:
            return '%d %d' % (self.bar_top + run[0], self.bar_top + run[-1])
        return 'top' if first > len(column) - 1 - last else 'bottom'

    def grip(self):
        where = self.thumb()
        _, _, first, last = self.trough()
        if where == 'top':
            return self.bar_top + first - 6
        if where == 'bottom':
            return self.bar_top + last + 6
        top, bottom = map(int, where.split())
        return (top + bottom) // 2

    def rowsig(self):
        left = self.edges[1] + 2
        data = bytes(v for y in range(self.row0_top, self.row_top(DATA_ROWS))
                     for x in range(left, self.bar_left) for v in self.at(x, y))
        return '%08x' % zlib.crc32(data)

    def layout(self):
        return ('WIN_W=%d WIN_H=%d GRID_TOP=%d ROW0_TOP=%d BAR_X=%d BAR_TOP=%d BAR_BOTTOM=%d '
                'TITLE_EDGES="%s"' % (self.w, self.h, self.grid_top, self.row0_top, self.bar_x,
                                      self.bar_top, self.bar_bottom, ' '.join(map(str, self.edges))))


def main(argv):
    if len(argv) < 5:
        raise SystemExit(__doc__)
    window = Window(argv[1], int(argv[2]), int(argv[3]))
    args = argv[4:]
    takes = {'green': 1, 'greenspan': 1, 'shown': 1, 'rows': 1, 'count': 1, 'colour': 2}
    while args:
        query, args = args[0], args[1:]
        n = takes.get(query, 0)
        params, args = args[:n], args[n:]
        if query == 'green':
            print(window.green(int(params[0])))
        elif query == 'greenspan':
            print(window.greenspan(int(params[0])))
        elif query == 'rows':
            print(window.rows(parse_hex(params[0])))
        elif query == 'count':
            colour = parse_hex(params[0])
            print(window.count(0, 0, window.w, window.h, colour))
        elif query == 'shown':
            colour = parse_hex(params[0])
            print('yes' if window.count(0, 0, window.w, window.h, colour) > 500 else 'no')
        elif query == 'colour':
            print('%02X%02X%02X' % window.at(int(params[0]), int(params[1])))
        elif query in ('layout', 'marked', 'thumb', 'grip', 'rowsig'):
            print(getattr(window, query)())
        else:
            raise SystemExit('unknown query ' + query)


if __name__ == '__main__':
    main(sys.argv)
