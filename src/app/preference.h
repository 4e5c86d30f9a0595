// The user's choice not to see the start-up warning again: the REG_DWORD "ShowWarning" in the
// per-user key HKEY_CURRENT_USER\Software\Orvane Technologies\Velmora. Its sense is the opposite
// of its name: non-zero means the warning is not shown at start-up.
#pragma once

#include <cstdint>

// The stored number. A value shorter than 4 bytes reads with its missing high bytes as 0; a
// missing key, a missing value, a value longer than 4 bytes or a failed read gives 0, so the
// warning is shown whenever the choice cannot be read.
uint32_t ReadShowWarning();

// Stores 1 when `ticked` is non-zero, else 0, creating "Velmora" below an existing
// "Software\Orvane Technologies" when it is missing. The company key itself is never created:
// without it nothing is stored. 1 when the value was written, 0 when nothing changed.
int SaveShowWarning(int ticked);
