// Small file helpers of the settings persistence; file names are unit paths.
#pragma once

// Size in bytes, -1 when the file cannot be opened.
long getFileSize(const char* filename);
// Binary copy in 4096-byte blocks, reporting the outcome on standard output.
void copyFile(const char* source, const char* destination);
