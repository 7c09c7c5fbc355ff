// Turning key values into byte strings whose plain memcmp order is the
// key's Btrieve order (type, descending, case-insensitive, alternate
// collating sequence, segments), so that the store can keep them in an
// ordinary index.
#pragma once

#include <cstdint>

#include "recordmanager/file_definition.h"

namespace vorlan::rm {

// Length of every encoded value of this key (the encoding is fixed-width).
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

// True when the record's key value is null by the key's null flags and
// values, so that the record is left out of the key's index.
bool isNullKey(const KeyDefinition& key, const uint8_t* value);

// Checks a key definition: 0, or 29 for a length the type does not allow,
// 27 for a segment outside the fixed record.
int validateKey(const FileDefinition& file, const KeyDefinition& key);

}  // namespace vorlan::rm
