# Writes plain.dbf (dBASE III, no memo) and memo.dbf / memo.dbt (dBASE III with memo) with the
# python dbf package: four records, the fourth deleted.
import datetime

import dbf

for name, layout in (('plain', 'NAME C(10); AMOUNT N(10,2); WHEN D; OK L'),
                   ('memo', 'NAME C(10); AMOUNT N(10,2); WHEN D; OK L; NOTE M')):
    table = dbf.Table(name + '.dbf', layout, dbf_type='db3')
    table.open(dbf.READ_WRITE)
    memo = name == 'memo'
    rows = [
        ('ADAMS', 1234.5, datetime.date(2024, 3, 15), True) + (('m' * 600,) if memo else ()),
        ('BAKER', -0.75, None, False) + (('',) if memo else ()),
        ('CLARK', None, None, None) + (('line one\r\nline two',) if memo else ()),
        ('GONE', 1, None, True) + (('bye',) if memo else ()),
    ]
    for row in rows:
        table.append(row)
    dbf.delete(table[3])
    table.close()
