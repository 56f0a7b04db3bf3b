#include "gui/LibraryReader.h"

#include <QPointer>

#include "library/LibrarySchema.h"

namespace vendrix {

using library::Library;
using library::LibraryStatus;

TLibraryReader::TLibraryReader(std::string path, Problem problem, QObject* parent)
    : QObject(parent), path_(std::move(path)), problem_(std::move(problem)), context_(new QObject) {
  context_->moveToThread(&thread_);
  thread_.start();
}

TLibraryReader::~TLibraryReader() {
  thread_.requestInterruption();
  thread_.quit();
  thread_.wait();
  // The connection is the thread's; the thread is over.
  library_.reset();
}

void TLibraryReader::Run(QObject* receiver, Read read) {
  QPointer<QObject> guard(receiver);
  QMetaObject::invokeMethod(
      context_.get(),
      [this, guard, read = std::move(read)] {
        // Reads left when the window goes are not worth its wait.
        if (thread_.isInterruptionRequested()) return;
        LibraryStatus status;
        Library* library = Use(status);
        std::function<void()> then = read(library, status);
        if (drop_) library_.reset();
        if (!then) return;
        // Back on the window's thread, where the receiver lives and may have gone meanwhile.
        QMetaObject::invokeMethod(
            this,
            [guard, then = std::move(then)] {
              if (guard) then();
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

Library* TLibraryReader::Use(LibraryStatus& status) {
  if (library_ || unusable_) {
    status = open_status_;
    return library_.get();
  }
  library_ = Library::Open(path_, Library::Access::kRead, status);
  if (!library_) {
    unusable_ = status.code != LibraryStatus::kFailed;
    open_status_ = status;
    Report(status);
    return nullptr;
  }
  if (library_->FileVersion() > library::schema::kVersion) {
    // Read as far as its schema allows; the writer will refuse it, which is said now.
    LibraryStatus newer;
    newer.code = LibraryStatus::kNewer;
    newer.file_version = library_->FileVersion();
    newer.known_version = library::schema::kVersion;
    newer.message = "the library " + path_ + " is of version " +
                    std::to_string(newer.file_version) + ", newer than version " +
                    std::to_string(newer.known_version) + " that this Vendrix writes";
    Report(newer, true);
  }
  open_status_ = {};
  return library_.get();
}

void TLibraryReader::ReadFailed(const LibraryStatus& status) {
  if (status.code != LibraryStatus::kDamaged && status.code != LibraryStatus::kNotALibrary) return;
  if (unusable_) return;
  unusable_ = true;
  drop_ = true;
  open_status_ = status;
  Report(status);
}

void TLibraryReader::Report(const LibraryStatus& status, bool readable) {
  if (!problem_) return;
  QMetaObject::invokeMethod(
      this, [this, status, readable] { problem_(status, readable); }, Qt::QueuedConnection);
}

}  // namespace vendrix
