#!/usr/bin/env python3
"""Writes the binary seed inputs of the OPC stream and host record fuzz
targets into fuzz/seeds/<target>/ (run from the project's root)."""
import math
import os
import struct

VT_I2, VT_I4, VT_R4, VT_R8, VT_DATE, VT_BSTR, VT_BOOL, VT_UI1, VT_UI4 = 2, 3, 4, 5, 7, 8, 11, 17, 19


def variant(vt, value):
    head = struct.pack('<HHHH', vt, 0, 0, 0)
    if vt == VT_BSTR:
        text = value.encode('utf-16-le')
        return head + b'\0' * 8 + struct.pack('<I', len(text)) + text + b'\0\0'
    formats = {VT_I2: '<h6x', VT_I4: '<i4x', VT_R4: '<f4x', VT_R8: '<d', VT_DATE: '<d',
               VT_BOOL: '<h6x', VT_UI1: '<B7x', VT_UI4: '<I4x'}
    return head + struct.pack(formats[vt], value)


def stream(items, with_time, status=0):
    """items: (client handle, quality, vt, value). First byte: bit 0 the
    format with time stamps, bits 1..4 the precision (2)."""
    header_size = 20 if with_time else 12
    offset = 20 + header_size * len(items)
    headers, values = b'', b''
    for handle, quality, vt, value in items:
        data = variant(vt, value)
        headers += struct.pack('<IIHH', handle, offset + len(values), quality, 0)
        if with_time:
            headers += struct.pack('<Q', 0x01DA6E2F5C7B8000)
        values += data
    body = headers + values
    group = struct.pack('<IIIIi', 20 + len(body), len(items), 1, 9, status)
    return bytes([(2 << 1) | (1 if with_time else 0)]) + group + body


def record(ident, name, routing, value=0.0, scale=0.0):
    r = bytearray(761)
    struct.pack_into('<i', r, 0, ident)
    r[4:4 + len(name)] = name.encode('cp1251')
    r[45:45 + len(routing)] = routing.encode('cp1251')
    struct.pack_into('<f', r, 656, value)
    struct.pack_into('<f', r, 684, scale)
    return bytes(r)


def write(target, name, data):
    folder = os.path.join('fuzz', 'seeds', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


write('fuzz_opc_stream', 'two_floats', stream([(0, 0xC0, VT_R4, 1.5), (1, 0xC0, VT_R4, 2.25)], False))
write('fuzz_opc_stream', 'mixed_with_time',
      stream([(0, 0xC0, VT_R8, 10.005), (1, 0xD8, VT_I4, -7), (2, 0xC0, VT_BOOL, -1),
              (3, 0xC0, VT_BSTR, '12,5')], True))
write('fuzz_opc_stream', 'bad_quality_and_non_finite',
      stream([(0, 0x00, VT_R4, 3.0), (1, 0xC0, VT_R8, math.nan), (2, 0xC0, VT_R8, math.inf),
              (3, 0xC0, VT_R8, 1e300)], True))
write('fuzz_opc_stream', 'small_types',
      stream([(3, 0xC0, VT_UI1, 200), (2, 0xC0, VT_I2, -300), (1, 0xC0, VT_UI4, 4000000000),
              (0, 0xC0, VT_DATE, 45000.5), (77, 0xC0, VT_R4, 1.0)], False))
write('fuzz_opc_stream', 'failed_status', stream([(0, 0xC0, VT_R4, 1.0)], False, status=-2147467259))

write('fuzz_host_records', 'device_forms',
      record(1, 'LEVEL', 'OPC:DEVICE=1;ADDRESS=1', 1.5) + record(2, 'MODE', ' opc : device = 1 ; address = 2 ')
      + record(3, 'TWIN', 'OPC:DEVICE=1;ADDRESS=2'))
write('fuzz_host_records', 'names_and_other_prefixes',
      record(4, 'TANK', 'OPC:ROUTING=Tank1') + record(5, 'PLAIN', 'OPC:Tank2') + record(6, 'OTHER', 'X:DEVICE=3;ADDRESS=4')
      + record(7, 'BAD', 'no colon') + record(8, 'N' * 40, 'OPC:DEVICE=x;ADDRESS=5', 0.0, 10.0))
