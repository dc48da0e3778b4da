#pragma once

// Folder toolbox: existence, creation, normalisation, listing, recursive copy
// and delete. Paths are byte strings passed through to the file system; the
// separator is '/'. Listings are in byte order of the names, and symbolic
// links are never entered (a link is listed as a file and deleted as a link).
// Several functions write diagnostic lines to standard output.
#include <string>
#include <vector>

#include "ArxExport.h"

namespace MeridianSpace {

/// All functions are static and keep no state; safe from any thread.
class ARX FolderHelper {
public:
    FolderHelper() = delete;

    /// True when the path names a folder. A path that is empty after trimming
    /// blanks is false; one trailing '/' is dropped unless the path is "/".
    static bool FolderExists(std::string path);
    /// 1 when the folder already exists, 0 when it was created (one level),
    /// -1 when creating it failed.
    static int createDirFolder(std::string path);
    /// Creates every missing level. True when the folder exists afterwards.
    /// Throws std::filesystem::filesystem_error when a level cannot be created.
    static bool createDirs(std::string path);
    /// Turns every '\' into '/', makes the path end with '/', and collapses
    /// runs of '/': "a//b/" -> "a/b/", "a" -> "a/".
    static void folderPathStrNormalize(std::string& path);
    /// Deletes the folder and everything below it, writing one line per
    /// deleted file and folder. 0 when everything went, -3 when the folder
    /// cannot be read; otherwise negative. The caller's string is unchanged.
    static int DelDir(const std::string& path);
    /// A folder is returned unchanged, a file gives its folder (see
    /// folderPathFromFileFullPathStr), anything else "". Asks the disk.
    static std::string folderPathFromFullPath(std::string path);
    /// The path without its last element and the separator before it, judged
    /// on the text alone ('\' counts as '/'): "/a/b.txt" -> "/a", "/b.txt" -> "/",
    /// "b.txt" -> "".
    static std::string folderPathFromFileFullPathStr(std::string path);
    /// Names of the sub-folders of `folder`.
    static std::vector<std::string> SubFolderNames(std::string folder);
    /// Appends the paths of all folders below `folder`, each parent before its children.
    static void SubFolderPathsR(std::string folder, std::vector<std::string>& paths);
    /// Names of the entries of `folder` that are not sub-folders.
    static std::vector<std::string> FilesInFolder(std::string folder);
    /// Copies the tree `source` into `target` (files keep their modification
    /// times). 0 on success, 11 when the target lies inside the source (nothing
    /// is created), 3 when the source cannot be read, 1 when a sub-folder
    /// failed, 2 when a file failed.
    static int copyDir(std::string source, std::string target);
};

}  // namespace MeridianSpace
