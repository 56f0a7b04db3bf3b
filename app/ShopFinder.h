// The shop finder without a window: start-up, the seller search, the shop page of a row and
// the conversion of clicked links. The window and the command line are two faces on it.
// Threads: everything runs on the owner's thread, except StartUp, which a worker may run while
// the owner leaves the finder alone (no search, page load or conversion prepared meanwhile), and
// RunSearch, which a search worker may run while the owner leaves the search's data alone (the
// records of the affiliate item search and the user lookup, Sellers, and the two components
// they use; the user lookup runs on a thread of the search's own); AbortSearch may be called
// from any thread.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "account/Credentials.h"
#include "api/TaobaoSearch.h"
#include "api/TaobaoShop.h"
#include "api/TaobaoUsers.h"
#include "api/TaobaokeConvert.h"
#include "api/TaobaokeItem.h"
#include "api/TaobaokeShop.h"
#include "app/ItemCommissions.h"
#include "app/Links.h"
#include "app/ReferenceTables.h"
#include "app/SearchFilters.h"
#include "app/SellerInfo.h"
#include "app/ShopJobs.h"
#include "config/XMLData.h"
#include "platform/Settings.h"

namespace vendrix {

// The window's category table: entry 0 "所有类目" once loaded, ending at the first empty name.
using ACatsInfo = std::array<CatsInfo, 64>;

namespace finder_defaults {
inline constexpr const char* kDefaultNick = "quillfern01";
inline constexpr int kMaxCount = 120;         // the most sellers a search looks for
inline constexpr int kEntriesPerPage = 40;    // affiliate items read of each page
inline constexpr int kUsersPerBatch = 40;     // nicks per user lookup
inline constexpr int kMaxPages = 250;         // the paging ends here even if pages keep coming
inline constexpr int kCategoryEntriesRead = 64;
inline constexpr const char* kShopPageSize = "60";
}  // namespace finder_defaults

// The four choices of the search box, read on the window's thread before the worker starts.
struct SearchChoices {
  int category = 0;     // index into Cats; -1 when nothing is selected
  int low_credit = 0;   // index into CreditLevels()
  int high_credit = 19;
  int region = 0;       // index into Regions()
  std::string region_text;  // the chooser's text, sent for regions from index 5 on
  int count = 40;       // 1-120
  // Conditions beyond the search box; a side given replaces what the configuration set there.
  SearchFilters filters;
};

// One row of the seller list as FillList shows it.
struct SellerRow {
  std::string nick;      // GBK
  std::string location;  // GBK
  int level = 0;         // 1-20, or 0: no picture
  int picture = -1;      // index into the picture lists, -1 for none
};

// A step of a search that failed, and why.
struct SearchFailure {
  enum Step {
    kItemPage,    // a page of the affiliate item search; it ended the paging
    kUserLookup,  // a batch of the user lookup; it ended the look-ups
  };
  Step step = kItemPage;
  int page = 0;       // kItemPage: the page, from 1
  int first_row = 0;  // kUserLookup: the rows of the batch, from 0
  int last_row = 0;
  CallFailure call;
};

struct SearchOutcome {
  bool found = false;  // false: the warning is shown
  int count = 0;       // the count box afterwards: the number of sellers found
  std::vector<SellerRow> rows;
  // The failed page that ended the paging, and the failed batch that ended the look-ups. With
  // `found` false they say why nothing was found; with rows, why the list is shorter than it
  // would have been. A paging that simply ran out of sellers has no failure.
  std::optional<SearchFailure> page_failure;
  std::optional<SearchFailure> lookup_failure;
};

class ShopFinder {
 public:
  explicit ShopFinder(Settings settings = Settings::Current());

  // Start-up: the credentials of the run (the VENDRIX_APP_* variables, else the own account,
  // else the vendor's configuration document, which is read in any case for its names), the
  // affiliate nick, the long-lived records and the category table (from the platform, else the
  // built-in one). When the document cannot be read but the user's own credentials are there,
  // the built-in names stand in for its names and start-up goes on as usual. False when start-up
  // could not run through: no credentials because the document could not be read (the rest is
  // then skipped and every search ends with the warning), or variables that are bad usage
  // (CredentialProblem(); nothing is sent). May run again (after the own account was saved):
  // it starts from fresh records, nick and categories; no search, page load or conversion may
  // run meanwhile. Asks the Secret Service when the own account is needed: off the window's
  // thread.
  bool StartUp();
  // The start-up without the category call: credentials, configuration, nick and records only.
  bool LoadConfiguration();
  // From now on start-up takes `user` (UTF-8) as the user's own sources, in place of reading
  // the VENDRIX_APP_* variables and the own account: the window's account settings try the
  // values typed there before they are saved. No D-Bus is touched for them.
  void UseUserCredentials(UserCredentials user) { given_user_ = std::move(user); }
  void InitRecords();
  bool LoadCats();
  // Why the last LoadCats failed (the built-in table then stands in); kind kNone after one
  // that succeeded.
  const CallFailure& CatsFailure() const { return cats_failure_; }

  // The credit choosers put in order: the lower index first.
  static void OrderCreditRange(int& low, int& high);
  // The `area` value of a region choice.
  static std::string AreaFor(int region, const std::string& region_text);
  // The count box's value for a typed text: a number clamped to 1-120, 1 when not a number.
  static int ClampCount(const std::string& text);

  // The whole search: CollectSellers, LookUpSellers, FillList. Each batch of 40 sellers is
  // looked up, on a thread of its own, as soon as the paging has found it, while the paging
  // goes on; the calls, the rows and every outcome are those of the paging followed by the
  // look-ups.
  SearchOutcome RunSearch(const SearchChoices& choices);
  // Pages until `count` sellers are found (or a page fails or brings nothing); `count` then
  // holds how many were. `batch_found(first, last)`, when given, hears of each full batch of
  // rows the moment its last seller is found. A page that failed is kept in PageFailure().
  bool CollectSellers(const SearchChoices& choices, int& count,
                      const std::function<void(int first, int last)>& batch_found = {});
  bool IsNewSeller(int count, const std::string& nick) const;
  // Looks up rows 0..count-1 in batches of 40, one after the other; the first batch that fails
  // ends the look-ups. False only when that was the first batch: a later one keeps the rows
  // looked up before it.
  bool LookUpSellers(int count);
  // Looks up the sellers of rows first..last; false when the call failed, which LookUpFailure()
  // then keeps unless an earlier batch's failure is there. Each user is matched to its row by
  // nick; a seller without a user gets no location and level 0. Only a reply that carries no
  // nicks at all (its nick element renamed away) is matched by position.
  bool LookUpBatch(int first, int last);
  const std::optional<SearchFailure>& PageFailure() const { return page_failure_; }
  const std::optional<SearchFailure>& LookUpFailure() const { return lookup_failure_; }
  std::vector<SellerRow> FillList(int count) const;
  // Makes the search in progress end at once, from any thread; ClearAbort before the next.
  void AbortSearch();
  void ClearAbort();

  // The shop page of row `row` of Sellers, on the owner's thread.
  bool LoadShop(size_t row);
  bool LoadShopItems(size_t row);
  // The page of row `row`, each item's commission line from `commissions` (every one "佣金…"
  // without them).
  std::string BuildShopPage(size_t row, const PageCommissions* commissions = nullptr) const;

  // LoadShopItems in its two halves. Prepare (owner thread) reads the configuration into the
  // job; Run (one thread at a time, the shop lookup's and item search's components) makes the
  // calls on the job's copy of the row and returns whether the items were loaded; Store
  // (owner thread) puts the row back. A row that a new search replaced is not the owner's
  // to store: the window drops such jobs.
  ShopPageJob PrepareShopPage(size_t row);
  bool RunShopPage(ShopPageJob& job);
  void StoreShopPage(const ShopPageJob& job);
  // A row's shop looked up for its affiliate address (RunShopLink) is the row's, as a page
  // load would have stored it, so the row is not looked up again. Owner thread.
  void StoreShopLink(const ShopLinkJob& job);

  // Converts an item or the shop of row `row` and hands the click address to `open`.
  bool OpenItemLink(const std::string& iid, const LinkOpener& open);
  bool OpenShopLink(size_t row, const LinkOpener& open);

  // The conversions in their two halves: Prepare on the owner's thread, Run on one thread at
  // a time (the conversion components); true when it wrote a web address into the job.
  ConversionJob PrepareItemConversion(const std::string& iid);
  ConversionJob PrepareShopConversion(const std::string& sid);
  bool RunConversion(ConversionJob& job);

  // A row's shop converted, looked up first when needed. Run makes the lookup with `lookup`
  // (the caller's own shop lookup component, so that the page loads keep theirs) and the
  // conversion with the conversion components; true when it wrote a web address.
  ShopLinkJob PrepareShopLink(size_t row);
  bool RunShopLink(ShopLinkJob& job, TTaobaoShop& lookup);

  // The shop lookup of a seller alone, in the same two halves: Prepare on the owner's thread;
  // Run, with the caller's own shop lookup component, fills `seller`'s shop (id, title, logo)
  // and returns true, or leaves it as it was and returns false (the component's LastFailure
  // says why).
  ShopLookupJob PrepareShopLookup(const Info& seller);
  bool RunShopLookup(ShopLookupJob& job, Info& seller, TTaobaoShop& component);

  const Settings& GetSettings() const { return settings_; }
  const ACatsInfo& Cats() const { return Cats_; }
  PInfo& Sellers() { return Sellers_; }
  const std::string& DefaultNick() const { return DefaultNick_; }
  // The vendor's configuration document was read.
  bool ConfigLoaded() const { return config_loaded_; }
  // The affiliate item search's conditions as the configuration set them (its commission
  // bounds among them), whatever the searches have sent since.
  const TaobaokeItemConditions& ConfiguredItemCond() const { return configured_item_cond_; }
  // The last start-up ran through: with the document, or with the user's own credentials in
  // place of a document that could not be read.
  bool StartedUp() const { return started_up_; }
  // The credentials and nick of the run (GBK), each with its source; set by start-up.
  const CredentialChoice& Credentials() const { return credentials_; }
  // What the user's own sources held at start-up (UTF-8): the variables, the own account and
  // what became of its secret.
  const UserCredentials& UserSources() const { return user_; }
  // Why the variables cannot be used (bad usage), "" when they can.
  const std::string& CredentialProblem() const { return user_.problem; }
  // What start-up passed over among the user's own sources, and why, for the user to hear.
  const std::vector<std::string>& CredentialNotes() const { return user_.notes; }

  // The records, components and configuration, as the window keeps them.
  TaobaokeItemConditions KeItemCond;
  TaobaokeItemInfo KeItemBack;
  TaobaokeItemName KeItemName;
  TaobaokeItemXML KeItemXml;
  TaobaoUsersConditions UsersCond;
  TaobaoUsersInfo UsersBack;
  TaobaoUsersName UsersName;
  TaobaoUsersXML UsersXml;
  TXMLData XMLData1;
  TTaobaokeItem TaobaokeItem1;
  TTaobaoUsers TaobaoUsers1;
  TTaobaoShop TaobaoShop1;
  TTaobaoSearch TaobaoSearch1;
  TTaobaokeShop TaobaokeShop1;
  TTaobaokeConvert TaobaokeConvert1;

 private:
  Settings settings_;
  PInfo Sellers_;
  ACatsInfo Cats_{};
  std::string DefaultNick_ = finder_defaults::kDefaultNick;

  // The affiliate item search's conditions as the configuration left them, before any search
  // put its own filters in.
  TaobaokeItemConditions configured_item_cond_;

  bool config_loaded_ = false;
  bool started_up_ = false;
  UserCredentials user_;
  std::optional<UserCredentials> given_user_;  // in place of reading the user's sources
  CredentialChoice credentials_;
  CallFailure cats_failure_;
  // Written by the paging and by the look-ups (on their own thread, before Finish() returns).
  std::optional<SearchFailure> page_failure_;
  std::optional<SearchFailure> lookup_failure_;
};

}  // namespace vendrix
