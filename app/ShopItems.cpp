#include "app/ShopItems.h"

#include <algorithm>

#include "app/ItemCommissions.h"

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

  std::vector<std::string> iids;
  for (const AffiliateItemRow& row : outcome.rows) iids.push_back(row.iid);
  PageCommissions conversions(std::move(iids));
  for (CommissionBatch& batch : conversions.PrepareBatches(finder)) {
    ++outcome.batches;
    if (!RunCommissionBatch(batch, finder.TaobaokeConvert1) && outcome.failed_batches++ == 0) {
      outcome.failure = batch.failure;
    }
    conversions.Apply(batch);
  }
  for (size_t i = 0; i < outcome.rows.size(); ++i) {
    const ItemCommission& converted = conversions.At(i);
    outcome.rows[i].commission_rate = converted.commission_rate;
    outcome.rows[i].commission = converted.commission;
    outcome.rows[i].click_url = converted.click_url;
  }
  return outcome;
}

}  // namespace vendrix
