// A file's name is bytes: the file system keeps whatever a program wrote,
// and old archives and copies from other systems hold Latin-1 names that
// are no UTF-8. The window keeps the bytes where it has them (a drop, the
// command line, a batch list) and shows the name as well as it can; a name
// it only has as text (typed, or from a dialog) is turned back into the
// bytes of the file it shows.
#pragma once

#include <QString>
#include <QUrl>
#include <string>

namespace sondrel {

// The name as text, with the system's separators; bytes that are no UTF-8
// show as U+FFFD.
QString ShownPath(const std::string& path);
// The bytes of a name shown or typed. Where it holds U+FFFD (a name shown
// from bytes that are no UTF-8), each such part of the path is the entry
// of its folder that shows so.
std::string LocalPath(const QString& shown);
// A dropped file's name, from the URL's own bytes (a name that is no UTF-8
// stays percent-encoded there); a URL of no local file as its text.
std::string DroppedPath(const QUrl& url);

}  // namespace sondrel
