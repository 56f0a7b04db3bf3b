#include "gui/UserFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace vendrix {
namespace {

constexpr const char* kLastFolderKey = "files/last_folder";

QSettings Store() { return QSettings(QStringLiteral("Vendrix"), QStringLiteral("Vendrix")); }

}  // namespace

QString UserFileFolder() {
  // A folder that has gone since (a removed stick, a renamed folder) is passed over.
  for (const QString& folder :
       {Store().value(kLastFolderKey).toString(),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)}) {
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  }
  return QDir::homePath();
}

QString SaveUserFile(QWidget* parent, const QString& title, const QString& name,
                     const std::vector<UserFileType>& types, const UserFileContents& contents) {
  QStringList filters;
  for (const UserFileType& type : types) filters << type.filter;
  QFileDialog dialog(parent, title, QDir(UserFileFolder()).filePath(name));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  const UserFileType* chosen = &types.front();
  dialog.setDefaultSuffix(chosen->suffix);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
    for (const UserFileType& type : types) {
      if (type.filter == filter) {
        chosen = &type;
        dialog.setDefaultSuffix(type.suffix);
      }
    }
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  QString path = dialog.selectedFiles().first();

  std::optional<QByteArray> made = contents(path, *chosen);
  if (!made) return QString();
  const QByteArray& bytes = *made;
  // Written beside the file and put in its place only once whole: a failure keeps the file
  // as it was. The flush is checked on its own: the commit misses a failure of the last
  // buffered write.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
      !file.commit()) {
    QMessageBox::warning(parent, title,
                         QString::fromUtf8("无法写入 %1：%2").arg(path, file.errorString()));
    return QString();
  }
  Store().setValue(kLastFolderKey, QFileInfo(path).absolutePath());
  return path;
}

}  // namespace vendrix
