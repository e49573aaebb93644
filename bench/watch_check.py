#!/usr/bin/env python3
"""Compares a watched source tree with its backed-up copies, for the watch checks.

    watch_check.py missed SOURCE COPIES      files whose copy is missing or not their content
    watch_check.py readable COPIES [LIST]    copies (all, or those named in LIST) that are
                                             gone, damaged or fail their checksum
    watch_check.py snapshot COPIES           prints every copy's path, one a line

COPIES is the folder that holds the copies of SOURCE: the target's Vaultaire/<letter>/...
folder that stands for SOURCE. A copy of SOURCE/a/b.txt is COPIES/a/b.txt.VL001. Each
command prints its count on the last line and up to ten examples before it.

The copy's stored form, read here without the program so that twenty thousand copies
are checked in seconds: int32 magic 0x2345, the original path (a length in one byte, or
0xFF and a uint16, or 0xFFFF and an int32, then the bytes), int64 original size, int32
DOS date-time, int32 checksum, int32 method (1 deflated, 0 stored), int32 key, int32 magic
0x5432, then the content (a zlib stream when deflated). The checksum is the content's
CRC-32 carried on over the path, size, date-time, method and key in their stored form.
The scripts cross-check this reader against "vlctl archive extract" on a sample.
"""
import os
import struct
import sys
import zlib

MAGIC1, MAGIC2 = 0x2345, 0x5432
NO_CHECKSUM, ZERO_CHECKSUM = 0, 0xFFFFFFFF
SUFFIX = '.VL001'


class Damaged(Exception):
    pass


def stored_text(data, at):
    length = data[at]
    at += 1
    if length == 0xFF:
        (length,) = struct.unpack_from('<H', data, at)
        at += 2
        if length == 0xFFFF:
            (length,) = struct.unpack_from('<i', data, at)
            at += 4
    raw = data[at:at + length]
    if len(raw) != length:
        raise Damaged('path cut short')
    return raw, at + length


def read_copy(name):
    """The original content kept in the copy called name; raises Damaged."""
    with open(name, 'rb') as f:
        data = f.read()
    try:
        (magic1,) = struct.unpack_from('<i', data, 0)
        start = 4
        _, at = stored_text(data, start)
        path_field = data[start:at]
        size, filetime, checksum, method, key, magic2 = struct.unpack_from('<qiIiii', data, at)
        at += struct.calcsize('<qiIiii')
    except (struct.error, IndexError) as e:
        raise Damaged('header cut short') from e
    if magic1 != MAGIC1 or magic2 != MAGIC2:
        raise Damaged('bad magic')
    body = data[at:]
    try:
        content = zlib.decompress(body) if method != 0 else body
    except zlib.error as e:
        raise Damaged('content: %s' % e) from e
    if len(content) != size:
        raise Damaged('size %d, header says %d' % (len(content), size))
    if key == 0 and checksum != NO_CHECKSUM:
        fields = path_field + struct.pack('<qiii', size, filetime, method, key)
        expected = zlib.crc32(fields, zlib.crc32(content)) or ZERO_CHECKSUM
        if expected != checksum:
            raise Damaged('checksum')
    return content


def source_files(source):
    for folder, _, names in os.walk(source):
        for name in names:
            yield os.path.join(folder, name)


def report(problems):
    for line in problems[:10]:
        print('  ' + line)
    print(len(problems))


def missed(source, copies):
    problems = []
    for path in source_files(source):
        rel = os.path.relpath(path, source)
        copy = os.path.join(copies, rel + SUFFIX)
        try:
            with open(path, 'rb') as f:
                current = f.read()
        except FileNotFoundError:
            continue  # removed meanwhile: nothing to keep
        if not os.path.exists(copy):
            problems.append('no copy: ' + rel)
            continue
        try:
            if read_copy(copy) != current:
                problems.append('old content: ' + rel)
        except Damaged as e:
            problems.append('damaged copy (%s): %s' % (e, rel))
    report(problems)


def all_copies(copies):
    for folder, _, names in os.walk(copies):
        for name in names:
            if name.endswith(SUFFIX):
                yield os.path.join(folder, name)


def readable(copies, listing=None):
    names = [line.rstrip('\n') for line in open(listing)] if listing else list(all_copies(copies))
    problems = []
    for name in names:
        try:
            read_copy(name)
        except FileNotFoundError:
            problems.append('gone: ' + name)
        except Damaged as e:
            problems.append('damaged (%s): %s' % (e, name))
    report(problems)


def main():
    command = sys.argv[1]
    if command == 'missed':
        missed(sys.argv[2], sys.argv[3])
    elif command == 'readable':
        readable(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else None)
    elif command == 'snapshot':
        for name in all_copies(sys.argv[2]):
            print(name)
    elif command == 'content':  # one copy's content to stdout, for the cross-check
        sys.stdout.buffer.write(read_copy(sys.argv[2]))
    else:
        sys.exit('unknown command ' + command)


if __name__ == '__main__':
    main()
