#include "app/ShopItems.h"

#include <algorithm>
#include <unordered_map>

namespace vendrix {

ShopItemsOutcome ListShopItems(ShopFinder& finder, const std::string& nick, int count) {
  ShopItemsOutcome outcome;
  TaobaoSearchConditions cond;
  cond.nicks = nick;
  const size_t wanted = static_cast<size_t>(std::clamp(count, 1, items_defaults::kMaxCount));
  cond.page_size = std::to_string(wanted);
  cond.app_key = finder.KeItemCond.app_key;
  cond.app_sec = finder.KeItemCond.app_sec;
  TaobaoSearchInfo back;
  TaobaoSearchName name;
  TaobaoSearchXML xml;
  finder.XMLData1.ReadTaobaoSearch(cond, back, name, xml);
  PTaobaoSearchInfo items;
  if (!finder.TaobaoSearch1.Execute(cond, back, name, xml, items)) {
    outcome.failure = finder.TaobaoSearch1.LastFailure();
    return outcome;
  }
  outcome.searched = true;
  // A reply may bring more items than its page holds: only those asked for are listed.
  for (size_t k = 0; k < finder.TaobaoSearch1.RowsWritten() && k < items->size() &&
                     outcome.rows.size() < wanted;
       ++k) {
    const TaobaoSearchInfo& item = (*items)[k];
    if (!IsItemRow(item)) break;
    outcome.rows.push_back({item.iid, item.title, item.price, "", "", ""});
  }

  for (size_t first = 0; first < outcome.rows.size(); first += items_defaults::kIdsPerConversion) {
    size_t end = std::min(first + items_defaults::kIdsPerConversion, outcome.rows.size());
    // The platform answers in an order of its own: each converted row finds its item by id.
    std::unordered_map<std::string, std::vector<size_t>> by_iid;
    std::string iids;
    for (size_t i = first; i < end; ++i) {
      if (outcome.rows[i].iid.empty()) continue;
      if (by_iid[outcome.rows[i].iid].empty())
        iids += (iids.empty() ? "" : ",") + outcome.rows[i].iid;
      by_iid[outcome.rows[i].iid].push_back(i);
    }
    if (iids.empty()) continue;
    ++outcome.batches;
    ConversionJob job = finder.PrepareItemConversion(iids);
    const ATaobaokeConvertInfo* table = nullptr;
    if (!finder.TaobaokeConvert1.Execute(job.item_cond, job.item_back, job.item_name, job.item_xml,
                                         table)) {
      if (outcome.failed_batches++ == 0) outcome.failure = finder.TaobaokeConvert1.LastFailure();
      continue;
    }
    for (size_t k = 0; k < finder.TaobaokeConvert1.RowsWritten() && k < table->size(); ++k) {
      const TaobaokeConvertInfo& converted = (*table)[k];
      auto match = by_iid.find(converted.iid);
      if (match == by_iid.end()) continue;  // an id that was not asked for
      for (size_t i : match->second) {
        AffiliateItemRow& row = outcome.rows[i];
        row.commission_rate = converted.commission_rate;
        row.commission = converted.commission;
        row.click_url = IsWebAddress(converted.click_url) ? converted.click_url : "";
      }
    }
  }
  return outcome;
}

}  // namespace vendrix
