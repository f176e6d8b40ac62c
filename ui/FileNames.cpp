#include "ui/FileNames.h"

#include <QDir>
#include <QFile>
#include <filesystem>

namespace sondrel {

QString ShownPath(const std::string& path) {
    return QDir::toNativeSeparators(QFile::decodeName(QByteArray::fromStdString(path)));
}

std::string LocalPath(const QString& shown) {
    const QString text = QDir::fromNativeSeparators(shown);
    const std::string bytes = QFile::encodeName(text).toStdString();
    if (!text.contains(QChar::ReplacementCharacter)) return bytes;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(bytes, ec))) return bytes;
    // Part by part, from the root: a part that shows U+FFFD is the entry
    // of the folder so far whose name shows the same.
    std::string path = text.startsWith('/') ? "/" : "";
    for (const QString& part : text.split('/', Qt::SkipEmptyParts)) {
        std::string name = QFile::encodeName(part).toStdString();
        if (part.contains(QChar::ReplacementCharacter)) {
            for (const fs::directory_entry& e : fs::directory_iterator(path.empty() ? "." : path, ec))
                if (QFile::decodeName(QByteArray::fromStdString(e.path().filename().string())) == part) {
                    name = e.path().filename().string();
                    break;
                }
        }
        path += (path.empty() || path.back() == '/' ? "" : "/") + name;
    }
    return path;
}

std::string DroppedPath(const QUrl& url) {
    if (!url.isLocalFile()) return url.toString().toStdString();
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace sondrel
