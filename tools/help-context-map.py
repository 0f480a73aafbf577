#!/usr/bin/env python3
"""Gives a WinHelp file its context map, and checks it.

A program asks WinHelp for a topic by number (HELP_CONTEXT); the viewer looks
the number up in the help file's |CTXOMAP internal file. Halibut writes that
file empty, so this tool fills it after Halibut has run:

    help-context-map.py write FILE.hlp 200=about 202=ordering
    help-context-map.py check FILE.hlp "200=About Velmor" "202=Ordering Velmor"

`write` maps each number to the topic of the named context string (the name
a \\cfg{winhelp-topic} gives a section), as the |CONTEXT index finds it.
`check` reads the file afresh and fails unless each number is mapped to the
start of a topic whose title, in the |TTLBTREE index, is the one given.
Both exit with status 1 and a message on stderr when they fail.

The file format, as the public descriptions of WinHelp files give it (all
numbers little-endian):

    file header     magic 0x00035F3F, directory offset, first free block,
                    file size (four 32-bit words)
    internal file   a 9-byte header (reserved space, used space, flags byte),
                    then its data; the directory and the indexes are B+ trees
    B+ tree         a 38-byte header after the file header: magic 0x293B,
                    flags, page size, a 16-byte structure string, then a
                    zero, page splits, root page, -1, total pages and levels
                    (16-bit each) and the entry count (32-bit); then the
                    pages. A leaf page starts
                    with free bytes, entry count, previous and next page
                    (16-bit each); an index page with free bytes, entry count
                    and its first child page.
    directory       leaf entries: name (NUL-terminated), file offset (32-bit)
    |CONTEXT        leaf entries: hash of the context string, topic offset
    |TTLBTREE       leaf entries: topic offset, title (NUL-terminated)
    |CTXOMAP        entry count (16-bit), then that many pairs of number and
                    topic offset (32-bit each)

The new |CTXOMAP is appended at the end of the file and the directory entry
pointed at it; the old, shorter one stays behind as unused bytes. Nothing
else in the file moves, so no other offset changes.
"""

import os
import struct
import sys

FILE_MAGIC = 0x00035F3F
BTREE_MAGIC = 0x293B
FILE_HEADER = 9  # reserved space, used space, flags
BTREE_HEADER = 38
NO_PAGE = 0xFFFF
CONTEXT_MAP = "|CTXOMAP"


class FormatError(Exception):
    pass


def context_hash(name):
    """The hash WinHelp files key context strings by: letters (either case)
    count 17..42, digits 1..9 count 1..9 and 0 counts 10, '.' 12, '_' 13;
    other characters are skipped; signed 32-bit arithmetic."""
    value = 0
    for c in name:
        if "A" <= c <= "Z":
            weight = ord(c) - ord("A") + 17
        elif "a" <= c <= "z":
            weight = ord(c) - ord("a") + 17
        elif "1" <= c <= "9":
            weight = ord(c) - ord("0")
        elif c == "0":
            weight = 10
        elif c == ".":
            weight = 12
        elif c == "_":
            weight = 13
        else:
            continue
        value = (value * 43 + weight) & 0xFFFFFFFF
    return value - (1 << 32) if value >= 1 << 31 else value


class HelpFile:
    def __init__(self, data):
        self.data = bytearray(data)
        if len(self.data) < 16:
            raise FormatError("too short for a help file")
        magic, self.directory, _, size = struct.unpack_from("<IiiI", self.data, 0)
        if magic != FILE_MAGIC:
            raise FormatError("not a WinHelp file (magic %#x)" % magic)
        if size != len(self.data):
            raise FormatError("the header gives %d bytes, the file has %d" % (size, len(self.data)))
        self.files = {}
        for name, offset, _ in self._directory_entries():
            self.files[name] = offset

    def _u16(self, at):
        self._need(at, 2)
        return struct.unpack_from("<H", self.data, at)[0]

    def _i32(self, at):
        self._need(at, 4)
        return struct.unpack_from("<i", self.data, at)[0]

    def _need(self, at, count):
        if at < 0 or at + count > len(self.data):
            raise FormatError("a structure runs past the end of the file (at %d)" % at)

    def _string(self, at, end):
        stop = self.data.find(b"\0", at, end)
        if stop < 0:
            raise FormatError("an unterminated string at %d" % at)
        return self.data[at:stop].decode("latin-1"), stop + 1

    def internal_file(self, offset):
        """(start, end) of an internal file's data."""
        reserved, used = self._i32(offset), self._i32(offset + 4)
        if used < 0 or reserved < used + FILE_HEADER:
            raise FormatError("an internal file at %d has a bad size" % offset)
        self._need(offset, FILE_HEADER + used)
        return offset + FILE_HEADER, offset + FILE_HEADER + used

    def _leaves(self, offset):
        """Yields (position of the first entry, entry count, page end) of each
        leaf page of the B+ tree in the internal file at `offset`, in key order."""
        start, end = self.internal_file(offset)
        if self._u16(start) != BTREE_MAGIC:
            raise FormatError("no B+ tree at %d" % offset)
        page_size = self._u16(start + 4)
        root, total, levels = self._u16(start + 26), self._u16(start + 30), self._u16(start + 32)
        pages = start + BTREE_HEADER
        if page_size == 0 or pages + total * page_size > end or root >= total:
            raise FormatError("a B+ tree at %d does not fit its file" % offset)
        page = root
        for _ in range(levels - 1):  # down the first children to the first leaf
            page = self._u16(pages + page * page_size + 4)
            if page >= total:
                raise FormatError("a B+ tree at %d points past its pages" % offset)
        seen = 0
        while page != NO_PAGE:
            if page >= total or seen > total:
                raise FormatError("a B+ tree at %d links its leaves wrongly" % offset)
            at = pages + page * page_size
            yield at + 8, self._u16(at + 2), at + page_size
            page = self._u16(at + 6)
            seen += 1

    def _directory_entries(self):
        """(name, offset, position of the offset word) of every internal file."""
        for at, count, end in self._leaves(self.directory):
            for _ in range(count):
                name, at = self._string(at, end)
                yield name, self._i32(at), at
                at += 4

    def context_offsets(self):
        """Topic offset of each context hash, from |CONTEXT."""
        offsets = {}
        for at, count, _ in self._leaves(self._file("|CONTEXT")):
            for i in range(count):
                key, offset = struct.unpack_from("<ii", self.data, at + 8 * i)
                offsets[key] = offset
        return offsets

    def titles(self):
        """Title of each topic offset, from |TTLBTREE."""
        titles = {}
        for at, count, end in self._leaves(self._file("|TTLBTREE")):
            for _ in range(count):
                offset = self._i32(at)
                titles[offset], at = self._string(at + 4, end)
        return titles

    def context_map(self):
        """The number-to-offset pairs of |CTXOMAP, in file order."""
        start, end = self.internal_file(self._file(CONTEXT_MAP))
        if end - start < 2:
            raise FormatError("%s holds no entry count" % CONTEXT_MAP)
        count = self._u16(start)
        if 2 + 8 * count > end - start:
            raise FormatError("%s is shorter than its %d entries" % (CONTEXT_MAP, count))
        return [struct.unpack_from("<ii", self.data, start + 2 + 8 * i) for i in range(count)]

    def _file(self, name):
        if name not in self.files:
            raise FormatError("the file has no %s" % name)
        return self.files[name]

    def replace_context_map(self, pairs):
        """Appends a |CTXOMAP with `pairs` (number, topic offset) and points
        the directory at it."""
        self._file(CONTEXT_MAP)
        body = struct.pack("<H", len(pairs)) + b"".join(struct.pack("<ii", n, o) for n, o in pairs)
        offset = len(self.data)
        self.data += struct.pack("<iiB", FILE_HEADER + len(body), len(body), 0) + body
        for name, _, at in self._directory_entries():
            if name == CONTEXT_MAP:
                struct.pack_into("<i", self.data, at, offset)
        struct.pack_into("<I", self.data, 12, len(self.data))
        self.files[CONTEXT_MAP] = offset


def parse_pairs(arguments, what):
    pairs = []
    for argument in arguments:
        number, sep, value = argument.partition("=")
        if not sep or not number.isdigit() or not value:
            raise FormatError("'%s' is not NUMBER=%s" % (argument, what))
        pairs.append((int(number), value))
    if not pairs:
        raise FormatError("no NUMBER=%s given" % what)
    numbers = [number for number, _ in pairs]
    if len(set(numbers)) != len(numbers):
        raise FormatError("a number is given twice")
    if len(numbers) > 0xFFFF or max(numbers) > 0x7FFFFFFF:
        raise FormatError("too many numbers, or one too large")
    return pairs


def write(path, arguments):
    with open(path, "rb") as f:
        help_file = HelpFile(f.read())
    contexts = help_file.context_offsets()
    pairs = []
    for number, name in parse_pairs(arguments, "CONTEXT"):
        key = context_hash(name)
        if key not in contexts:
            raise FormatError("the help file defines no context '%s'" % name)
        pairs.append((number, contexts[key]))
    help_file.replace_context_map(sorted(pairs))
    temporary = path + ".tmp"
    with open(temporary, "wb") as f:
        f.write(help_file.data)
    os.replace(temporary, path)


def check(path, arguments):
    with open(path, "rb") as f:
        help_file = HelpFile(f.read())
    mapped = dict(help_file.context_map())
    titles = help_file.titles()
    problems = []
    for number, title in parse_pairs(arguments, "TITLE"):
        if number not in mapped:
            problems.append("context %d is not mapped" % number)
        elif mapped[number] not in titles:
            problems.append("context %d points at %d, where no topic starts" % (number, mapped[number]))
        elif titles[mapped[number]] != title:
            problems.append("context %d opens '%s', not '%s'" % (number, titles[mapped[number]], title))
    if problems:
        raise FormatError("; ".join(problems))


def main(argv):
    commands = {"write": write, "check": check}
    if len(argv) < 4 or argv[1] not in commands:
        usage = [line.strip() for line in __doc__.splitlines() if line.startswith("    help-context-map.py")]
        print("usage:\n  " + "\n  ".join(usage), file=sys.stderr)
        return 2
    try:
        commands[argv[1]](argv[2], argv[3:])
    except (FormatError, OSError) as error:
        print("%s: %s: %s" % (os.path.basename(argv[0]), argv[2], error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
