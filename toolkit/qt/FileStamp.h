#pragma once

// A regular file as it is on disk: a new file, or the same one changed, has another stamp.

#include <sys/stat.h>

#include <QFile>
#include <QString>
#include <optional>

namespace toolkit::qt {

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileStamp& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }

    static std::optional<FileStamp> of(const struct stat& info) {
        if (!S_ISREG(info.st_mode)) {
            return std::nullopt;
        }
        return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    }

    static std::optional<FileStamp> ofPath(const QString& path) {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
            return std::nullopt;
        }
        return of(info);
    }

    static std::optional<FileStamp> ofOpenFile(int descriptor) {
        struct stat info {};
        if (descriptor < 0 || ::fstat(descriptor, &info) != 0) {
            return std::nullopt;
        }
        return of(info);
    }
};

}  // namespace toolkit::qt
