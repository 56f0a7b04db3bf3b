#include "library/LibraryWriter.h"

#include <vector>

namespace vendrix::library {

LibraryWriter::LibraryWriter(std::string path, Done problem)
    : path_(std::move(path)), problem_(std::move(problem)) {
  thread_ = std::thread([this] { Run(); });
}

LibraryWriter::~LibraryWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void LibraryWriter::Record(HistoryEntry entry, Done done) {
  if (entry.time_ms == 0) entry.time_ms = NowMs();
  Queue({std::move(entry), {}, std::move(done)});
}

void LibraryWriter::SaveShop(SavedShop shop, std::optional<std::string> note, Done done) {
  Queue({std::nullopt,
         [shop = std::move(shop), note = std::move(note)](Library& library) mutable {
           return library.SaveShop(shop, note);
         },
         std::move(done)});
}

void LibraryWriter::SaveItem(SavedItem item, std::optional<std::string> note, Done done) {
  Queue({std::nullopt,
         [item = std::move(item), note = std::move(note)](Library& library) mutable {
           return library.SaveItem(item, note);
         },
         std::move(done)});
}

void LibraryWriter::RemoveShop(std::string nick, Done done) {
  Queue({std::nullopt,
         [nick = std::move(nick)](Library& library) {
           bool removed = false;
           return library.RemoveShop(nick, removed);
         },
         std::move(done)});
}

void LibraryWriter::RemoveItem(std::string item_id, Done done) {
  Queue({std::nullopt,
         [item_id = std::move(item_id)](Library& library) {
           bool removed = false;
           return library.RemoveItem(item_id, removed);
         },
         std::move(done)});
}

void LibraryWriter::SetNote(EntryKind kind, std::string key, std::string note, Done done) {
  Queue({std::nullopt,
         [kind, key = std::move(key), note = std::move(note)](Library& library) {
           bool found = false;
           return library.SetNote(kind, key, note, found);
         },
         std::move(done)});
}

void LibraryWriter::RemoveHistoryEntry(int64_t key, Done done) {
  Queue({std::nullopt,
         [key](Library& library) {
           bool removed = false;
           return library.RemoveHistoryEntry(key, removed);
         },
         std::move(done)});
}

void LibraryWriter::ClearHistory(std::optional<int64_t> before_ms, Done done) {
  Queue({std::nullopt,
         [before_ms](Library& library) {
           int64_t removed = 0;
           return library.ClearHistory(before_ms, removed);
         },
         std::move(done)});
}

void LibraryWriter::Flush() {
  std::unique_lock lock(mutex_);
  uint64_t wanted = queued_;
  finished_.wait(lock, [&] { return handled_ >= wanted; });
}

void LibraryWriter::Queue(Job job) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
    ++queued_;
  }
  wake_.notify_one();
}

Library* LibraryWriter::Use() {
  if (library_ || unusable_) return library_.get();
  LibraryStatus status;
  std::unique_ptr<Library> library = Library::Open(path_, Library::Access::kWrite, status);
  if (!status.Ok()) {
    unusable_ = status.code != LibraryStatus::kFailed;
    open_status_ = status;
    if (problem_) problem_(status);
    return nullptr;
  }
  library_ = std::move(library);
  return library_.get();
}

void LibraryWriter::Run() {
  for (;;) {
    std::deque<Job> jobs;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and everything written
      jobs.swap(queue_);
    }
    Library* library = Use();
    size_t handled = 0;
    while (handled < jobs.size()) {
      if (jobs[handled].entry) {
        // The entries queued one after the other go in one transaction.
        std::vector<HistoryEntry> entries;
        const size_t first = handled;
        while (handled < jobs.size() && jobs[handled].entry) {
          entries.push_back(std::move(*jobs[handled].entry));
          ++handled;
        }
        LibraryStatus status = open_status_;
        if (library != nullptr) {
          status = library->Record(entries);
          if (!status.Ok() && problem_) problem_(status);
        }
        for (size_t i = first; i < handled; ++i) {
          if (jobs[i].done) jobs[i].done(status);
        }
      } else {
        Job& job = jobs[handled++];
        LibraryStatus status;
        if (library != nullptr) {
          status = job.change(*library);
        } else {
          status = open_status_;
        }
        if (job.done) job.done(status);
      }
    }
    {
      std::lock_guard lock(mutex_);
      handled_ += jobs.size();
    }
    finished_.notify_all();
  }
}

}  // namespace vendrix::library
