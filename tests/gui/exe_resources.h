// Editing the resources of a copy of the program, for scenarios that need
// a build the product never ships (one whose sensor data table is missing).
#ifndef LX40_TESTS_GUI_EXE_RESOURCES_H
#define LX40_TESTS_GUI_EXE_RESOURCES_H

#include <windows.h>

#include <string>

namespace gui {

// Gives `target` (a copy of `source`) every resource of `source` except
// resource `id` of `type`. The resource section is written anew rather
// than one entry being deleted, since Wine leaves a deleted entry in place.
// True when `target` then lacks that resource.
bool CopyResourcesExcept(const std::wstring& source, const std::wstring& target,
                         const wchar_t* type, WORD id);

// Whether the executable file holds resource `id` of `type`.
bool HasResource(const std::wstring& exe, const wchar_t* type, WORD id);

}  // namespace gui

#endif
