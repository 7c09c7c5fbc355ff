// Turning key values into byte strings whose plain memcmp order is the
// key's Btrieve order (type, descending, case-insensitive, alternate
// collating sequence, segments), so that the store can keep them in an
// ordinary index.
//
// Each segment is encoded on its own, into as many bytes as it has, and the
// encodings are concatenated:
//   string and the types without an order of their own (logical ... GUID
//     apart, see below): the bytes left to right, through the ACS map, or
//     folded a-z to A-Z when case-insensitive;
//   zstring: the bytes up to the first zero (mapped), zero-filled;
//   lstring: the length byte (clamped to the field) says how many bytes
//     follow; encoded as those bytes (mapped), zero-filled, then the length
//     in the last byte, so that a shorter value sorts before its extensions;
//   wstring, wzstring: 16-bit little-endian code units in numeric order
//     (the map folds the units below 256; wzstring stops at a zero unit);
//   integer, autoincrement, currency: signed little-endian, any width;
//   unsigned binary, timestamp, logical, bit: unsigned little-endian;
//   float: IEEE 4 or 8 bytes in numeric order (negative zero equals zero);
//   bfloat: Microsoft binary format, 4 or 8 bytes, in numeric order;
//   decimal, money: packed decimal, the sign in the last nibble (0xD or
//     0xB negative), in numeric order for numbers of the same scale;
//   numeric: ASCII digits, the sign overpunched on the last ('{', 'A'..'I'
//     positive, '}', 'J'..'R' negative); numeric with trailing sign: ASCII
//     digits, then '-' or '+';
//   date (day, month, 2-byte year) and time (hundredths, seconds, minutes,
//     hours): by their fields, most significant first;
//   GUID and the rest: as strings;
//   descending: the segment's encoded bytes inverted.
#pragma once

#include <cstdint>

#include "recordmanager/file_definition.h"

namespace vorlan::rm {

// Length of every encoded value of this key (the encoding is fixed-width;
// it equals key.valueLength()).
uint32_t encodedKeyLength(const KeyDefinition& key);

// The key's value as it stands in the record: the segments' bytes
// concatenated (key.valueLength() bytes). Bytes beyond the record's length
// read as zero.
void extractKeyValue(const KeyDefinition& key, const uint8_t* record,
                     uint32_t recordLength, uint8_t* value);

// Encodes a key value (as in a key buffer, key.valueLength() bytes) into
// encodedKeyLength(key) bytes.
void encodeKeyValue(const FileDefinition& file, const KeyDefinition& key,
                    const uint8_t* value, uint8_t* encoded);

// Encodes one field of `length` bytes of the given type into `length`
// bytes, ascending. `map` (256 bytes, or nullptr for none) applies to the
// string types only. The building block of encodeKeyValue, also used by
// the extended operations' filter.
void encodeField(uint8_t type, uint32_t length, const uint8_t* map,
                 const uint8_t* value, uint8_t* encoded);

// The map of case-insensitive comparison: a-z folded to A-Z.
const uint8_t* upperCaseMap();

// True when the record's key value is null by the key's null flags and
// values, so that the record is left out of the key's index: with
// kKeyNullAny when any segment consists of its null value only, else with
// kKeyNullAll when every segment does.
bool isNullKey(const KeyDefinition& key, const uint8_t* value);

// Checks a key definition: 0, or 29 for a length the type does not allow
// (or a type that cannot be a key, or a key longer than 255 bytes), 27 for
// a segment outside the fixed record, 48 for an ACS segment whose sequence
// is missing.
int validateKey(const FileDefinition& file, const KeyDefinition& key);

}  // namespace vorlan::rm
