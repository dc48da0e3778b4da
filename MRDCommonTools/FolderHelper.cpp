#include "FolderHelper.h"
#include "ConsoleSink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "DirListing.h"
#include "FileHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

using detail::childPath;
using detail::DirEntry;
using detail::listFolder;

std::string withTrailingSlash(std::string path) {
    if (!StringHelper::stringEndWith(path, "/")) path += "/";
    return path;
}

// Deletes `dir` (ending with '/') and its contents. A sub-folder's result
// replaces the running total while file and folder removals add to it, so a
// failure deep in the tree can be masked by a later sibling folder; callers
// only rely on 0 meaning "all gone".
int deleteTree(const std::string& dir) {
    std::vector<DirEntry> entries;
    if (!listFolder(dir, entries)) {
        ConsoleSink::stream() << dir << "read first file fail! Maybe this file doesn't exist!\n";
        return -3;
    }
    int result = 0;
    for (const DirEntry& entry : entries) {
        if (entry.isDir) {
            result = deleteTree(dir + entry.name + "/");
        } else {
            const std::string file = dir + entry.name;
            ConsoleSink::stream() << "删除文件: " << file << "\n";
            result += std::remove(file.c_str()) == 0 ? 0 : -1;
        }
    }
    result += ::rmdir(dir.c_str()) == 0 ? 0 : -1;
    ConsoleSink::stream() << "删除目录: " << dir << "\n";
    return result;
}

// A folder is never copied into itself. With an absolute source the target
// must not start with it (on a drive path the drive anchored the text test to
// the start); a relative source must not appear in the target at all.
bool targetInsideSource(const std::string& source, const std::string& target) {
    if (StringHelper::stringStartWith(source, "/")) {
        return StringHelper::stringStartWith(target, source);
    }
    return StringHelper::isSubStr(target, source);
}

}  // namespace

bool FolderHelper::FolderExists(std::string path) {
    std::string trimmed = path;
    StringHelper::TrimLeftSpace(trimmed);
    StringHelper::TrimRightSpace(trimmed);
    if (trimmed.empty()) return false;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int FolderHelper::createDirFolder(std::string path) {
    if (FolderExists(path)) return 1;
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : -1;
}

bool FolderHelper::createDirs(std::string path) {
    if (FolderExists(path)) return true;
    std::filesystem::create_directories(std::filesystem::path(path));
    return FolderExists(path);
}

void FolderHelper::folderPathStrNormalize(std::string& path) {
    StringHelper::string_replace(path, "\\", "/");
    path = withTrailingSlash(path);
    while (StringHelper::isSubStr(path, "//"))
        StringHelper::string_replace(path, "//", "/");
}

int FolderHelper::DelDir(const std::string& path) {
    std::string dir = path;
    folderPathStrNormalize(dir);
    return deleteTree(dir);
}

std::string FolderHelper::folderPathFromFullPath(std::string path) {
    switch (StringHelper::pathType(path)) {
        case 0:
            return path;
        case 1:
            return folderPathFromFileFullPathStr(path);
        default:
            return "";
    }
}

std::string FolderHelper::folderPathFromFileFullPathStr(std::string path) {
    StringHelper::string_replace(path, "\\", "/");
    const std::vector<std::string> pieces = StringHelper::splitString(path, "/");
    if (pieces.empty()) return "";
    const std::size_t last = path.rfind(pieces.back());
    if (last == 0) return std::string();
    // A file directly under the root keeps the root, as a drive path keeps its drive.
    if (last == 1 && path[0] == '/') return "/";
    return path.substr(0, last - 1);
}

std::vector<std::string> FolderHelper::SubFolderNames(std::string folder) {
    std::vector<std::string> names;
    std::vector<DirEntry> entries;
    listFolder(withTrailingSlash(folder), entries);
    for (DirEntry& entry : entries) {
        if (entry.isDir) names.push_back(std::move(entry.name));
    }
    return names;
}

void FolderHelper::SubFolderPathsR(std::string folder, std::vector<std::string>& paths) {
    for (const std::string& name : SubFolderNames(folder)) {
        const std::string sub = childPath(folder, name);
        paths.push_back(sub);
        SubFolderPathsR(sub, paths);
    }
}

std::vector<std::string> FolderHelper::FilesInFolder(std::string folder) {
    StringHelper::TrimLeftSpace(folder);
    StringHelper::TrimRightSpace(folder);
    std::vector<std::string> names;
    std::vector<DirEntry> entries;
    listFolder(withTrailingSlash(folder), entries);
    for (DirEntry& entry : entries) {
        if (!entry.isDir) names.push_back(std::move(entry.name));
    }
    return names;
}

int FolderHelper::copyDir(std::string source, std::string target) {
    if (targetInsideSource(source, target)) return 11;
    ::mkdir(target.c_str(), 0777);  // an existing target is fine

    std::vector<DirEntry> entries;
    if (!listFolder(source, entries)) return 3;
    for (const DirEntry& entry : entries) {
        const std::string from = childPath(source, entry.name);
        const std::string to = childPath(target, entry.name);
        if (entry.isDir) {
            if (copyDir(from, to) != 0) return 1;
        } else if (FileHelper::copyFile(from, to) != 0) {
            return 2;
        }
    }
    return 0;
}

}  // namespace MeridianSpace
