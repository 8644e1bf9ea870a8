#!/usr/bin/env python3
"""Compare the leaf entries of every real index of a Jet 3 file with keys computed from its rows.

Usage: jet3keys.py FILE GEN97_CODES
GEN97_CODES: the 256-line General (1997) code table published with Jackcess
(src/main/resources/com/healthmarketscience/jackcess/index_codes_gen_97.txt); only its simple
(S) and significant (G) codes are used here, other characters are reported as not covered.
"""
import struct, sys
sys.path.insert(0, __import__('os').path.dirname(__file__))
from jet3pages import PS, parse_tdef
from jet3rows import rows

def load_codes(path):
    return [l.strip() for l in open(path)]

def text_key(s, codes):
    out = b''
    for ch in s.rstrip(' ').encode('cp1252'):
        c = codes[ch]
        if c[0] not in 'SG':
            return None
        out += bytes(int(x, 16) for x in c[1:].split(',')) if ',' in c[1:] else bytes.fromhex(c[1:])
    return out + b'\x00'

def col_key(c, v, codes):
    t = c['type']
    if t == 1:
        return b'\x7f' + (b'\x00' if v else b'\xff')  # boolean: never null in the row
    if v is None:
        return b'\x00'
    if t == 2: body = bytes([v])
    elif t in (3, 4): body = (v & ((1 << (8 * (2 if t == 3 else 4))) - 1) ^ (1 << (8 * (2 if t == 3 else 4) - 1))).to_bytes(2 if t == 3 else 4, 'big')
    elif t in (6, 7, 8, 5):
        raw = bytes.fromhex(v)[::-1]  # little-endian in the row -> big-endian
        if t == 5:
            n = int.from_bytes(raw, 'big'); body = (n ^ (1 << 63)).to_bytes(8, 'big')
        elif raw[0] & 0x80: body = bytes(x ^ 0xFF for x in raw)
        else: body = bytes([raw[0] | 0x80]) + raw[1:]
    elif t == 10:
        body = text_key(v, codes)
        if body is None: return None
    else:
        return None
    return b'\x7f' + body

def leaf_entries(d, root):
    pg = root
    while True:  # descend to the first leaf
        p = d[pg*PS:(pg+1)*PS]
        if p[0] == 4: break
        first = entries(p)[0]; pg = struct.unpack_from('>I', first, len(first) - 4)[0]
    out = []; pages = 0
    while pg:
        p = d[pg*PS:(pg+1)*PS]; out += entries(p); pages += 1
        pg = struct.unpack_from('<I', p, 12)[0]
    return out, pages

def entries(p):
    pref = p[20]
    starts = [0xF8] + [0xF8 + i for i in range(1, (0xF8 - 0x16) * 8) if p[0x16 + i // 8] >> (i % 8) & 1]
    ents = [bytes(p[starts[i]:starts[i+1]]) for i in range(len(starts) - 1)]
    if not ents:
        return []
    return [ents[0]] + [ents[0][:pref] + e for e in ents[1:]]

def main():
    d = open(sys.argv[1], 'rb').read(); codes = load_codes(sys.argv[2])
    for _, _, obj in rows(d, 2, show=False):
        if obj['Type'] != 1: continue
        tdefpg = obj['Id']
        h, cols = parse_tdef(d, tdefpg, show=False)
        b, _ = __import__('jet3pages').tdef(d, tdefpg)
        o = 43 + 8 * h['nReal'] + 18 * h['nCols']
        for c in cols: o += 1 + b[o]
        data = rows(d, tdefpg, show=False)
        for i in range(h['nReal']):
            r = b[o + 39*i:o + 39*(i+1)]
            members = [(struct.unpack_from('<H', r, 3*k)[0], r[3*k+2]) for k in range(10)]
            members = [s for s in members if s[0] != 0xFFFF]
            root = struct.unpack_from('<I', r, 34)[0]; flags = r[38]
            byNum = {c['num']: c for c in cols}
            want = []; uncovered = 0
            for pg, rn, vals in data:
                key = b''; allnull = True
                for num, order in members:
                    c = byNum[num]; k = col_key(c, vals[c['name']], codes)
                    if k is None and vals[c['name']] is not None: uncovered += 1; key = None; break
                    if vals[c['name']] is not None: allnull = False
                    if order == 0: k = bytes(x ^ 0xFF for x in k)
                    key += k
                if key is None: continue
                if flags & 0x02 and allnull: continue
                want.append(key + pg.to_bytes(3, 'big') + bytes([rn]))
            got, pages = leaf_entries(d, root)
            ordered = got == sorted(got)
            same = sorted(want) == sorted(got) if not uncovered else None
            print('%-20s %-18s idx%d cols %-22s flags %02x leaves %d entries %d ordered %s keys-equal %s%s' % (
                sys.argv[1].split('/')[-1], obj['Name'], i, members, flags, pages, len(got), ordered, same,
                (' (%d rows with characters outside S/G codes)' % uncovered) if uncovered else ''))

if __name__ == '__main__':
    main()
