#!/usr/bin/env python3
# Makes the .xls fixtures that show faults of a workbook reader (see
# README.md): two workbooks written by LibreOffice, and damaged copies of
# small.xls and recipients.xls patched byte by byte. Run it here once; the
# files are committed, so neither it nor LibreOffice is needed to build or
# test.
import os
import struct
import subprocess
import tempfile
from xml.sax.saxutils import escape

HEAD = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
'''


def text_cell(text):
    return ('<table:table-cell office:value-type="string"><text:p>%s</text:p>'
            '</table:table-cell>' % escape(text))


def soffice(work, source):
    env = dict(os.environ, HOME=work)
    subprocess.run(['soffice', '--headless', '--convert-to', 'xls', '--outdir', '.', source],
                   check=True, env=env)


def write_fods(work, name, styles, rows):
    path = os.path.join(work, name + '.fods')
    body = ''.join('<table:table-row>%s</table:table-row>' % ''.join(r) for r in rows)
    with open(path, 'w', encoding='utf-8') as f:
        f.write(HEAD + '<office:automatic-styles>' + styles + '</office:automatic-styles>'
                '<office:body><office:spreadsheet><table:table table:name="表1">' + body +
                '</table:table></office:spreadsheet></office:body></office:document>')
    soffice(work, path)


# One cell of 4,200 mixed Chinese and ASCII characters: its shared string
# runs over into a CONTINUE record. The test builds the same text.
def long_text():
    parts = []
    i = 1
    while sum(len(p) for p in parts) < 4200:
        parts.append('第%d段：北京市海淀区中关村大街%d号 Building %d Room %d；' % (i, i, i, i * 7))
        i += 1
    return ''.join(parts)[:4200]


def make_long_text(work):
    rows = [
        [text_cell('姓名'), text_cell('手机'), text_cell('备注')],
        [text_cell('张三'),
         '<table:table-cell office:value-type="float" office:value="13812345678"/>',
         text_cell(long_text())],
    ]
    write_fods(work, 'long_text', '', rows)


# Elapsed-time formats ([h]:mm:ss, [h], [mm]:ss) and a time format on a
# value of more than one day.
def make_elapsed(work):
    def style(name, parts, truncate):
        fields = {'h': '<number:hours number:style="long"/>',
                  'm': '<number:minutes number:style="long"/>',
                  's': '<number:seconds number:style="long"/>'}
        inner = '<number:text>:</number:text>'.join(fields[p] for p in parts)
        return ('<number:time-style style:name="n%s" number:truncate-on-overflow="%s">%s'
                '</number:time-style><style:style style:name="%s" style:family="table-cell" '
                'style:data-style-name="n%s"/>' % (name, truncate, inner, name, name))

    styles = (style('hms', 'hms', 'false') + style('h', 'h', 'false') +
              style('ms', 'ms', 'false') + style('clock', 'hms', 'true'))

    def cell(style_name, value):
        return ('<table:table-cell table:style-name="%s" office:value-type="float" '
                'office:value="%s"/>' % (style_name, value))

    rows = [
        [text_cell('[h]:mm:ss'), text_cell('[h]'), text_cell('[mm]:ss'), text_cell('hh:mm:ss')],
        [cell('hms', '1.5'), cell('h', '1.5'), cell('ms', '0.025'), cell('clock', '1.5')],
        [cell('hms', '0.25'), cell('h', '0.25'), cell('ms', '0.25'), cell('clock', '0.25')],
    ]
    write_fods(work, 'elapsed_time', styles, rows)


SECTOR = 512


def u32(b, at):
    return struct.unpack_from('<I', b, at)[0]


def put32(b, at, value):
    struct.pack_into('<I', b, at, value)


def put16(b, at, value):
    struct.pack_into('<H', b, at, value)


# small.xls: sector 0 the allocation table, 1 the short-sector table, 2 the
# directory, 3..6 the short-stream storage, which holds the "Workbook"
# stream from short sector 1 on.
def small():
    data = bytearray(open('small.xls', 'rb').read())
    assert u32(data, 0x4C) == 0 and u32(data, 0x30) == 2
    assert [u32(data, SECTOR + 4 * i) for i in range(3, 7)] == [4, 5, 6, 0xFFFFFFFE]
    return data


def fat_entry(sector):
    return SECTOR + 4 * sector


def workbook_records(data):
    # The stream lies unbroken in the file: short sectors 1.. of sectors 3..6.
    start = (3 + 1) * SECTOR + 64
    pos = start
    size = 1518
    while pos < start + size:
        kind, length = struct.unpack_from('<HH', data, pos)
        yield kind, pos
        pos += 4 + length


def make_damaged():
    open('truncated.xls', 'wb').write(open('recipients.xls', 'rb').read()[:612])

    data = small()
    put32(data, fat_entry(6), 3)  # the short-stream storage chain turns back
    open('fat_loop.xls', 'wb').write(data)

    data = small()
    put32(data, fat_entry(6), 100)  # and runs on to a sector not in the file
    open('fat_past_end.xls', 'wb').write(data)

    data = small()
    put32(data, 2 * SECTOR + 4 * 24, 7)  # the stream's short-sector chain turns back
    open('minifat_loop.xls', 'wb').write(data)

    cells = {0x00FD, 0x0204, 0x0203, 0x027E, 0x0205}
    data = small()
    first_cell = next(pos for kind, pos in workbook_records(data) if kind in cells)
    put16(data, first_cell + 6, 256)  # column IW: BIFF8 sheets end at IV
    open('column_256.xls', 'wb').write(data)

    data = small()
    dimensions = next(pos for kind, pos in workbook_records(data) if kind == 0x0200)
    put32(data, dimensions + 8, 65537)  # rows up to 65,537: one past the last
    open('row_65536.xls', 'wb').write(data)


if __name__ == '__main__':
    work = tempfile.mkdtemp()
    make_long_text(work)
    make_elapsed(work)
    make_damaged()
