#include "DiskHelper.h"
#include "ConsoleSink.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <iostream>
#include <vector>

#include "DirListing.h"
#include "FileHelper.h"
#include "StringHelper.h"

namespace MeridianSpace {

namespace {

constexpr double kPerKilobyte = 0.0009765625;  // 1/1024

bool isDriveForm(const std::string& path) {
    return StringHelper::stringStartWith(path, "/");
}

// The path itself when it is a folder, else the closest ancestor that is one.
std::string nearestExistingFolder(std::string path) {
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return path;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        const std::size_t cut = path.rfind('/');
        if (cut == std::string::npos || cut == 0) return "/";
        path.erase(cut);
    }
}

}  // namespace

ResultMsg DiskHelper::pathType(std::string path) {
    StringHelper::string_replace(path, "\\", "/");
    if (!isDriveForm(path)) return ResultMsg(-1, "路径格式错误");

    const std::vector<std::string> byDot = StringHelper::splitString(path, ".");
    if (byDot.empty()) return ResultMsg(-1, "路径格式错误");
    if (byDot.size() == 1) return ResultMsg(0, "folder");
    // The dot belongs to the last element when nothing follows it but that element.
    if (StringHelper::splitString(byDot.back(), "/").size() < 2) return ResultMsg(1, "file");
    return ResultMsg(0, "folder");
}

ResultMsg DiskHelper::pathType_Existed(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            ConsoleSink::stream() << "it's a folder" << std::endl;
            return ResultMsg(0, "");
        }
        if (S_ISREG(st.st_mode)) {
            ConsoleSink::stream() << "it's a file" << std::endl;
            return ResultMsg(1, "");
        }
        ConsoleSink::stream() << "not file not directory" << std::endl;
        return ResultMsg(2, "");
    }
    const bool accessible = ::access(path.c_str(), F_OK) == 0;
    const int kind = pathType(path).rCode;
    if (kind == 1 && accessible) {
        ConsoleSink::stream() << "it's a file2" << std::endl;
    } else if (kind == 0 && accessible) {
        ConsoleSink::stream() << "it's a folder2" << std::endl;
    }
    ConsoleSink::stream() << "error, doesn't exist" << std::endl;
    return ResultMsg(-1, "");
}

int DiskHelper::fileSizeByte(const std::string& path) {
    return FileHelper::fileSizeByte(path);
}

int DiskHelper::folderSizeK(std::string folder, double& size) {
    StringHelper::TrimLeftSpace(folder);
    StringHelper::TrimRightSpace(folder);
    if (!StringHelper::stringEndWith(folder, "/")) folder += "/";

    std::vector<detail::DirEntry> entries;
    detail::listFolder(folder, entries);
    std::int64_t bytes = 0;
    for (const detail::DirEntry& entry : entries) {
        if (entry.isDir) {
            folderSizeK(folder + entry.name, size);
        } else {
            bytes += entry.size;
        }
    }
    size += static_cast<double>(bytes) * kPerKilobyte;
    return 0;
}

double DiskHelper::getDiskFreeSpaceK(const std::string& drive) {
    if (!isDriveForm(drive)) return -1.0;
    struct statvfs fs {};
    if (::statvfs(nearestExistingFolder(drive).c_str(), &fs) != 0) return -1.0;
    return static_cast<double>(fs.f_bfree) * static_cast<double>(fs.f_frsize) * kPerKilobyte;
}

ResultMsg DiskHelper::isDiskEnough(const std::string& target, double sizeK) {
    if (!isDriveForm(target)) return ResultMsg(1, "路径格式不正确!");
    const double freeK = getDiskFreeSpaceK(target);
    if (sizeK > freeK) {
        return ResultMsg(1, target + "盘(目标磁盘)空间不够. 目标磁盘剩余：" +
                                StringHelper::doubleTostring(freeK) + "k");
    }
    return ResultMsg(0, "");
}

ResultMsg DiskHelper::isDiskEnough(const std::string& target, const std::string& source) {
    double sizeK = 0.0;
    if (pathType_Existed(source).rCode == 1) {
        sizeK = fileSizeByte(source) * kPerKilobyte;
    } else if (pathType_Existed(source).rCode == 0) {
        folderSizeK(source, sizeK);
    } else {
        return ResultMsg(1, "路径不合理");
    }
    return isDiskEnough(target, sizeK);
}

void DiskHelper::CheckProcess(std::string& fullPath, std::string& exeName) {
    char buffer[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    fullPath.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t slash = fullPath.rfind('/');
    exeName = slash == std::string::npos ? fullPath : fullPath.substr(slash + 1);
}

}  // namespace MeridianSpace
