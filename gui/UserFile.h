// Saving a file for the user, the one way every file the window writes for the user is saved:
// a save dialog that starts in the folder the user last saved to (else the documents folder
// when it exists, else the home folder), and a write that replaces the file whole or not at
// all, so that a crash or a full disk never leaves half a file. Window thread only.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace vendrix {

struct UserFileType {
  QString filter;  // as the dialog lists it: "CSV (*.csv)"
  QString suffix;  // what a name typed without an extension gets: "csv"
};

// What to write for the path and the type the user chose; nullopt to write nothing (the
// contents have said why), the file as it was being kept.
using UserFileContents =
    std::function<std::optional<QByteArray>(const QString& path, const UserFileType& type)>;

// Asks where to save a file named `name` (no folder) as one of `types`, the first one chosen
// at first; a name typed without an extension takes the chosen type's, and the dialog asks
// before replacing a file. Then writes `contents` to a temporary file beside it that replaces
// the chosen one only once it is complete, and remembers the folder for the next time. Returns
// the path written; empty when the user cancelled, when `contents` gave nothing, or when the
// write failed, which a message box then says (titled `title`, as the dialog), the file as it
// was being kept.
QString SaveUserFile(QWidget* parent, const QString& title, const QString& name,
                     const std::vector<UserFileType>& types, const UserFileContents& contents);

// The folder the next save dialog starts in.
QString UserFileFolder();

}  // namespace vendrix
