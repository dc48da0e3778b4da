#pragma once

// File toolbox: whole-file read and write, existence, names, size, copy with
// the modification time, and the DOS packing of file times. Paths are byte
// strings passed through to the file system; the separator is '/'.
#include <cstdint>
#include <string>

#include "ArxExport.h"

namespace MeridianSpace {

/// All functions are static and keep no state; safe from any thread.
class ARX FileHelper {
public:
    FileHelper() = delete;

    /// Reads the whole file into a new buffer of exactly `length` bytes (no
    /// terminating zero). The buffer is allocated with new[]: the caller frees
    /// it with delete[]. A file that cannot be opened or read as a regular
    /// file, an empty file and a file over 2^31-1 bytes give a null buffer
    /// and length 0. Always 0.
    static int readFile(const std::string& fileName, char*& buffer, int& length);
    /// Writes `length` bytes of `buffer` into the file, replacing its content.
    /// Always 0; failures are not reported.
    static int writeFile(const std::string& fileName, const char* buffer, int length);
    /// True when anything (file or folder) exists at the path.
    static bool isFileExists(const std::string& path);
    /// The last element of the path ('\' counts as '/'); "" when there is none.
    static std::string fileNameFromFullPath(std::string path);
    /// Deletes a file (not a folder): 0 on success, -1 on failure.
    static int delFile(const std::string& path);
    /// Size of the file in bytes, also written to standard output; 0 when the
    /// file cannot be opened (a folder cannot). Saturates at 2^31-1.
    static int fileSizeByte(const std::string& path);
    /// Copies the content and then the modification time. 0 on success; 1 when
    /// the source cannot be opened, 2 when the target cannot be created or
    /// written or is the source itself (each with its line on standard output).
    /// A failed time copy still gives 0.
    static int copyFile(const std::string& source, const std::string& target);
    /// Gives the target the source's modification time (to the 2 seconds of
    /// the DOS packing). 0 when the target's time was set, 1 otherwise.
    static int copyFileDate(const std::string& source, const std::string& target);
    /// The modification time of the path in local time, DOS-packed (date in
    /// the high 16 bits, time in the low 16 bits). 1 when found, 0 when not
    /// (dosTime untouched). Times outside 1980..2107 are clamped.
    static int getFileDosTime(const std::string& path, std::uint32_t& dosTime);
    /// Sets the access and modification times of a file or folder to the
    /// DOS-packed local time. 1 on success, 0 when the path cannot be changed
    /// or the value is no valid date and time.
    static int Directory_SetDosTime(const std::string& path, std::uint32_t dosTime);
};

}  // namespace MeridianSpace
