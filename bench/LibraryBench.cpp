// The affiliate's library at the size a heavy user reaches: 1,000,000 history entries and
// 10,000 saved shops. Measures recording one entry, the first rows the library window shows
// (opening the file, the newest 100 entries and the latest 100 saved shops), searches inside
// the process, and `vendrix-cli history --search TEXT --limit 50` as a whole process; prints
// the file's size per entry first.
// The file is made once (a minute or two) in $VENDRIX_BENCH_LIBRARY_DIR, else
// /tmp/vendrix-library-bench, and reused by later runs; recording works on a copy.
// The entries come from the sandbox's marketplace (its items, sellers and titles' words), with
// titles as long as the platform's (up to 30 characters: the frequent words the marketplace
// uses, then a long tail of rarer ones), click addresses of the platform's form and length
// (about 115 bytes), times spread over three years.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "library/Library.h"
#include "sandbox/Marketplace.h"

extern char** environ;

namespace vendrix::library {
namespace {

constexpr size_t kEntries = 1'000'000;
constexpr size_t kSavedShops = 10'000;
constexpr size_t kBatch = 1000;  // entries a transaction while the file is made
// Bumped whenever what is generated changes, so that an old file is made again.
constexpr const char* kGeneration = "generated-3";

std::string Folder() {
  const char* dir = std::getenv("VENDRIX_BENCH_LIBRARY_DIR");
  return dir != nullptr && dir[0] != '\0' ? dir : "/tmp/vendrix-library-bench";
}
std::string DataHome() { return Folder() + "/data"; }
std::string LibraryPath() { return DataHome() + "/vendrix/vendrix.db"; }

// A rank from 0 to n-1, the first ones far more often (Zipf, exponent 1).
class Zipf {
 public:
  explicit Zipf(size_t n) {
    double total = 0;
    for (size_t i = 0; i < n; ++i) cumulative_.push_back(total += 1.0 / static_cast<double>(i + 1));
  }
  size_t operator()(std::mt19937_64& random) const {
    double pick = std::uniform_real_distribution<double>(0, cumulative_.back())(random);
    return static_cast<size_t>(std::lower_bound(cumulative_.begin(), cumulative_.end(), pick) -
                               cumulative_.begin());
  }

 private:
  std::vector<double> cumulative_;
};

std::string Utf8(uint32_t c) {
  std::string out;
  out += static_cast<char>(0xE0 | (c >> 12));
  out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (c & 0x3F));
  return out;
}

size_t Characters(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

class Generator {
 public:
  Generator() : market_(sandbox::Marketplace::Generate(1, kSavedShops)) {
    // The marketplace's own words first (the most frequent), then 6,000 rarer words of two to
    // four characters from 3,000 characters.
    std::set<std::string> seen;
    for (const sandbox::Item& item : market_.Items()) {
      std::istringstream words(item.title);
      for (std::string word; words >> word;) {
        if (Characters(word) == word.size()) continue;  // the model numbers come later
        if (seen.insert(word).second) words_.push_back(word);
      }
    }
    for (int i = 0; i < 6000; ++i) {
      std::string word;
      int length = 2 + static_cast<int>(random_() % 3);
      for (int k = 0; k < length; ++k)
        word += Utf8(0x4E00 + static_cast<uint32_t>(random_() % 3000));
      words_.push_back(word);
    }
    zipf_ = std::make_unique<Zipf>(words_.size());
  }

  const sandbox::Marketplace& Market() const { return market_; }

  // A title of up to 30 characters, mostly without blanks, often ending in a model number.
  std::string Title() {
    std::string title;
    size_t length = 0;
    size_t wanted = 18 + random_() % 13;
    while (length < wanted) {
      const std::string& word = words_[(*zipf_)(random_)];
      if (length + Characters(word) > 30) break;
      if (!title.empty() && random_() % 6 == 0) {
        title += ' ';
        ++length;
      }
      title += word;
      length += Characters(word);
    }
    if (random_() % 2 == 0 && length <= 26) {
      title += static_cast<char>('A' + random_() % 26) + std::to_string(100 + random_() % 900);
    }
    return title;
  }

  // An affiliate click address of the platform's form.
  std::string ClickUrl() {
    static constexpr char kBase64[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string e;
    for (int i = 0; i < 60; ++i) {
      char c = kBase64[random_() % 64];
      e += c == '+' ? "%2B" : c == '/' ? "%2F" : std::string(1, c);
    }
    return "http://s.click.taobao.com/t_8?e=" + e + "%3D%3D&p=mm_" +
           std::to_string(10000000 + random_() % 90000000) + "_0_0";
  }

  HistoryEntry Entry(int64_t time_ms) {
    HistoryEntry entry;
    entry.time_ms = time_ms;
    uint64_t action = random_() % 10;
    entry.action = action < 6   ? HistoryAction::kOpened
                   : action < 9 ? HistoryAction::kCopied
                                : HistoryAction::kPrinted;
    entry.click_url = ClickUrl();
    if (random_() % 100 < 85) {
      const sandbox::Item& item = market_.Items()[random_() % market_.Items().size()];
      entry.kind = EntryKind::kItem;
      entry.id = item.iid;
      entry.nick = market_.Sellers()[item.seller].nick;
      entry.title = Title();
      entry.price = item.price;
      entry.commission_rate = item.commission_rate;
    } else {
      const sandbox::Seller& seller = market_.Sellers()[random_() % market_.Sellers().size()];
      entry.kind = EntryKind::kShop;
      entry.id = seller.sid;
      entry.nick = seller.nick;
      entry.title = seller.shop_title;
      entry.commission_rate = std::to_string(500 + seller.level * 37 % 1500);
    }
    return entry;
  }

  std::mt19937_64& Random() { return random_; }

 private:
  sandbox::Marketplace market_;
  std::mt19937_64 random_{20261209};
  std::vector<std::string> words_;
  std::unique_ptr<Zipf> zipf_;
};

void Fail(const LibraryStatus& status) {
  std::fprintf(stderr, "library_bench: %s\n", status.message.c_str());
  std::exit(1);
}

// Makes the benchmark's library unless a complete one is there.
void Prepare() {
  std::string marker = Folder() + "/" + kGeneration;
  if (std::filesystem::exists(marker) && std::filesystem::exists(LibraryPath())) return;
  std::filesystem::remove_all(Folder());
  std::filesystem::create_directories(DataHome());
  std::fprintf(stderr, "library_bench: making %zu entries and %zu saved shops in %s ...\n",
               kEntries, kSavedShops, LibraryPath().c_str());
  auto start = std::chrono::steady_clock::now();
  Generator generator;
  LibraryStatus status;
  std::unique_ptr<Library> library = Library::Open(LibraryPath(), Library::Access::kWrite, status);
  if (!library) Fail(status);
  // Three years up to a fixed day, entries closer together in the day than at night.
  int64_t time = 1796169600000 - int64_t{3} * 365 * 86400 * 1000;
  std::exponential_distribution<double> gap(1.0 / 94000.0);
  std::vector<HistoryEntry> batch;
  for (size_t i = 0; i < kEntries; ++i) {
    time += 1 + static_cast<int64_t>(gap(generator.Random()));
    batch.push_back(generator.Entry(time));
    if (batch.size() == kBatch || i + 1 == kEntries) {
      if (LibraryStatus s = library->Record(batch); !s.Ok()) Fail(s);
      batch.clear();
    }
  }
  for (size_t i = 0; i < kSavedShops; ++i) {
    const sandbox::Seller& seller = generator.Market().Sellers()[i];
    SavedShop shop{seller.nick,
                   seller.sid,
                   seller.shop_title,
                   seller.state + seller.city,
                   seller.level,
                   i % 3 == 0 ? generator.Title() : "",
                   0};
    if (LibraryStatus s = library->SaveShop(shop, shop.note); !s.Ok()) Fail(s);
  }
  library.reset();
  std::ofstream(marker) << "ok\n";
  std::fprintf(stderr, "library_bench: made in %.0f s\n",
               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

std::unique_ptr<Library> OpenLibrary(const std::string& path, Library::Access access) {
  LibraryStatus status;
  std::unique_ptr<Library> library = Library::Open(path, access, status);
  if (!library) Fail(status);
  return library;
}

// Recording one entry into (a copy of) the full library: one transaction, committed. The
// median is what counts: now and then a commit also copies the write-ahead log into the file
// (SQLite's checkpoint, every 1000 pages), which waits for the disk.
void BM_RecordOneEntry(benchmark::State& state) {
  std::string copy = Folder() + "/record-copy.db";
  std::filesystem::copy_file(LibraryPath(), copy,
                             std::filesystem::copy_options::overwrite_existing);
  std::vector<double> times;
  {
    std::unique_ptr<Library> library = OpenLibrary(copy, Library::Access::kWrite);
    Generator generator;
    for (auto _ : state) {
      HistoryEntry entry = generator.Entry(0);
      auto start = std::chrono::steady_clock::now();
      LibraryStatus s = library->Record(entry);
      auto took = std::chrono::steady_clock::now() - start;
      state.SetIterationTime(std::chrono::duration<double>(took).count());
      times.push_back(std::chrono::duration<double, std::micro>(took).count());
      if (!s.Ok()) state.SkipWithError(s.message.c_str());
    }
  }
  std::sort(times.begin(), times.end());
  if (!times.empty()) {
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["p90_us"] = times[times.size() * 9 / 10];
  }
  std::filesystem::remove(copy);
  std::filesystem::remove(copy + "-wal");
  std::filesystem::remove(copy + "-shm");
}

// What the library window shows first: the file opened, the newest 100 entries and the
// latest 100 saved shops.
void BM_LibraryWindowFirstRows(benchmark::State& state) {
  for (auto _ : state) {
    std::unique_ptr<Library> library = OpenLibrary(LibraryPath(), Library::Access::kRead);
    std::vector<HistoryEntry> entries;
    std::vector<SavedShop> shops;
    if (!library->ReadHistory({.limit = 100}, entries).Ok() || entries.size() != 100 ||
        !library->ReadSavedShops({.limit = 100}, shops).Ok() || shops.size() != 100) {
      state.SkipWithError("no first rows");
    }
  }
}

// The searches measured: Chinese words of one, two and four characters (how many entries hold
// each is printed as "found" by the in-process run when fewer than 50), two words at once
// (both common, together rarely), words that nothing holds, a nick's start and an item id,
// and words found by their start together.
struct Search {
  const char* name;
  std::string text;
};
std::vector<Search>& Searches() {
  static std::vector<Search> searches;
  return searches;
}

void ChooseSearches() {
  Generator generator;
  const sandbox::Item& item = generator.Market().Items()[12345];
  Searches() = {
      {"chinese_2_in_29pct", "包邮"},
      {"chinese_2_in_1pct", "女装"},
      {"chinese_4_in_2pct", "皇冠信誉"},
      {"chinese_1_in_14pct", "鞋"},
      {"chinese_1_in_0.5pct", "茶"},
      {"two_words_rarely_together", "女装 皇冠信誉"},
      {"chinese_2_in_none", "火锅"},
      {"chinese_3_in_none", "连衣裙"},
      {"ascii_nick_start", "sunny"},
      {"ascii_one_letter", "s"},
      {"item_id", item.iid},
      // Several words each found by its start: a rare and a common one, two letters together
      // now and then, two letters never together, a character and a letter.
      {"chinese_1_rare_and_1_common", "茶 鞋"},
      {"two_letters_sometimes_together", "a b"},
      {"two_letters_never_together", "x y"},
      {"chinese_1_and_letter", "衣 s"},
  };
}

void BM_SearchInProcess(benchmark::State& state) {
  const Search& search = Searches()[static_cast<size_t>(state.range(0))];
  state.SetLabel(search.name);
  std::unique_ptr<Library> library = OpenLibrary(LibraryPath(), Library::Access::kRead);
  size_t found = 0;
  for (auto _ : state) {
    std::vector<HistoryEntry> entries;
    if (!library->ReadHistory({.search = search.text, .limit = 50}, entries).Ok()) {
      state.SkipWithError("search failed");
    }
    found = entries.size();
  }
  state.counters["found"] = static_cast<double>(found);
}

// The whole `vendrix-cli history --search TEXT --limit 50` process, start to exit.
void BM_CliHistorySearch(benchmark::State& state) {
  const Search& search = Searches()[static_cast<size_t>(state.range(0))];
  state.SetLabel(search.name);
  std::string data_home = "XDG_DATA_HOME=" + DataHome();
  std::vector<std::string> env_storage = {data_home};
  for (char** e = environ; *e != nullptr; ++e) {
    if (!std::string_view(*e).starts_with("XDG_DATA_HOME=")) env_storage.push_back(*e);
  }
  std::vector<char*> env;
  for (std::string& e : env_storage) env.push_back(e.data());
  env.push_back(nullptr);
  std::vector<std::string> args = {VENDRIX_CLI, "history", "--search",
                                   search.text, "--limit", "50"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid = 0;
    if (posix_spawn(&pid, VENDRIX_CLI, &actions, nullptr, argv.data(), env.data()) != 0) {
      state.SkipWithError("cannot start vendrix-cli");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("vendrix-cli failed");
  }
  posix_spawn_file_actions_destroy(&actions);
}

void ApplySearches(benchmark::internal::Benchmark* b) {
  for (size_t i = 0; i < Searches().size(); ++i) b->Arg(static_cast<int64_t>(i));
}

}  // namespace
}  // namespace vendrix::library

int main(int argc, char** argv) {
  using namespace vendrix::library;
  benchmark::Initialize(&argc, argv);
  Prepare();
  ChooseSearches();
  uintmax_t bytes = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(LibraryPath() + suffix, error);
    if (!error) bytes += size;
  }
  std::printf("library_size_bytes=%ju bytes_per_entry=%.1f entries=%zu saved_shops=%zu\n", bytes,
              static_cast<double>(bytes) / kEntries, kEntries, kSavedShops);
  std::fflush(stdout);
  benchmark::RegisterBenchmark("BM_RecordOneEntry", BM_RecordOneEntry)
      ->Unit(benchmark::kMicrosecond)
      ->Iterations(2000)
      ->UseManualTime();
  benchmark::RegisterBenchmark("BM_LibraryWindowFirstRows", BM_LibraryWindowFirstRows)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_SearchInProcess", BM_SearchInProcess)
      ->Apply(ApplySearches)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_CliHistorySearch", BM_CliHistorySearch)
      ->Apply(ApplySearches)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
