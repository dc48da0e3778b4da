#pragma once

// Disk toolbox: kind of a path (from its text or from the disk), sizes in
// kilobytes (K = 1024 bytes) and whether the file system of a target path
// has room. A path in "drive form" is an absolute path (it starts with '/');
// where a drive is asked for, the path stands for the file system holding it.
// Several functions write one diagnostic line to standard output.
#include <string>

#include "ArxExport.h"
#include "ResultReturnCode.h"

namespace MeridianSpace {

/// All functions are static and keep no state; safe from any thread.
class ARX DiskHelper {
public:
    DiskHelper() = delete;

    /// From the text alone: rCode 1 "file" when the last element has a dot,
    /// rCode 0 "folder" otherwise, rCode -1 with the wrong-path-format message
    /// for a relative path.
    static ResultMsg pathType(std::string path);
    /// From the disk: rCode 0 folder, 1 regular file, 2 anything else, -1
    /// missing; rMsg stays empty.
    static ResultMsg pathType_Existed(const std::string& path);
    /// Same as FileHelper::fileSizeByte.
    static int fileSizeByte(const std::string& path);
    /// Adds the size of everything below `folder` to `size`, in K. Always 0.
    static int folderSizeK(std::string folder, double& size);
    /// Free kilobytes (all free blocks, including those kept for the
    /// superuser) of the file system of the nearest existing folder of the
    /// path; -1.0 for a relative path or when it cannot be asked.
    static double getDiskFreeSpaceK(const std::string& drive);
    /// rCode 0 when the file system of `target` has at least `sizeK` K free.
    static ResultMsg isDiskEnough(const std::string& target, double sizeK);
    /// As above, for the size of the file or folder `source`.
    static ResultMsg isDiskEnough(const std::string& target, const std::string& source);
    /// Full path of the running executable and its file name.
    static void CheckProcess(std::string& fullPath, std::string& exeName);
};

}  // namespace MeridianSpace
