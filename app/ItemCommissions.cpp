#include "app/ItemCommissions.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "app/Links.h"
#include "app/ShopFinder.h"
#include "app/ShopPage.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

// The line's texts, in UTF-8 here.
constexpr const char* kConvertedLead = "佣金 ";
constexpr const char* kConvertedMiddle = " · ￥";
constexpr const char* kNoCommission = "无佣金";
constexpr const char* kPending = "佣金…";
constexpr const char* kUnknown = "佣金未知";
// In place of a rate or commission the reply left empty.
constexpr const char* kEmptyValue = "?";

bool IsDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
}

// `digits` + 1, in decimal.
std::string Increment(std::string digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return digits;
    }
    digits[i] = '0';
  }
  return "1" + digits;
}

}  // namespace

std::string CommissionRateText(const std::string& rate) {
  // Worked on the digits themselves: any length is exact, and nothing rounds by binary fractions.
  size_t point = rate.find('.');
  std::string whole = rate.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : rate.substr(point + 1);
  if (!IsDigits(whole) || (point != std::string::npos && !IsDigits(fraction))) return rate;
  if (!fraction.empty() && fraction[0] >= '5') whole = Increment(whole);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  // Hundredths of a percent: the last two digits are the percentage's decimals.
  if (whole.size() < 3) whole.insert(0, 3 - whole.size(), '0');
  return whole.substr(0, whole.size() - 2) + "." + whole.substr(whole.size() - 2) + "%";
}

std::string CommissionLine(const ItemCommission& item) {
  static const std::string lead = Utf8ToGbk(kConvertedLead);
  static const std::string middle = Utf8ToGbk(kConvertedMiddle);
  static const std::string none = Utf8ToGbk(kNoCommission);
  static const std::string pending = Utf8ToGbk(kPending);
  static const std::string unknown = Utf8ToGbk(kUnknown);
  switch (item.state) {
    case ItemCommission::kPending:
      return pending;
    case ItemCommission::kNone:
      return none;
    case ItemCommission::kFailed:
      return unknown;
    case ItemCommission::kConverted:
      break;
  }
  auto shown = [](const std::string& value) { return value.empty() ? kEmptyValue : value; };
  return lead + shown(CommissionRateText(item.commission_rate)) + middle +
         shown(item.commission);
}

PageCommissions::PageCommissions(const Info& row) {
  size_t shown = ShownItemCount(row);
  for (size_t i = 0; i < shown; ++i) iids_.push_back((*row.items)[i].iid);
  items_.resize(iids_.size());
  // An item without an id has no link to convert.
  for (size_t i = 0; i < iids_.size(); ++i) {
    if (iids_[i].empty()) items_[i].state = ItemCommission::kNone;
  }
}

PageCommissions::PageCommissions(std::vector<std::string> iids) : iids_(std::move(iids)) {
  items_.resize(iids_.size());
  for (size_t i = 0; i < iids_.size(); ++i) {
    if (iids_[i].empty()) items_[i].state = ItemCommission::kNone;
  }
}

const ItemCommission* PageCommissions::Find(const std::string& iid) const {
  if (iid.empty()) return nullptr;
  for (size_t i = 0; i < iids_.size(); ++i) {
    if (iids_[i] == iid) return &items_[i];
  }
  return nullptr;
}

bool PageCommissions::Settled() const {
  return std::none_of(items_.begin(), items_.end(), [](const ItemCommission& item) {
    return item.state == ItemCommission::kPending;
  });
}

std::vector<CommissionBatch> PageCommissions::PrepareBatches(ShopFinder& finder) const {
  // An id the page shows twice goes out once; every item of that id shares its answer.
  std::vector<std::string> distinct;
  std::unordered_set<std::string> seen;
  for (size_t i = 0; i < iids_.size(); ++i) {
    if (items_[i].state == ItemCommission::kPending && seen.insert(iids_[i]).second) {
      distinct.push_back(iids_[i]);
    }
  }
  std::vector<CommissionBatch> batches;
  for (size_t first = 0; first < distinct.size();
       first += commission_defaults::kIdsPerBatch) {
    CommissionBatch batch;
    batch.index = batches.size();
    size_t end = std::min(first + commission_defaults::kIdsPerBatch, distinct.size());
    batch.iids.assign(distinct.begin() + static_cast<std::ptrdiff_t>(first),
                      distinct.begin() + static_cast<std::ptrdiff_t>(end));
    std::string list;
    for (const std::string& iid : batch.iids) list += (list.empty() ? "" : ",") + iid;
    batch.job = finder.PrepareItemConversion(list);
    batches.push_back(std::move(batch));
  }
  return batches;
}

std::vector<size_t> PageCommissions::Apply(const CommissionBatch& batch) {
  // The platform answers in an order of its own, and leaves out what it does not convert:
  // each row finds its item by id.
  std::unordered_map<std::string, const TaobaokeConvertInfo*> by_iid;
  for (const TaobaokeConvertInfo& row : batch.rows) by_iid.emplace(row.iid, &row);
  std::unordered_set<std::string> asked(batch.iids.begin(), batch.iids.end());
  std::vector<size_t> changed;
  for (size_t i = 0; i < iids_.size(); ++i) {
    ItemCommission& item = items_[i];
    if (item.state != ItemCommission::kPending || !asked.count(iids_[i])) continue;
    item = {};
    if (!batch.ok) {
      item.state = ItemCommission::kFailed;
    } else if (auto row = by_iid.find(iids_[i]); row != by_iid.end()) {
      item.state = ItemCommission::kConverted;
      item.commission_rate = row->second->commission_rate;
      item.commission = row->second->commission;
      item.click_url = IsWebAddress(row->second->click_url) ? row->second->click_url : "";
    } else {
      item.state = ItemCommission::kNone;
    }
    changed.push_back(i);
  }
  return changed;
}

bool RunCommissionBatch(CommissionBatch& batch, TTaobaokeConvert& component) {
  batch.rows.clear();
  batch.failure = {};
  const ATaobaokeConvertInfo* table = nullptr;
  const ConversionJob& job = batch.job;
  batch.ok = component.Execute(job.item_cond, job.item_back, job.item_name, job.item_xml, table);
  if (!batch.ok) {
    batch.failure = component.LastFailure();
    return false;
  }
  // Only the rows this call wrote: the table keeps those of earlier calls below them.
  size_t rows = std::min(component.RowsWritten(), table->size());
  batch.rows.assign(table->begin(), table->begin() + static_cast<std::ptrdiff_t>(rows));
  return true;
}

std::vector<CommissionBatch> ConvertPageItems(ShopFinder& finder, PageCommissions& page) {
  std::vector<CommissionBatch> batches = page.PrepareBatches(finder);
  {
    std::vector<std::unique_ptr<TTaobaokeConvert>> components;
    std::vector<std::jthread> calls;
    for (CommissionBatch& batch : batches) {
      TTaobaokeConvert* component =
          components.emplace_back(std::make_unique<TTaobaokeConvert>()).get();
      component->SetDefaultGateway(finder.GetSettings().Gateway);
      calls.emplace_back([&batch, component] { RunCommissionBatch(batch, *component); });
    }
    // The threads end here, before their components go.
  }
  for (const CommissionBatch& batch : batches) page.Apply(batch);
  return batches;
}

}  // namespace vendrix
