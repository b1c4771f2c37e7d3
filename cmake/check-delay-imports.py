#!/usr/bin/env python3
"""Fails when a slot of an exe's delay-load import address table holds 0.

Each slot starts out holding the address of its function's loading stub, which loads the DLL at
the first call. A slot that holds 0 sends that first call to address 0: the linker dropped the
stub because no code named it. The linker leaves the header's delay-import directory empty, so
the descriptors are found by their symbols, which every descriptor of a delay-load import
library carries.
    check-delay-imports.py <exe>...
"""
import struct
import sys

DESCRIPTOR_SYMBOL = "_DELAY_IMPORT_DESCRIPTOR_"
PE32_PLUS_MAGIC = 0x20B
ORDINAL_FLAG = {4: 1 << 31, 8: 1 << 63}


class Image:
    def __init__(self, path):
        with open(path, "rb") as file:
            self.data = file.read()
        header = struct.unpack_from("<I", self.data, 0x3C)[0] + 4
        section_count, _, self.symbol_table, self.symbol_count, optional_size = struct.unpack_from(
            "<2xHIIIH", self.data, header)
        optional = header + 20
        magic = struct.unpack_from("<H", self.data, optional)[0]
        self.pointer_size = 8 if magic == PE32_PLUS_MAGIC else 4
        first_section = optional + optional_size
        self.sections = [struct.unpack_from("<8x4I", self.data, first_section + 40 * index)
                         for index in range(section_count)]

    def read(self, rva, size):
        """The bytes at rva; zeros past a section's file contents, as the loader maps them."""
        for virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                offset = rva - address
                if offset + size > raw_size:
                    return bytes(size)
                return self.data[raw_offset + offset:raw_offset + offset + size]
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def pointer(self, rva):
        return int.from_bytes(self.read(rva, self.pointer_size), "little")

    def text(self, rva):
        end = rva
        while self.read(end, 1) != b"\0":
            end += 1
        return self.read(rva, end - rva).decode("ascii")

    def symbols(self):
        """(name, rva) of each symbol of the COFF symbol table."""
        strings = self.symbol_table + 18 * self.symbol_count
        index = 0
        while index < self.symbol_count:
            entry = self.symbol_table + 18 * index
            name, value, section, aux_count = struct.unpack_from("<8sIh3xB", self.data, entry)
            if name[:4] == bytes(4):
                start = strings + struct.unpack_from("<I", name, 4)[0]
                name = self.data[start:self.data.index(b"\0", start)]
            if section > 0:
                yield name.rstrip(b"\0").decode("ascii", "replace"), self.sections[section - 1][1] + value
            index += 1 + aux_count


def delay_import_slots(image):
    """(dll, function, slot value) of every slot of every delay-import descriptor."""
    descriptors = sorted({rva for name, rva in image.symbols() if DESCRIPTOR_SYMBOL in name})
    for descriptor in descriptors:
        _, name_rva, _, iat_rva, int_rva = struct.unpack_from("<5I", image.read(descriptor, 20))
        dll = image.text(name_rva)
        for index in range(sys.maxsize):
            entry = image.pointer(int_rva + index * image.pointer_size)
            if entry == 0:
                break
            function = (f"#{entry & 0xFFFF}" if entry & ORDINAL_FLAG[image.pointer_size]
                        else image.text(entry + 2))
            yield dll, function, image.pointer(iat_rva + index * image.pointer_size)


def main(paths):
    failed = False
    for path in paths:
        slots = list(delay_import_slots(Image(path)))
        empty = [f"{dll}!{function}" for dll, function, value in slots if value == 0]
        if not slots:
            print(f"{path}: no delay-import descriptors (a stripped exe cannot be checked)")
        elif empty:
            print(f"{path}: {len(empty)} of {len(slots)} delay-import slots hold 0, so the first "
                  f"call through each jumps to address 0: {', '.join(empty)}")
        failed = failed or not slots or bool(empty)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
