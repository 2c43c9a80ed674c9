#!/usr/bin/env python3
"""Writes the seed sessions in corpus/ in the byte format host_sequence.cpp decodes.

Run again after changing the format; the fuzzer's own finds are kept out of the repository.
"""
import os
import struct

SPECIAL = {'nan': 5, 'inf': 7, '-inf': 8, '1e30': 9, '1e300': 11, 'dblmax': 13,
           '-dblmax': 14, 'fltmax': 15, 'denormal': 18, '1.18e-37': 22, '3e9': 29}
RATES = {0.0: 0, -1.0: 1, 'nan': 3, 'inf': 4, 1e9: 6, 1.0: 7, 1999.0: 8, 44100.0: 12,
         48000.0: 13, 192000.0: 15, 'fltmax': 18}


def mode(m):  # setParameter to a mode's centre
    return bytes([2, 0, m])


def raw_parameter(value):
    return bytes([2, 0, 200]) + struct.pack('<f', value)


def special_parameter(name):
    return bytes([2, 0, 96 + (SPECIAL[name] - 96 % 31) % 31])


def rate(r):
    return bytes([8, RATES[r]])


def block(precision, frames, kind, special='1e30', in_place=False, raw=0):
    op = 4 if precision == 'float' else 6
    if frames < 0:
        size = bytes([0xfe, -frames - 1])
    elif frames < 32:
        size = bytes([frames])
    else:
        size = bytes([0xff]) + struct.pack('<H', frames)
    rawbytes = struct.pack('<I', raw) if op == 4 else struct.pack('<Q', raw)
    return (bytes([op]) + size + bytes([1 if in_place else 0, kind, SPECIAL[special]]) +
            struct.pack('<I', 0x12345679) + rawbytes)


def request(opcode, index=0, value=0, special_opt=0, null=False, extra=b''):
    shape = ((index + 1) << 5) | (8 if null else 0)
    return bytes([0, opcode + 2, shape, value & 0xff, special_opt]) + extra


def set_chunk(data, negative=False, null=False):
    shape = (1 << 5) | (16 if negative else 0) | (8 if null else 0)
    out = bytes([0, 24 + 2, shape, 0, 0, len(data)]) + data
    return out + (bytes([3]) if negative else b'')


def text_opcode_extra(opcode, text=b'receiveVstMidiEvent'):
    if opcode in (4, 27, 51):
        return bytes([len(text)]) + text
    return b''


SEEDS = {
    'subs-largest-double': b'\x01' + mode(4) + block('double', 0xfd, 0, 'dblmax') * 4 +
    block('double', 0xfd, 0, '-dblmax') * 2 + mode(12) + block('double', 200, 1),
    'non-finite-blocks-every-mode': b'\x02' + b''.join(
        mode(m) + block('float', 64, 0, 'nan') + block('double', 64, 0, 'inf') +
        block('float', 64, 5, '1e30', True) + block('double', 64, 2, '1e300')
        for m in range(17)),
    'hostile-sample-rates': b'\x03' + b''.join(
        rate(r) + mode(m) + block('float', 40, 1) + block('double', 40, 4)
        for r, m in [(0.0, 2), (-1.0, 4), ('nan', 7), ('inf', 11), (1e9, 12), (1.0, 15),
                     (1999.0, 3), ('fltmax', 8), (192000.0, 2)]) + bytes([9, 3]) +
    struct.pack('<Q', 2**63) + bytes([RATES['nan']]),
    'every-opcode': b'\x04' + b''.join(
        request(op, extra=text_opcode_extra(op)) for op in range(-2, 91) if op not in (1, 24)) +
    set_chunk(b'\x00\x00\x00\x3f'),
    'every-opcode-null-pointers': b'\x05' + b''.join(
        request(op, index=2, value=-1, special_opt=5, null=True) for op in range(-2, 91)
        if op not in (1, 24)),
    'chunks': b'\x06' + b''.join(set_chunk(bytes(range(n))) for n in range(0, 9)) +
    set_chunk(struct.pack('<f', float('nan'))) + set_chunk(struct.pack('<f', 7.0), True) +
    set_chunk(b'\x00\x00\x80\x7f', null=True) + request(23) + request(23, index=1) +
    bytes([11, 150, 1, 11, 250]) + struct.pack('<f', -3.0) + bytes([0]) + request(23) +
    block('float', 16, 1),
    'block-sizes': b'\x07' + block('float', 0, 1) + block('double', -5, 1) +
    block('float', 4096, 2, 'denormal') + block('double', 4096, 4, 'nan', True) +
    bytes([9, 0, 0, 0, 9, 1]) + struct.pack('<Q', 2**40) + bytes([10, 0, 10, 1]),
    'out-of-range-modes': b'\x08' + b''.join(
        special_parameter(s) + block('float', 32, 1) + request(7)
        for s in ('nan', 'inf', '-inf', '3e9', '1e30', 'denormal')) +
    raw_parameter(-0.5) + block('double', 32, 1) + raw_parameter(1.2) + block('float', 32, 1),
}

if __name__ == '__main__':
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')
    os.makedirs(here, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(here, name), 'wb') as f:
            f.write(data)
