// Reads of the affiliate's library off the window's thread: one thread of its own, with its
// own connection to the library, runs the reads in the order asked for (the pages of the
// library window, the saved sellers of the list, exports) and hands what each found back to
// the window's thread. Create, use and destroy on the window's thread.
#pragma once

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>
#include <string>

#include "library/Library.h"

namespace vendrix {

class TLibraryReader : public QObject {
 public:
  // What a read does on the reader's thread with the library (nullptr when it cannot be
  // opened; `status` then says why). What it returns, when not empty, runs on the window's
  // thread.
  using Read = std::function<std::function<void()>(library::Library* library,
                                                   const library::LibraryStatus& status)>;
  // Hears, on the window's thread, each time the library could not be opened (`readable`
  // false), and once that a file of a newer version is read as far as its schema allows
  // (kNewer with both versions, `readable` true).
  using Problem = std::function<void(const library::LibraryStatus& status, bool readable)>;

  // Starts the thread for the library at `path`, which it opens for reading on the first
  // read. A library that cannot be used (not a library, damaged, unreadably newer) is not tried
  // again; another failure (a lock held too long) is, at the next read.
  TLibraryReader(std::string path, Problem problem, QObject* parent);
  // Waits for the read under way; the reads still waiting are dropped.
  ~TLibraryReader() override;

  // Runs `read` on the reader's thread after the reads asked before it; what it returns runs
  // on the window's thread unless `receiver` has gone by then.
  void Run(QObject* receiver, Read read);
  // Called by a read, on the reader's thread, when the library failed it: one found damaged
  // is reported as one that cannot be opened, and not read again.
  void ReadFailed(const library::LibraryStatus& status);

 private:
  // On the reader's thread: the library, opened on first use; nullptr when it cannot be.
  library::Library* Use(library::LibraryStatus& status);
  void Report(const library::LibraryStatus& status, bool readable = false);

  const std::string path_;
  Problem problem_;
  QThread thread_;
  std::unique_ptr<QObject> context_;  // lives on thread_
  // Used on the reader's thread only.
  std::unique_ptr<library::Library> library_;
  bool unusable_ = false;
  bool drop_ = false;  // the last read found the library damaged
  library::LibraryStatus open_status_;
};

}  // namespace vendrix
