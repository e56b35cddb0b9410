#!/usr/bin/env python3
"""Writes the seed inputs of bulkpipe_fuzz into corpus/: well-formed bus
answers in the order the walk asks for them, which the fuzzer then bends.
The byte layout is the one fuzz_host.cpp reads."""
import os
import struct

def opened(ok=True):
    return bytes([1 if ok else 0])

def ioctl(data):
    return bytes([1]) + struct.pack('<H', len(data)) + data + bytes([0])

def utf16(text):
    return text.encode('utf-16-le') + b'\0\0'

def root_name(name):
    record = struct.pack('<I', 4 + len(utf16(name))) + utf16(name)
    return ioctl(record[:6]) + ioctl(record)

def port_name(port, name):
    record = struct.pack('<II', port, 8 + len(utf16(name))) + utf16(name)
    return ioctl(record[:10]) + ioctl(record)

def node_info(ports):
    node = bytearray(76)
    node[6] = ports
    return ioctl(bytes(node))

def connection(port, vid, pid, serial_index, is_hub=False, connected=True):
    info = bytearray(35)
    struct.pack_into('<I', info, 0, port)
    struct.pack_into('<BBHBBBBHHHBBBB', info, 4, 18, 1, 0x200, 9 if is_hub else 0, 0, 0, 64,
                     vid, pid, 0x100, 0, 0, serial_index, 1)
    info[24] = 1 if is_hub else 0
    struct.pack_into('<I', info, 31, 1 if connected else 0)
    return ioctl(bytes(info))

def header(port, value, index, length):
    return struct.pack('<IBBHHH', port, 0, 0, value, index, length)

def config(port):
    descriptor = bytes([9, 2, 9, 0, 1, 1, 0, 0x80, 50])
    return ioctl(header(port, 0x200, 0, 9) + descriptor) * 2

def string(port, index, language, text_units):
    body = text_units.encode('utf-16-le')
    return ioctl(header(port, 0x300 | index, language, 255) + bytes([2 + len(body), 3]) + body)

def meter(port, serial):
    return (connection(port, 0x5A2D, 0x3000, 3) + config(port) +
            string(port, 0, 0, '\u0409') + string(port, 3, 0x0409, serial))

def seed_one_meter():
    walk = opened() + root_name('ROOT') + opened() + node_info(2)
    walk += meter(1, 'LX4000001') + connection(2, 0, 0, 0, connected=False)
    return bytes([1]) + walk + opened(False) * 9

def seed_meter_behind_hub():
    walk = opened() + root_name('ROOT') + opened() + node_info(1)
    walk += connection(1, 0x05E3, 0x0608, 0, is_hub=True) + config(1)
    walk += port_name(1, 'HUB') + opened() + node_info(2)
    walk += meter(1, 'LX4000002') + meter(2, 'LX4000003')
    return bytes([1]) + walk + opened(False) * 9

def seed_pipe_open():
    path = b'\\\\?\\usb#vid_5a2d&pid_3000#lx40#{6b3e21d4}'
    lookup = bytes([1]) + struct.pack('<H', len(path)) + path
    return (bytes([2]) + opened(False) * 10 + struct.pack('<ii', 1, 0) + lookup +
            opened() + opened())

def main():
    corpus = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')
    os.makedirs(corpus, exist_ok=True)
    seeds = {'one_meter': seed_one_meter(), 'meter_behind_hub': seed_meter_behind_hub(),
             'pipe_open': seed_pipe_open()}
    for name, data in seeds.items():
        with open(os.path.join(corpus, name), 'wb') as f:
            f.write(data)

if __name__ == '__main__':
    main()
