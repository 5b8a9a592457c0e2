#!/usr/bin/env python3
# Makes the import fixtures of this folder (see README.md). Run it here once;
# the files it makes are committed, so neither it nor LibreOffice is needed
# to build or test.
import csv
import os
import subprocess
import tempfile
from xml.sax.saxutils import escape

def cell(v):
    if v is None:
        return '<table:table-cell/>'
    kind = v[0]
    if kind == 's':
        return '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' % escape(v[1])
    if kind == 'n':
        return '<table:table-cell office:value-type="float" office:value="%s"><text:p>%s</text:p></table:table-cell>' % (v[1], v[1])
    if kind == 'd':
        return '<table:table-cell table:style-name="cdate" office:value-type="date" office:date-value="%s"><text:p>%s</text:p></table:table-cell>' % (v[1], v[1])
    if kind == 'dt':
        return '<table:table-cell table:style-name="cdatetime" office:value-type="date" office:date-value="%s"><text:p>%s</text:p></table:table-cell>' % (v[1], v[1])
    if kind == 'b':
        return '<table:table-cell table:style-name="cbool" office:value-type="boolean" office:boolean-value="%s"><text:p>%s</text:p></table:table-cell>' % (v[1], v[1].upper())
    if kind == 'f':  # formula, value computed by LibreOffice on load
        return '<table:table-cell table:formula="of:=%s"><text:p/></table:table-cell>' % escape(v[1], {'"': '&quot;'})
    raise ValueError(kind)

def row(cells):
    return '<table:table-row>' + ''.join(cell(c) for c in cells) + '</table:table-row>'

def table(name, rows):
    return '<table:table table:name="%s">' % escape(name) + ''.join(row(r) for r in rows) + '</table:table>'

S = lambda t: ('s', t)
N = lambda t: ('n', t)
D = lambda t: ('d', t)
DT = lambda t: ('dt', t)
B = lambda t: ('b', t)
F = lambda t: ('f', t)
E = None

names = [
    [S('姓名'), S('手机'), S('固定电话'), S('地址'), S('下单日期'), S('发货时间'), S('已付款'), S('金额'), S('合计'), S('称呼'), S('检查')],
    [S('张三'), N('13812345678'), E, S('北京市海淀区中关村大街1号'), D('2024-03-05'), DT('2024-03-05T14:30:00'), B('true'), N('12.5'), F('[.H2]*2'), F('[.A2]&"先生"'), F('NA()')],
    [S('李四'), N('13900001111'), S('010-62345678'), S('上海市, 浦东新区 "世纪"大道'), D('2023-12-31'), E, B('false'), N('0.1'), F('[.H3]+0.2'), F('[.A3]&"女士"'), F('1/0')],
    [],
    [S('王五'), E, S('02012345678'), S('广州'), E, E, E, N('1234567.891'), F('[.H5]*2'), F('[.A5]&""'), F('[.H5]>100')],
    [S('赵六'), N('15000000000'), E, E, D('1999-01-01'), E, E, N('-3'), F('1/3'), F('LEFT([.A6];1)'), N('123456789012345678')],
]

third = [[S('2024年3月订单')], [], [S('序号'), S('收件人'), S('电话'), S('地址')]]
for i in range(1, 10):
    third.append([N(str(i)), S('收件人%d' % i), N('1380000000%d' % i), S('地址%d' % i)])

dup = [
    [S('姓名'), S('电话'), S('地址'), S('电话')],
    [S('甲'), S('左1'), S('地址甲'), S('右1')],
    [S('乙'), S('左2'), S('地址乙'), S('右2')],
]

shifted = [[], [E, S('姓名'), S('手机'), S('城市')], [E, S('孙七'), N('13700000007'), S('深圳')], [E, S('周八'), N('13700000008'), S('杭州')]]

doc = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
 <number:date-style style:name="ndate"><number:year number:style="long"/><number:text>-</number:text><number:month number:style="long"/><number:text>-</number:text><number:day number:style="long"/></number:date-style>
 <number:date-style style:name="ndatetime"><number:year number:style="long"/><number:text>-</number:text><number:month number:style="long"/><number:text>-</number:text><number:day number:style="long"/><number:text> </number:text><number:hours number:style="long"/><number:text>:</number:text><number:minutes number:style="long"/></number:date-style>
 <number:boolean-style style:name="nbool"><number:boolean/></number:boolean-style>
 <style:style style:name="cdate" style:family="table-cell" style:data-style-name="ndate"/>
 <style:style style:name="cdatetime" style:family="table-cell" style:data-style-name="ndatetime"/>
 <style:style style:name="cbool" style:family="table-cell" style:data-style-name="nbool"/>
</office:automatic-styles>
<office:body><office:spreadsheet>
''' + table('名单', names) + table('标题在第三行', third) + table('重名', dup) + table('偏移', shifted) + '''
</office:spreadsheet></office:body></office:document>
'''

work = tempfile.mkdtemp()
fods = os.path.join(work, 'recipients.fods')
open(fods, 'w', encoding='utf-8').write(doc)


def soffice(source, target, *options):
    env = dict(os.environ, HOME=work)
    subprocess.run(['soffice', '--headless', *options, '--convert-to', target, '--outdir', '.', source],
                   check=True, env=env)


soffice(fods, 'xls')
soffice(fods, 'xlsx')

# Enough distinct strings for the shared string table to run over into
# CONTINUE records, splitting strings of both kinds (8-bit and 16-bit).
many = os.path.join(work, 'many_strings.csv')
with open(many, 'w', encoding='utf-8', newline='') as f:
    w = csv.writer(f)
    w.writerow(['编号文本', '说明'])
    for i in range(1, 251):
        w.writerow(['第%d行：收件人地址北京市海淀区' % i, 'plain ascii text number %d' % i])
soffice(many, 'xls', '--infilter=CSV:44,34,76,1,1/2/2/2')

# The same CSV text in three encodings and line ends.
rows = [
    ['姓名', '手机', '地址', '备注'],
    ['张三', '13812345678', '北京市,海淀区', '他说"你好"'],
    ['李四', '013900001111', '上海市\n浦东新区', '  前后空格  '],
    [],
    ['王五', '', '广州', ''],
]


def csv_text(newline):
    lines = []
    for row in rows:
        fields = []
        for field in row:
            if any(c in field for c in ',"\n'):
                field = '"' + field.replace('"', '""') + '"'
            fields.append(field)
        lines.append(','.join(fields))
    return newline.join(lines) + newline


open('utf8_bom.csv', 'wb').write(b'\xef\xbb\xbf' + csv_text('\r\n').encode('utf-8'))
open('utf8.csv', 'wb').write(csv_text('\n').encode('utf-8'))
open('gbk.csv', 'wb').write(csv_text('\r\n').encode('gbk'))
