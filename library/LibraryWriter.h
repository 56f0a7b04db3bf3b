// Changes to the library made on a thread of their own, in the order they were asked for, so
// that the window records a click or saves a shop without ever waiting for the file (another
// process may hold it for a moment, and the first change checks the whole file).
// Threads: every member may be called from any thread; the callbacks run on the writer's
// thread, and must hand anything for the window to the window's thread themselves.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "library/Library.h"

namespace vendrix::library {

class LibraryWriter {
 public:
  using Done = std::function<void(const LibraryStatus&)>;

  // Starts the writer's thread for the library at `path`, which it opens for writing
  // (creating it when missing, and checking the whole file) before its first change.
  // `problem` hears of every failure to open the library or to record entries, with the
  // reason; entries that could not be recorded are dropped. A library that
  // cannot be used (not a library, damaged, newer) is not tried again; any other failure is,
  // at the next change.
  explicit LibraryWriter(std::string path, Done problem = {});
  // Writes what is queued, then ends the thread.
  ~LibraryWriter();
  LibraryWriter(const LibraryWriter&) = delete;
  LibraryWriter& operator=(const LibraryWriter&) = delete;

  // Queues `entry` for the history, stamped now when its time is 0; returns at once. Entries
  // queued together are recorded in one transaction. `done`, when given, hears once it is
  // recorded or dropped.
  void Record(HistoryEntry entry, Done done = {});
  // Queue a change; `done`, when given, hears how it went.
  void SaveShop(SavedShop shop, std::optional<std::string> note, Done done = {});
  void SaveItem(SavedItem item, std::optional<std::string> note, Done done = {});
  void RemoveShop(std::string nick, Done done = {});
  void RemoveItem(std::string item_id, Done done = {});
  void SetNote(EntryKind kind, std::string key, std::string note, Done done = {});
  void RemoveHistoryEntry(int64_t key, Done done = {});
  void ClearHistory(std::optional<int64_t> before_ms, Done done = {});

  // Waits until everything queued before the call has been written or dropped.
  void Flush();

 private:
  struct Job {
    std::optional<HistoryEntry> entry;              // a history entry, or
    std::function<LibraryStatus(Library&)> change;  // another change
    Done done;
  };
  void Queue(Job job);
  void Run();
  // The library, opened on first use; nullptr when it cannot be used now.
  Library* Use();

  const std::string path_;
  const Done problem_;
  std::unique_ptr<Library> library_;
  bool unusable_ = false;      // not a library, damaged or newer: never tried again
  LibraryStatus open_status_;  // why it could not be opened, for the changes dropped

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<Job> queue_;
  uint64_t queued_ = 0;   // jobs ever queued
  uint64_t handled_ = 0;  // of which written or dropped
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace vendrix::library
