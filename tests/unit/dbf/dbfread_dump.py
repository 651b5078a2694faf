"""Prints the live records of a dBASE table as python3-dbfread reads them, one canonical line per field.

Used by the engine tests as an outside reader. Two faults of dbfread 2.0.7 are mended here: blank dBASE IV
numerics (spaces with '.') read as null instead of failing, and a dBASE IV memo is read as the stored
length minus the 8-byte block header (dbfread reads 8 bytes too many, then cuts at the first 0x1F).
"""
import sys

import dbfread


class Parser(dbfread.FieldParser):
    def parseN(self, field, data):
        if data.strip(b' .\x00') == b'':
            return None
        return dbfread.FieldParser.parseN(self, field, data)

    parseF = parseN


def read_db4_memo(self, index):
    if index <= 0:
        return None
    self._seek(index * 512)
    header = dbfread.memo.DB4MemoHeader.read(self.file)
    return self._read(max(header.length - 8, 0))


dbfread.memo.DB4MemoFile.__getitem__ = read_db4_memo


def canonical(ftype, value):
    if value is None:
        return 'null'
    if ftype in 'NF':
        return 'n:%.15g' % value
    if ftype == 'D':
        return 'd:%04d-%02d-%02d' % (value.year, value.month, value.day)
    if ftype == 'L':
        return 'l:' + ('T' if value else 'F')
    if isinstance(value, str):
        value = value.encode('latin-1')
    return 'b:' + value.hex()


def main():
    table = dbfread.DBF(sys.argv[1], encoding='latin-1', parserclass=Parser, ignore_missing_memofile=True,
                        char_decode_errors='strict')
    for record in table:
        for field in table.fields:
            value = record[field.name]
            if field.type == 'C' and value is not None:
                value = value.rstrip(' ')
            print(field.name + '=' + canonical(field.type, value))
        print('--')


main()
