// Who may do what in the Windows lock folder, set by Meterlink itself (a zip
// install has no installer to set it). Internal to the library; the lock
// tests read it too.
#ifndef LX40_METERLINK_WIN32_LOCK_FOLDER_ACCESS_H
#define LX40_METERLINK_WIN32_LOCK_FOLDER_ACCESS_H

namespace meterlink::lock_file {

// %ProgramData%\LX40\locks: the system and administrators everything; every
// signed-in user, service accounts included, may list the folder and make
// files in it (0x1200ab: list, add file, read attributes and extended
// attributes, traverse, read the access list, synchronise) and read every
// lock file in it, whoever made it (OIIO;FR: on files, not the folder); a
// file's maker may do anything with it. "P": nothing inherited from
// ProgramData changes it.
inline constexpr const char kLockFolderAccess[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;FA;;;CO)(A;;0x1200ab;;;AU)(A;OIIO;FR;;;AU)";

// %ProgramData%\LX40, above it, only needs to be passed through and read.
inline constexpr const char kParentFolderAccess[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200a9;;;AU)";

}  // namespace meterlink::lock_file

#endif
