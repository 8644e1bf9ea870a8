#!/usr/bin/env python3
"""Look at the pages of a Jet 3 (2048-byte page) file: header, page types, TDEFs.

Usage: jet3pages.py FILE [header|pages|tdef PAGE|page PAGE]
Reads bytes only; written for checking the facts in ../jet3-format.md.
"""
import struct, sys

PS = 2048

def rc4(key, n):
    s = list(range(256)); j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 255; s[i], s[j] = s[j], s[i]
    i = j = 0; out = bytearray()
    for _ in range(n):
        i = (i + 1) & 255; j = (j + s[i]) & 255; s[i], s[j] = s[j], s[i]
        out.append(s[(s[i] + s[j]) & 255])
    return bytes(out)

def header(d):
    p = bytearray(d[:PS])
    ks = rc4(bytes([0xC7, 0xDA, 0x39, 0x6B]), 126)
    for k in range(126):
        p[0x18 + k] ^= ks[k]
    return bytes(p)

def hexs(b):
    return ' '.join('%02x' % x for x in b)

def tdef(d, pg):
    """Whole TDEF buffer: first page plus continuation pages from offset 8."""
    buf = bytearray(d[pg*PS:(pg+1)*PS]); nxt = struct.unpack_from('<I', buf, 4)[0]; chain = [pg]
    while nxt:
        chain.append(nxt); p = d[nxt*PS:(nxt+1)*PS]; buf += p[8:]; nxt = struct.unpack_from('<I', p, 4)[0]
    return bytes(buf), chain

def parse_tdef(d, pg, show=True):
    b, chain = tdef(d, pg)
    u = lambda f, o: struct.unpack_from(f, b, o)[0]
    h = dict(sig=b[0:4], next=u('<I', 4), tdefLen=u('<I', 8), rows=u('<I', 12), autonum=u('<I', 16),
             ttype=b[20], maxCols=u('<H', 21), nVar=u('<H', 23), nCols=u('<H', 25), nLog=u('<I', 27),
             nReal=u('<I', 31), owned=u('<I', 35), free=u('<I', 39))
    if show: print('TDEF page', pg, 'chain', chain, {k: (hexs(v) if isinstance(v, bytes) else v) for k, v in h.items()})
    o = 43
    for i in range(h['nReal']):
        if show: print('  realidx-pre', i, hexs(b[o:o+8]))
        o += 8
    cols = []
    for i in range(h['nCols']):
        c = b[o:o+18]
        cols.append(dict(type=c[0], num=u('<H', o+1), varIdx=u('<H', o+3), zero=u('<H', o+5), one=u('<H', o+7), sort=u('<H', o+9),
                         codepage_or_precscale=u('<H', o+11), flags=c[13], fixOff=u('<H', o+14), len=u('<H', o+16), raw=hexs(c)))
        o += 18
    for c in cols:
        n = b[o]; c['name'] = b[o+1:o+1+n].decode('cp1252'); o += 1 + n
    if show:
        for c in cols: print('  col', c)
    for i in range(h['nReal']):
        r = b[o:o+39]
        colspec = [(struct.unpack_from('<H', r, 3*k)[0], r[3*k+2]) for k in range(10)]
        colspec = [x for x in colspec if x[0] != 0xFFFF]
        if show: print('  realidx', i, 'cols', colspec, 'umap %08x root %d flags %02x' % (struct.unpack_from('<I', r, 30)[0], struct.unpack_from('<I', r, 34)[0], r[38]))
        o += 39
    logs = []
    for i in range(h['nLog']):
        r = b[o:o+20]
        logs.append(r); o += 20
    names = []
    for i in range(h['nLog']):
        n = b[o]; names.append(b[o+1:o+1+n].decode('cp1252')); o += 1 + n
    if show:
        for r, nm in zip(logs, names): print('  logidx', nm, hexs(r))
    while True:
        cn = u('<H', o)
        if cn == 0xFFFF: break
        if show: print('  lvcol', cn, 'owned %08x free %08x' % (u('<I', o+2), u('<I', o+6)))
        o += 10
    if show: print('  end offset', o, 'tdefLen', h['tdefLen'], 'trailer', hexs(b[o:o+2]))
    return h, cols

def main():
    d = open(sys.argv[1], 'rb').read(); what = sys.argv[2] if len(sys.argv) > 2 else 'pages'
    if what == 'header':
        h = header(d)
        for o in range(0, 0xA0, 16): print('%04x %s' % (o, hexs(h[o:o+16])))
    elif what == 'pages':
        for pg in range(len(d) // PS):
            p = d[pg*PS:(pg+1)*PS]; t = p[0]
            extra = ''
            if t == 1: extra = 'free %d tdef %s rows %d' % (struct.unpack_from('<H', p, 2)[0], hexs(p[4:8]), struct.unpack_from('<H', p, 8)[0])
            elif t == 2: extra = 'sig %s next %d' % (p[2:4], struct.unpack_from('<I', p, 4)[0])
            elif t in (3, 4): extra = 'free %d tdef %d prev %d next %d tail %d pref %d' % (struct.unpack_from('<H', p, 2)[0], *struct.unpack_from('<IIIIH', p, 4))
            print(pg, '%02x %02x' % (t, p[1]), extra)
    elif what == 'tdef':
        parse_tdef(d, int(sys.argv[3]))
    elif what == 'page':
        pg = int(sys.argv[3]); p = d[pg*PS:(pg+1)*PS]
        for o in range(0, PS, 32): print('%04x %s' % (o, hexs(p[o:o+32])))

if __name__ == '__main__':
    main()
