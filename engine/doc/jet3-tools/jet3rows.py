#!/usr/bin/env python3
"""Read the rows of one table of a Jet 3 file by its TDEF page, checking the jump table.

Usage: jet3rows.py FILE TDEFPAGE   (prints each row's values; numbers, text in cp1252, hex)
"""
import struct, sys
sys.path.insert(0, __import__('os').path.dirname(__file__))
from jet3pages import PS, parse_tdef

FIXED = {1: 0, 2: 1, 3: 2, 4: 4, 5: 8, 6: 4, 7: 8, 8: 8, 15: 16, 16: 17}

def umap_pages(d, ptr):
    pg, row = ptr >> 8, ptr & 0xFF
    p = d[pg*PS:(pg+1)*PS]
    s = struct.unpack_from('<H', p, 10 + 2*row)[0] & 0x1FFF
    e = PS if row == 0 else struct.unpack_from('<H', p, 8 + 2*row)[0] & 0x1FFF
    r = p[s:e]
    if r[0] == 0:
        start = struct.unpack_from('<I', r, 1)[0]
        return [start + 8*k + b for k, x in enumerate(r[5:]) for b in range(8) if x >> b & 1]
    out = []
    for k in range((len(r) - 1) // 4):
        mp = struct.unpack_from('<I', r, 1 + 4*k)[0]
        if mp:
            m = d[mp*PS:(mp+1)*PS]
            out += [k*(PS-4)*8 + 8*j + b for j, x in enumerate(m[4:]) for b in range(8) if x >> b & 1]
    return out

def crack(row, cols, nvar_tdef, stats):
    ncols = row[0]; nm = (ncols + 7) // 8; mask = row[-nm:]
    present = lambda c: mask[c >> 3] >> (c & 7) & 1
    offs = []
    if nvar_tdef:
        nvar = row[-nm-1]
        njump = (len(row) - 1) // 256
        colptr = len(row) - nm - njump - 2
        if (colptr - nvar) // 256 < njump:
            njump -= 1; stats['dummy'] += 1
        jumps = [row[len(row)-nm-2-j] for j in range(njump)]
        stats['jumps'] += njump
        used = 0
        for i in range(nvar + 1):
            while used < njump and i == jumps[used]: used += 1
            offs.append(row[colptr - i] + 256*used)
        # check: offsets never decrease, eod right after var data
        assert all(offs[i] <= offs[i+1] for i in range(nvar)), offs
    vals = {}
    for c in cols:
        n = c['num']
        if n >= ncols or not present(n):
            vals[c['name']] = None if c['type'] != 1 else False; continue
        if c['type'] == 1: vals[c['name']] = True; continue
        if c['flags'] & 1:
            v = row[1 + c['fixOff']:1 + c['fixOff'] + FIXED.get(c['type'], c['len'])]
        else:
            vi = c['varIdx']
            if vi >= len(offs) - 1: vals[c['name']] = None; continue
            v = row[offs[vi]:offs[vi+1]]
        t = c['type']
        if t in (3, 4): v = int.from_bytes(v, 'little', signed=True)
        elif t == 2: v = v[0]
        elif t == 10: v = v.decode('cp1252')
        else: v = v.hex()
        vals[c['name']] = v
    return vals

def rows(d, tdefpg, show=True):
    h, cols = parse_tdef(d, tdefpg, show=False)
    stats = dict(rows=0, jumps=0, dummy=0, maxlen=0, deleted=0, overflow=0)
    out = []
    for pg in umap_pages(d, h['owned']):
        p = d[pg*PS:(pg+1)*PS]
        if p[0] != 1 or struct.unpack_from('<I', p, 4)[0] != tdefpg: continue
        n = struct.unpack_from('<H', p, 8)[0]
        for i in range(n):
            o = struct.unpack_from('<H', p, 10 + 2*i)[0]
            e = PS if i == 0 else struct.unpack_from('<H', p, 8 + 2*i)[0] & 0x1FFF
            if o & 0x8000: stats['deleted'] += 1; continue
            if o & 0x4000: stats['overflow'] += 1; continue
            r = p[o & 0x1FFF:e]
            stats['rows'] += 1; stats['maxlen'] = max(stats['maxlen'], len(r))
            v = crack(r, cols, h['nVar'], stats)
            out.append((pg, i, v))
            if show: print(pg, i, v)
    if show: print('stats', stats, 'tdef rowCount', h['rows'])
    return out

if __name__ == '__main__':
    rows(open(sys.argv[1], 'rb').read(), int(sys.argv[2]))
