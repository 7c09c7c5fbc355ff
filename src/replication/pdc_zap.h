// Deleting the PDC record of one record of the data file in slot 1 from the
// PDC table in slot 2.
#pragma once

#include <cstdint>

namespace vorlan {

// Always 0; every outcome is reported by a message.
int32_t zapPdcRecord(int32_t keyNumber, int32_t keyValue);

}  // namespace vorlan
