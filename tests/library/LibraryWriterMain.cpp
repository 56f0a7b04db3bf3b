// A process that changes a library in a loop, for the tests that kill it at random moments or
// read the library while it writes: each change in a transaction of its own, and the name of
// each change on stdout the moment it is committed.
// Usage: library_test_writer PATH TAG COUNT   (COUNT 0: until killed)
//   change i: a history entry with the id TAG-i; when i is a multiple of 3 also the shop TAG-i
//   saved, and when i is a multiple of 5 from 15 on, the shop TAG-(i-15) removed. Prints
//   "TAG-i" when all of change i is committed.
#include <cstdio>
#include <string>

#include "library/Library.h"

int main(int argc, char** argv) {
  using namespace vendrix::library;
  if (argc != 4) {
    std::fprintf(stderr, "usage: library_test_writer PATH TAG COUNT\n");
    return 2;
  }
  const std::string tag = argv[2];
  const long count = std::stol(argv[3]);
  LibraryStatus status;
  std::unique_ptr<Library> library = Library::Open(argv[1], Library::Access::kWrite, status);
  if (!library) {
    std::fprintf(stderr, "%s\n", status.message.c_str());
    return 1;
  }
  for (long i = 0; count == 0 || i < count; ++i) {
    std::string id = tag + "-" + std::to_string(i);
    HistoryEntry entry{.kind = EntryKind::kItem,
                       .id = id,
                       .nick = "写入者",
                       .title = "连衣裙 " + id,
                       .price = "99.00",
                       .commission_rate = "1250",
                       .click_url = "http://s.click.example/t?e=" + id,
                       .action = HistoryAction::kOpened};
    status = library->Record(entry);
    if (status.Ok() && i % 3 == 0) {
      SavedShop shop{.nick = id, .shop_id = std::to_string(i), .title = "店铺 " + id, .level = 5};
      status = library->SaveShop(shop, "note " + id);
    }
    if (status.Ok() && i % 5 == 0 && i >= 15) {
      bool removed = false;
      status = library->RemoveShop(tag + "-" + std::to_string(i - 15), removed);
    }
    if (!status.Ok()) {
      std::fprintf(stderr, "%s\n", status.message.c_str());
      return 1;
    }
    std::printf("%s\n", id.c_str());
    std::fflush(stdout);
  }
  return 0;
}
