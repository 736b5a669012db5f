#pragma once

// Byte-to-Unicode table of CP895 (Kamenicky), 256 entries; see gen_cp895_table.py.
extern const char16_t kCp895ToUnicode[256];
