#!/usr/bin/env python3
# Makes the small .xlsx and text fixtures of the reader tests (see README.md)
# with Python's own zipfile, byte for byte as the writers named there save
# them. Run it here once; the files are committed.
import zipfile

MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'

CONTENT_TYPES = ('<?xml version="1.0" encoding="UTF-8"?>'
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>'
    '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
    '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
    '</Types>')
ROOT_RELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s">'
    '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/>'
    '</Relationships>') % (PKG, REL)
WORKBOOK_RELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="%s">'
    '<Relationship Id="rId1" Type="%s/worksheet" Target="worksheets/sheet1.xml"/>'
    '</Relationships>') % (PKG, REL)


def workbook(padding=''):
    return ('<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="%s" xmlns:r="%s">%s'
            '<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>'
            % (MAIN, REL, padding))


def sheet(rows, dimension=''):
    dim = '<dimension ref="%s"/>' % dimension if dimension else ''
    return ('<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="%s">%s<sheetData>%s'
            '</sheetData></worksheet>' % (MAIN, dim, ''.join(rows)))


def write_xlsx(name, sheet_xml, workbook_xml=None):
    with zipfile.ZipFile(name, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr('[Content_Types].xml', CONTENT_TYPES)
        z.writestr('_rels/.rels', ROOT_RELS)
        z.writestr('xl/workbook.xml', workbook_xml or workbook())
        z.writestr('xl/_rels/workbook.xml.rels', WORKBOOK_RELS)
        z.writestr('xl/worksheets/sheet1.xml', sheet_xml)


def text(ref, value):
    return '<c r="%s" t="inlineStr"><is><t>%s</t></is></c>' % (ref, value)


# One cell in column XFD on each of 5,000 rows, the used range declared as
# the whole width: a few tens of kB that a row-by-column grid makes into
# gigabytes.
rows = ['<row r="1">%s%s</row>' % (text('A1', '姓名'), text('XFD1', '备注'))]
for r in range(2, 5001):
    rows.append('<row r="%d">%s%s</row>' % (r, text('A%d' % r, '收件人%d' % r),
                                            text('XFD%d' % r, 'x%d' % r)))
write_xlsx('xfd_bomb.xlsx', sheet(rows, 'A1:XFD5000'))

# A cell one column past XFD, and one row past 1,048,576.
write_xlsx('beyond_columns.xlsx', sheet(['<row r="1">%s%s</row>' % (text('A1', '姓名'), text('XFE1', '备注'))]))
write_xlsx('beyond_rows.xlsx', sheet(['<row r="1">%s</row>' % text('A1', '姓名'),
                                      '<row r="1048577">%s</row>' % text('A1048577', '张三')]))

# Formulas saved without their results: SheetJS leaves out <v>, openpyxl
# writes it empty. Constants are taken; an empty <v> of a t="str" formula is
# Excel's empty text; a t="s" cell without <v> is an empty cell.
rows = [
    '<row r="1">%s%s%s%s%s</row>' % (text('A1', '姓名'), text('B1', '手机'), text('C1', '地址'),
                                     text('D1', '邮编'), text('E1', '单位')),
    '<row r="2">%s<c r="B2"><f>A2&amp;"x"</f></c><c r="C2" t="str"><f>"北京市""海淀"""</f></c>'
    '<c r="D2"><f>100080</f></c><c r="E2" t="str"><f>""&amp;""</f><v></v></c></row>' % text('A2', '张三'),
    '<row r="3">%s<c r="B3"><f>SUM(1,2)</f><v></v></c><c r="C3" t="s"/>'
    '<c r="D3"><f> -2.5 </f></c></row>' % text('A3', '李四'),
]
write_xlsx('formula_without_value.xlsx', sheet(rows))

# A workbook part that inflates past the cap for small parts (64 MB): 65 MB
# of blanks between two elements deflate to about 64 kB.
write_xlsx('part_too_large.xlsx', sheet(['<row r="1">%s</row>' % text('A1', '姓名')]),
           workbook(' ' * (65 << 20)))

# Excel's "Unicode text": UTF-16 with a byte-order mark, tab-separated; the
# comma inside a field shows that tabs, not commas, separate.
unicode_text = '姓名\t手机\t详细地址\r\n张三\t13800000000\t北京市, 海淀区\r\n李四\t13900000000\t上海市\r\n'
with open('utf16le.csv', 'wb') as f:
    f.write(b'\xff\xfe' + unicode_text.encode('utf-16-le'))
with open('utf16be.csv', 'wb') as f:
    f.write(b'\xfe\xff' + unicode_text.encode('utf-16-be'))
with open('utf16le_named.xls', 'wb') as f:
    f.write(b'\xff\xfe' + unicode_text.encode('utf-16-le'))

# UTF-8 but for one stray byte (a truncated character in a data row): read
# as GB18030, so the titles no longer match.
with open('almost_utf8.csv', 'wb') as f:
    f.write('姓名,手机\r\n张三,13800000000\r\n'.encode('utf-8') + b'\xe5\xbc,13900000000\r\n')
