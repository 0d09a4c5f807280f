// The registry key HKEY_CURRENT_USER\Software\QozSerial that holds the touch
// driver's four calibration settings as text, and the operations on it.
#pragma once

#include "platform/platform.h"

// The largest text value GetQOZRegistryValue reads, and the buffer it needs.
#define QOZ_REGISTRY_VALUE_BYTES 180
#define QOZ_REGISTRY_BUFFER_CHARS (QOZ_REGISTRY_VALUE_BYTES / 2 + 1)

// Creates the key with neutral settings when it does not exist yet; an
// existing key is left as it is. Returns 0.
int InitQOZCalRegistry(void);

// Writes one seed value through the key that InitQOZCalRegistry holds open.
// Returns 0.
int AddQOZRegistryItem(LPCWSTR name, LPCWSTR text);

// Writes one text value. Returns 1 when it was written, else 0.
int SetQOZRegistryValue(LPCWSTR name, LPCWSTR text);

// Reads one text value into buffer (QOZ_REGISTRY_BUFFER_CHARS units).
// Returns 1 when a text value was read, else 0.
int GetQOZRegistryValue(LPCWSTR name, LPWSTR buffer);
