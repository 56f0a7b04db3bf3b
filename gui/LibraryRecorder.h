// The window's side of the affiliate's library: every affiliate address the window hands to
// the user goes into the history (opened or copied), and every change the window makes to the
// library is written, on LibraryWriter's thread, so that the window's thread never waits for
// the file. It knows whether the library can be used and says once, in a message box, when it
// cannot; the window then works on without it. Window thread only; the writer's callbacks come
// back to it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "library/LibraryWriter.h"

class QWidget;

namespace vendrix {

// One affiliate address handed to the user, as the history keeps it (UTF-8).
struct LinkRecord {
  library::EntryKind kind = library::EntryKind::kItem;
  std::string id;               // the item id or the shop id
  std::string nick;             // the seller's
  std::string title;            // the item's or the shop's
  std::string price;            // the item's, as the platform gave it; empty when unknown
  std::string commission_rate;  // hundredths of a percent, as the reply gave it; or empty
  std::string click_url;
};

class TLibraryRecorder : public QObject {
  Q_OBJECT

 public:
  // What the window may do with the library.
  enum class State {
    kUsable,    // read and written (until something says otherwise)
    kReadOnly,  // a newer Vendrix's file: read as far as its schema allows, never written
    kUnusable,  // not a library, damaged, or unreadably newer: left alone
  };
  // Says a passing failure (a lock held too long, a full disk) over the window's page.
  using Say = std::function<void(const QString& text)>;

  // Starts the writer for the library at `path` (opened on its first change, off this
  // thread); a message box over `window` says it once when the library cannot be used.
  TLibraryRecorder(std::string path, QWidget* window, Say say);
  // Writes what is queued (a few milliseconds), then ends the writer's thread.
  ~TLibraryRecorder() override;

  // Records that `link` was opened in the web browser, or put on the clipboard; nothing
  // when recording is off or the library cannot be written. Returns at once.
  void Opened(const LinkRecord& link);
  void Copied(const LinkRecord& link);

  // Whether recording is on: the window's setting (记录推广链接, remembered in Vendrix.conf)
  // and VENDRIX_HISTORY both allow it.
  bool RecordingOn() const;
  bool RecordingSetting() const { return recording_; }
  void SetRecordingSetting(bool on);

  State GetState() const { return state_; }
  bool Writable() const { return state_ == State::kUsable; }
  const std::string& Path() const { return path_; }

  // The writer, for the window's changes to the library.
  library::LibraryWriter& Writer() { return *writer_; }
  // `done` made fit for the writer's callbacks: it runs on the window's thread, unless
  // `receiver` has gone by then. A failure it hears was said already when it was one of the
  // library being unusable.
  library::LibraryWriter::Done OnWindowThread(
      QObject* receiver, std::function<void(const library::LibraryStatus&)> done);

  // A problem a reader of the library met, heard on the window's thread. `readable`: a newer
  // file that is still read as far as its schema allows.
  void ReadProblem(const library::LibraryStatus& status, bool readable);

 signals:
  // The library became read-only or unusable.
  void StateChanged();
  // An entry went into the history.
  void Recorded();
  // The setting 记录推广链接 was switched (RecordingOn() may say otherwise now).
  void RecordingChanged();

 private:
  void Record(const LinkRecord& link, library::HistoryAction action);
  // A problem the writer met: a newer file refused for writing may still be read.
  void WriteProblem(const library::LibraryStatus& status);
  // Moves to `next` when that is worse than now, saying it the first time.
  void Enter(State next, const library::LibraryStatus& status, bool readable);
  void SayFailure(const library::LibraryStatus& status);

  const std::string path_;
  QPointer<QWidget> window_;
  Say say_;
  bool recording_ = true;
  State state_ = State::kUsable;
  bool said_ = false;                    // the library's being unusable was said
  std::set<std::string> said_failures_;  // the passing failures said, each once
  std::unique_ptr<library::LibraryWriter> writer_;
};

// What the window says of a library that cannot be used, naming the file: why, that it is left
// as it is, and what the window does without it.
QString LibraryProblemText(const library::LibraryStatus& status, const std::string& path,
                           bool readable);

}  // namespace vendrix
