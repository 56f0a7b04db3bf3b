// What each item of a shop page pays the affiliate: the page's items converted in batches of at
// most 50 ids, each batch a call of its own that may run beside the others, the replies matched
// to the items by id; each item's state and the line the page shows under its price.
// Threads: a PageCommissions on one thread at a time, its PrepareBatches on the finder's owner
// thread; RunCommissionBatch on any thread, each batch with a conversion component of its own.
#pragma once

#include <string>
#include <vector>

#include "api/TaobaokeConvert.h"
#include "app/SellerInfo.h"
#include "app/ShopJobs.h"

namespace vendrix {

class ShopFinder;

namespace commission_defaults {
inline constexpr size_t kIdsPerBatch = 50;  // the platform converts at most 50 ids a call
}  // namespace commission_defaults

// What is known of one item's conversion.
struct ItemCommission {
  enum State {
    kPending,    // its batch is under way
    kConverted,  // the platform converted it
    kNone,       // the platform answered without it: it pays nothing
    kFailed,     // its batch failed: not known
  };
  State state = kPending;
  // As the reply gave them (GBK): the rate in hundredths of a percent, the commission in yuan.
  std::string commission_rate;
  std::string commission;
  std::string click_url;  // only a web address; anything else stays empty
};

// One call's worth of a page's items.
struct CommissionBatch {
  size_t index = 0;               // 0 for the first 50 ids of the page, 1 for the next...
  std::vector<std::string> iids;  // the distinct ids it converts, in page order
  ConversionJob job;              // the call, prepared from the configuration
  // What RunCommissionBatch found: whether the call succeeded, the reply's rows, why not.
  bool ok = false;
  std::vector<TaobaokeConvertInfo> rows;
  CallFailure failure;
};

// The rate of the line: a rate in hundredths of a percent ("550", "550.00") as a percentage
// with two decimals ("5.50%"), rounded half up; anything that is not a plain decimal number
// stays as given, without "%".
std::string CommissionRateText(const std::string& rate);

// The line under an item's price (GBK, not escaped): "佣金 5.50% · ￥3.40" once converted (an
// empty rate or commission shows "?"), "无佣金" when the platform does not convert the item,
// "佣金…" while its batch is under way, "佣金未知" when the batch failed.
std::string CommissionLine(const ItemCommission& item);

// The items of one page, in page order, each with what is known of its commission.
class PageCommissions {
 public:
  PageCommissions() = default;
  // The items that the page of `row` shows, every one pending; one without an id cannot be
  // converted and pays nothing.
  explicit PageCommissions(const Info& row);
  explicit PageCommissions(std::vector<std::string> iids);

  size_t size() const { return iids_.size(); }
  const std::string& IidAt(size_t i) const { return iids_[i]; }
  const ItemCommission& At(size_t i) const { return items_[i]; }
  // The item of id `iid`; nullptr when the page has none.
  const ItemCommission* Find(const std::string& iid) const;
  // No item is waiting for its batch any more.
  bool Settled() const;

  // The batches that convert every pending item: its distinct ids, 50 a batch, each prepared
  // from `finder`'s configuration. Owner thread.
  std::vector<CommissionBatch> PrepareBatches(ShopFinder& finder) const;
  // Puts a batch's outcome into its items: converted when the reply holds their id, else none;
  // failed with the batch. Returns the page positions whose state changed.
  std::vector<size_t> Apply(const CommissionBatch& batch);

 private:
  std::vector<std::string> iids_;
  std::vector<ItemCommission> items_;
};

// Makes `batch`'s call with `component` and keeps its outcome in the batch; true when the call
// succeeded (then `rows` holds the reply's rows, maybe none), false with `failure` set.
bool RunCommissionBatch(CommissionBatch& batch, TTaobaokeConvert& component);

// Converts all of `page`'s pending items at once: every batch on a thread and a connection of
// its own, then every outcome applied in batch order. Returns the batches with their outcomes
// (`ok` false for those that failed). Owner thread; the finder is not touched while the calls
// run.
std::vector<CommissionBatch> ConvertPageItems(ShopFinder& finder, PageCommissions& page);

}  // namespace vendrix
