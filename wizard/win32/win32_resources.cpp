#include "win32_resources.h"

#include <windows.h>

BinFile Win32Resources::FindBinFile(uint16_t id) {
  // A null module is the executable that started the process.
  HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "BIN_FILE");
  if (info == nullptr) return {};
  HGLOBAL loaded = LoadResource(nullptr, info);
  if (loaded == nullptr) return {};
  const void* locked = LockResource(loaded);
  if (locked == nullptr) return {};
  return {static_cast<const uint8_t*>(locked), SizeofResource(nullptr, info)};
}
