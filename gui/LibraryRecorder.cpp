#include "gui/LibraryRecorder.h"

#include <QMessageBox>
#include <QSettings>
#include <QWidget>

namespace vendrix {
namespace {

using library::LibraryStatus;

constexpr const char* kRecordingKey = "library/record_links";
// What the window does without the library, said after why.
const char* const kWithout = "本次运行不会保存收藏，也不会记录推广链接；其他功能照常使用。";

QSettings Store() { return QSettings(QStringLiteral("Vendrix"), QStringLiteral("Vendrix")); }

}  // namespace

QString LibraryProblemText(const LibraryStatus& status, const std::string& path, bool readable) {
  const QString file = QString::fromStdString(path);
  switch (status.code) {
    case LibraryStatus::kNotALibrary:
      return QString::fromUtf8(
                 "%1 不是 Vendrix 的收藏与记录文件（是另一个程序的文件），Vendrix "
                 "不会改动它。\n")
                 .arg(file) +
             QString::fromUtf8(kWithout);
    case LibraryStatus::kDamaged:
      return QString::fromUtf8("收藏与记录文件 %1 已损坏，Vendrix 不会改动它。\n").arg(file) +
             QString::fromUtf8(kWithout);
    case LibraryStatus::kNewer:
      return QString::fromUtf8(
                 "收藏与记录文件 %1 来自更新的 Vendrix（文件版本 %2，这个 Vendrix "
                 "只能写入版本 %3），Vendrix 不会改动它。\n")
                 .arg(file)
                 .arg(status.file_version)
                 .arg(status.known_version) +
             QString::fromUtf8(
                 readable ? "收藏与记录仍可查看，但本次运行不会保存收藏，也不会记录推广链接。"
                          : kWithout);
    case LibraryStatus::kFailed:
    case LibraryStatus::kOk:
      break;
  }
  // A passing failure: the library's own words (English) after ours.
  return QString::fromUtf8("收藏与记录文件暂时无法使用：") + QString::fromStdString(status.message);
}

TLibraryRecorder::TLibraryRecorder(std::string path, QWidget* window, Say say)
    : QObject(window), path_(std::move(path)), window_(window), say_(std::move(say)) {
  recording_ = Store().value(kRecordingKey, true).toBool();
  // Only starts a thread: the file is opened, and checked whole, on the writer's thread.
  writer_ = std::make_unique<library::LibraryWriter>(path_, [this](const LibraryStatus& status) {
    QMetaObject::invokeMethod(
        this, [this, status] { WriteProblem(status); }, Qt::QueuedConnection);
  });
}

TLibraryRecorder::~TLibraryRecorder() {
  // Its callbacks post to this object, which is whole until the writer is gone.
  writer_.reset();
}

bool TLibraryRecorder::RecordingOn() const { return recording_ && library::HistoryRecordingOn(); }

void TLibraryRecorder::SetRecordingSetting(bool on) {
  if (on == recording_) return;
  recording_ = on;
  Store().setValue(kRecordingKey, on);
  emit RecordingChanged();
}

void TLibraryRecorder::Opened(const LinkRecord& link) {
  Record(link, library::HistoryAction::kOpened);
}

void TLibraryRecorder::Copied(const LinkRecord& link) {
  Record(link, library::HistoryAction::kCopied);
}

void TLibraryRecorder::Record(const LinkRecord& link, library::HistoryAction action) {
  if (!RecordingOn() || !Writable() || link.click_url.empty()) return;
  library::HistoryEntry entry;
  entry.kind = link.kind;
  entry.id = link.id;
  entry.nick = link.nick;
  entry.title = link.title;
  entry.price = link.price;
  entry.commission_rate = link.commission_rate;
  entry.click_url = link.click_url;
  entry.action = action;
  // A problem is heard through the writer's own callback; a success shows in the history.
  writer_->Record(std::move(entry), OnWindowThread(this, [this](const LibraryStatus& status) {
                    if (status.Ok()) emit Recorded();
                  }));
}

library::LibraryWriter::Done TLibraryRecorder::OnWindowThread(
    QObject* receiver, std::function<void(const LibraryStatus&)> done) {
  // The guard is made here and read only on this thread; the writer's thread only copies the
  // pointer that holds it.
  auto guarded =
      std::make_shared<std::pair<QPointer<QObject>, std::function<void(const LibraryStatus&)>>>(
          receiver, std::move(done));
  return [this, guarded](const LibraryStatus& status) {
    QMetaObject::invokeMethod(
        this,
        [guarded, status] {
          if (guarded->first) guarded->second(status);
        },
        Qt::QueuedConnection);
  };
}

void TLibraryRecorder::ReadProblem(const LibraryStatus& status, bool readable) {
  if (status.code == LibraryStatus::kFailed) return SayFailure(status);
  Enter(readable ? State::kReadOnly : State::kUnusable, status, readable);
}

void TLibraryRecorder::WriteProblem(const LibraryStatus& status) {
  if (status.code == LibraryStatus::kFailed) return SayFailure(status);
  Enter(status.code == LibraryStatus::kNewer ? State::kReadOnly : State::kUnusable, status, false);
}

void TLibraryRecorder::SayFailure(const LibraryStatus& status) {
  // Each failure once: the next change tries again, and a lock held long would say so at
  // every click.
  if (said_failures_.insert(status.message).second && say_) {
    say_(LibraryProblemText(status, path_, false));
  }
}

void TLibraryRecorder::Enter(State next, const LibraryStatus& status, bool readable) {
  if (status.Ok() || state_ == State::kUnusable || state_ == next) return;
  state_ = next;
  emit StateChanged();
  if (said_) return;
  said_ = true;
  // Said once, where the user looks; the window goes on at once (the box waits for nobody).
  auto* box =
      new QMessageBox(QMessageBox::Warning, "Vendrix", LibraryProblemText(status, path_, readable),
                      QMessageBox::Ok, window_);
  box->setTextFormat(Qt::PlainText);  // the file's name is the user's, not markup
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->open();
}

}  // namespace vendrix
