#include "app/ShopFinder.h"

#include <algorithm>

#include "api/TaobaoCats.h"
#include "app/SellerLookups.h"
#include "app/ShopPage.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

// A credit level from the platform's decimal text; 0 when it is not a level of 1-20.
int ParseLevel(const std::string& text) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  int level = std::stoi(text);
  return level >= 1 && level <= kCreditLevels ? level : 0;
}

}  // namespace

ShopFinder::ShopFinder(Settings settings) : settings_(std::move(settings)) {
  for (TApiComponent* component : std::initializer_list<TApiComponent*>{
           &TaobaokeItem1, &TaobaoUsers1, &TaobaoShop1, &TaobaoSearch1, &TaobaokeShop1,
           &TaobaokeConvert1}) {
    component->SetDefaultGateway(settings_.Gateway);
  }
}

bool ShopFinder::StartUp() {
  if (!LoadConfiguration()) return false;
  if (!LoadCats()) {
    const std::vector<CatsInfo>& built_in = BuiltInCategories();
    std::copy(built_in.begin(), built_in.end(), Cats_.begin());
  }
  return true;
}

bool ShopFinder::LoadConfiguration() {
  // Afresh, so that start-up can run again once the own account has changed.
  KeItemCond = {};
  KeItemBack = {};
  KeItemName = {};
  KeItemXml = {};
  UsersCond = {};
  UsersBack = {};
  UsersName = {};
  UsersXml = {};
  configured_item_cond_ = {};
  Cats_ = {};
  DefaultNick_ = finder_defaults::kDefaultNick;
  credentials_ = {};
  config_loaded_ = started_up_ = false;
  user_ = given_user_                    ? *given_user_
          : settings_.UseOwnCredentials ? ReadUserCredentials()
                                        : UserCredentials{};
  if (!user_.problem.empty()) return false;

  // The document is read whatever gives the credentials: it names the parameters and elements.
  config_loaded_ =
      XMLData1.LoadApi(settings_.VendorBase + ConfigPath, KeItemCond.app_key, KeItemCond.app_sec);
  std::optional<CredentialValues> document;
  if (config_loaded_) {
    document = CredentialValues{KeItemCond.app_key, KeItemCond.app_sec, ""};
    XMLData1.ReadNick(document->nick);
  }
  // The user's values are UTF-8; the records hold GBK (key and secret are ASCII).
  auto gbk = [](const CredentialValues& v) {
    return CredentialValues{v.app_key, v.app_sec, Utf8ToGbk(v.nick)};
  };
  credentials_ = ChooseCredentials(gbk(user_.environment), gbk(user_.own), document, DefaultNick_);
  // Without the document and without credentials of the user's own, start-up ends here.
  if (credentials_.key_source == CredentialSource::kNone) return false;
  KeItemCond.app_key = credentials_.app_key;
  KeItemCond.app_sec = credentials_.app_sec;
  DefaultNick_ = credentials_.nick;
  KeItemCond.nick = DefaultNick_;
  // Without a document its reads change nothing: the records keep the built-in names.
  InitRecords();
  started_up_ = true;
  return true;
}

void ShopFinder::InitRecords() {
  // Fields preset to "err" name no element of the replies: they are asked for under that name
  // and read back empty. Of affiliate items only the seller's nick is needed; of users only
  // nick, location and seller credit.
  for (const auto& field : TaobaokeItemInfo::kFields) {
    if (field.member != &TaobaokeItemInfo::nick) KeItemBack.*field.member = "err";
  }
  // The user's nick is asked for: it tells which seller each user of a reply is.
  UsersBack.sex = UsersBack.user_id = UsersBack.last_visit = "err";
  KeItemCond.nick = DefaultNick_;
  KeItemCond.page_no = "1";
  UsersCond.app_key = KeItemCond.app_key;
  UsersCond.app_sec = KeItemCond.app_sec;
  XMLData1.ReadTaobaokeItem(KeItemCond, KeItemBack, KeItemName, KeItemXml);
  XMLData1.ReadTaobaoUsers(UsersCond, UsersBack, UsersName, UsersXml);
  configured_item_cond_ = KeItemCond;
}

bool ShopFinder::LoadCats() {
  TaobaoCatsConditions cond;
  cond.app_key = KeItemCond.app_key;
  cond.app_sec = KeItemCond.app_sec;
  TaobaoCatsInfo back;
  TaobaoCatsName name;
  TaobaoCatsXML xml;
  XMLData1.ReadTaobaoCats(cond, back, name, xml);

  TTaobaoCats cats;
  cats.SetDefaultGateway(settings_.Gateway);
  const ATaobaoCatsInfo* table = nullptr;
  if (!cats.Execute(cond, back, name, xml, table)) {
    cats_failure_ = cats.LastFailure();
    return false;
  }
  cats_failure_ = {};

  const std::vector<std::string>& excluded = ExcludedCategories();
  Cats_ = {};
  Cats_[0] = BuiltInCategories()[0];
  size_t next = 1;
  for (int i = 0; i < finder_defaults::kCategoryEntriesRead && next < Cats_.size(); ++i) {
    const TaobaoCatsInfo& entry = (*table)[static_cast<size_t>(i)];
    if (entry.name.empty()) break;
    if (std::find(excluded.begin(), excluded.end(), entry.name) != excluded.end()) continue;
    Cats_[next++] = {entry.cid, entry.name};
  }
  return true;
}

void ShopFinder::OrderCreditRange(int& low, int& high) {
  if (low > high) std::swap(low, high);
}

std::string ShopFinder::AreaFor(int region, const std::string& region_text) {
  const std::vector<Region>& regions = Regions();
  if (region >= 0 && region < kRegionGroups) return regions[static_cast<size_t>(region)].area;
  if (!region_text.empty()) return region_text;
  return region >= 0 && region < kRegionCount ? regions[static_cast<size_t>(region)].item : "";
}

int ShopFinder::ClampCount(const std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (start == std::string::npos) return 1;
  std::string digits = text.substr(start, end - start + 1);
  bool negative = digits[0] == '-';
  if (negative || digits[0] == '+') digits.erase(0, 1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return 1;
  if (negative) return 1;
  // Leading zeros say nothing about the size: "00005" is 5.
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 4) return finder_defaults::kMaxCount;
  return std::clamp(std::stoi(digits), 1, finder_defaults::kMaxCount);
}

SearchOutcome ShopFinder::RunSearch(const SearchChoices& choices) {
  SearchOutcome outcome;
  int count = std::clamp(choices.count, 1, finder_defaults::kMaxCount);
  outcome.count = count;
  Sellers_.assign(finder_defaults::kMaxCount, Info{});
  lookup_failure_.reset();

  // A batch needs nothing from the pages after it: it goes out on the user lookup's own
  // connection as soon as its 40th seller is known.
  TSellerLookups lookups([this](int first, int last) { return LookUpBatch(first, last); });
  bool collected = CollectSellers(choices, count,
                                  [&lookups](int first, int last) { lookups.Send(first, last); });
  if (collected && count % finder_defaults::kUsersPerBatch != 0) {
    lookups.Send(count - count % finder_defaults::kUsersPerBatch, count - 1);  // the last, partial
  }
  bool looked_up = lookups.Finish();
  outcome.page_failure = page_failure_;
  outcome.lookup_failure = lookup_failure_;
  if (!collected) return outcome;
  outcome.count = count;
  if (!looked_up) return outcome;
  outcome.rows = FillList(count);
  outcome.found = true;
  return outcome;
}

bool ShopFinder::CollectSellers(const SearchChoices& choices, int& count,
                                const std::function<void(int first, int last)>& batch_found) {
  if (Sellers_.size() < finder_defaults::kMaxCount) Sellers_.resize(finder_defaults::kMaxCount);
  const int wanted = std::clamp(count, 1, finder_defaults::kMaxCount);
  bool category_ok = choices.category >= 0 && choices.category < static_cast<int>(Cats_.size());
  KeItemCond.cid = category_ok ? Cats_[static_cast<size_t>(choices.category)].cid : "";
  const std::vector<CreditLevel>& levels = CreditLevels();
  KeItemCond.start_credit = levels[static_cast<size_t>(std::clamp(choices.low_credit, 0, 19))].name;
  KeItemCond.end_credit = levels[static_cast<size_t>(std::clamp(choices.high_credit, 0, 19))].name;
  KeItemCond.area = AreaFor(choices.region, choices.region_text);
  // The user's conditions, side by side; whatever is not given stays as configured (empty
  // for the slots the configuration never fills), so a search without them sends what it
  // always sent.
  const SearchFilters& f = choices.filters;
  const TaobaokeItemConditions& configured = configured_item_cond_;
  auto pick = [](const std::string& given, const std::string& otherwise) {
    return given.empty() ? otherwise : given;
  };
  KeItemCond.keyword = pick(f.keyword, configured.keyword);
  KeItemCond.start_commissionRate = pick(f.commission_low, configured.start_commissionRate);
  KeItemCond.end_commissionRate = pick(f.commission_high, configured.end_commissionRate);
  KeItemCond.start_price = pick(f.price_low, configured.start_price);
  KeItemCond.end_price = pick(f.price_high, configured.end_price);
  KeItemCond.sort = pick(f.sort, configured.sort);

  page_failure_.reset();
  int found = 0;
  for (int page = 1; found < wanted && page <= finder_defaults::kMaxPages; ++page) {
    KeItemCond.page_no = std::to_string(page);
    const ATaobaokeItemInfo* table = nullptr;
    if (!TaobaokeItem1.Execute(KeItemCond, KeItemBack, KeItemName, KeItemXml, table)) {
      page_failure_ = SearchFailure{SearchFailure::kItemPage, page, 0, 0,
                                    TaobaokeItem1.LastFailure()};
      break;
    }
    int entries = 0;
    for (int k = 0; k < finder_defaults::kEntriesPerPage && found < wanted; ++k) {
      const std::string& nick = (*table)[static_cast<size_t>(k)].nick;
      if (nick.empty()) break;
      ++entries;
      if (!IsNewSeller(found, nick)) continue;
      Sellers_[static_cast<size_t>(found++)].nick = nick;
      if (batch_found && found % finder_defaults::kUsersPerBatch == 0) {
        batch_found(found - finder_defaults::kUsersPerBatch, found - 1);
      }
    }
    // A page without entries ends the paging as a failed page does: there is no more.
    if (entries == 0) break;
  }
  if (found == 0) return false;
  if (found != wanted) count = found;
  return true;
}

bool ShopFinder::IsNewSeller(int count, const std::string& nick) const {
  for (int i = 0; i < count; ++i) {
    if (Sellers_[static_cast<size_t>(i)].nick == nick) return false;
  }
  return true;
}

bool ShopFinder::LookUpSellers(int count) {
  lookup_failure_.reset();
  count = std::min(count, static_cast<int>(Sellers_.size()));
  const int batch = finder_defaults::kUsersPerBatch;
  for (int first = 0; first < count; first += batch) {
    // A later batch that fails keeps the rows of the earlier ones.
    if (!LookUpBatch(first, std::min(first + batch, count) - 1)) return first > 0;
  }
  return true;
}

bool ShopFinder::LookUpBatch(int first, int last) {
  std::string nicks;
  for (int i = first; i <= last; ++i) nicks += Sellers_[static_cast<size_t>(i)].nick + ",";
  UsersCond.nicks = nicks;
  const ATaobaoUsersInfo* table = nullptr;
  if (!TaobaoUsers1.Execute(UsersCond, UsersBack, UsersName, UsersXml, table)) {
    if (!lookup_failure_) {
      lookup_failure_ =
          SearchFailure{SearchFailure::kUserLookup, 0, first, last, TaobaoUsers1.LastFailure()};
    }
    return false;
  }
  const size_t users = std::min(TaobaoUsers1.RowsWritten(), table->size());
  bool by_nick = false;
  for (size_t k = 0; k < users && !by_nick; ++k) by_nick = !(*table)[k].nick.empty();
  for (int i = first; i <= last; ++i) {
    Info& row = Sellers_[static_cast<size_t>(i)];
    // A user missing from the middle of a reply, or a reply in another order, must not give
    // a seller another's place and credit.
    const TaobaoUsersInfo* user = nullptr;
    if (by_nick) {
      for (size_t k = 0; k < users && user == nullptr; ++k) {
        if ((*table)[k].nick == row.nick) user = &(*table)[k];
      }
    } else if (static_cast<size_t>(i - first) < users) {
      user = &(*table)[static_cast<size_t>(i - first)];
    }
    row.location = user == nullptr             ? ""
                   : user->city == user->state ? user->city
                                               : user->state + user->city;
    row.level = user == nullptr ? 0 : ParseLevel(user->seller_credit.level);
    row.credit_pic_url = row.level != 0 ? settings_.RankPics + BadgeName(row.level) : "";
    row.looked_up = true;
  }
  return true;
}

std::vector<SellerRow> ShopFinder::FillList(int count) const {
  std::vector<SellerRow> rows;
  for (int i = 0; i < count && i < static_cast<int>(Sellers_.size()); ++i) {
    const Info& seller = Sellers_[static_cast<size_t>(i)];
    if (!seller.looked_up) break;
    rows.push_back({seller.nick, seller.location, seller.level,
                    seller.level != 0 ? seller.level - 1 : -1});
  }
  return rows;
}

void ShopFinder::AbortSearch() {
  TaobaokeItem1.Http().Abort();
  TaobaoUsers1.Http().Abort();
}

void ShopFinder::ClearAbort() {
  TaobaokeItem1.Http().ClearAbort();
  TaobaoUsers1.Http().ClearAbort();
}

ShopLookupJob ShopFinder::PrepareShopLookup(const Info& seller) {
  ShopLookupJob job;
  job.cond.nick = seller.nick;
  job.cond.app_key = KeItemCond.app_key;
  job.cond.app_sec = KeItemCond.app_sec;
  XMLData1.ReadTaobaoShop(job.cond, job.back, job.name, job.xml);
  return job;
}

bool ShopFinder::RunShopLookup(ShopLookupJob& job, Info& seller, TTaobaoShop& component) {
  const TaobaoShopInfo* shop = nullptr;
  // On failure the row is left as it was, so the next selection of the row tries again.
  if (!component.Execute(job.cond, job.back, job.name, job.xml, shop)) return false;
  seller.sid = shop->sid;
  seller.title = shop->title;
  // A shop without a picture path has no logo; the bare logo host is no picture.
  seller.logo_url = shop->pic_path.empty() ? "" : settings_.ShopLogo + shop->pic_path;
  seller.shop_loaded = true;
  return true;
}

bool ShopFinder::LoadShop(size_t row) {
  if (row >= Sellers_.size()) return false;
  ShopLookupJob job = PrepareShopLookup(Sellers_[row]);
  return RunShopLookup(job, Sellers_[row], TaobaoShop1);
}

bool ShopFinder::LoadShopItems(size_t row) {
  if (row >= Sellers_.size()) return false;
  ShopPageJob job = PrepareShopPage(row);
  bool loaded = RunShopPage(job);
  StoreShopPage(job);
  return loaded;
}

ShopPageJob ShopFinder::PrepareShopPage(size_t row) {
  ShopPageJob job;
  job.row = row;
  if (row >= Sellers_.size()) return job;
  job.seller = Sellers_[row];
  if (!job.seller.shop_loaded) job.shop = PrepareShopLookup(job.seller);
  job.items_cond.nicks = job.seller.nick;
  job.items_cond.page_size = finder_defaults::kShopPageSize;
  job.items_cond.app_key = KeItemCond.app_key;
  job.items_cond.app_sec = KeItemCond.app_sec;
  XMLData1.ReadTaobaoSearch(job.items_cond, job.items_back, job.items_name, job.items_xml);
  return job;
}

bool ShopFinder::RunShopPage(ShopPageJob& job) {
  job.loaded = false;
  job.failure = {};
  // Without its shop the item search is not made, and the items stay what they were.
  if (job.shop && !RunShopLookup(*job.shop, job.seller, TaobaoShop1)) {
    job.failure = TaobaoShop1.LastFailure();
    return false;
  }
  job.seller.items.reset();
  job.loaded = TaobaoSearch1.Execute(job.items_cond, job.items_back, job.items_name,
                                     job.items_xml, job.seller.items);
  if (!job.loaded) job.failure = TaobaoSearch1.LastFailure();
  return job.loaded;
}

void ShopFinder::StoreShopPage(const ShopPageJob& job) {
  if (job.row < Sellers_.size()) Sellers_[job.row] = job.seller;
}

void ShopFinder::StoreShopLink(const ShopLinkJob& job) {
  if (job.row >= Sellers_.size()) return;
  Info& row = Sellers_[job.row];
  row.sid = job.seller.sid;
  row.title = job.seller.title;
  row.logo_url = job.seller.logo_url;
  row.shop_loaded = job.seller.shop_loaded;
}

std::string ShopFinder::BuildShopPage(size_t row, const PageCommissions* commissions) const {
  if (row >= Sellers_.size()) return EmptyPage();
  return vendrix::BuildShopPage(Sellers_[row], settings_.VendorBase, commissions);
}

bool ShopFinder::OpenItemLink(const std::string& iid, const LinkOpener& open) {
  ConversionJob job = PrepareItemConversion(iid);
  return RunConversion(job) && open(job.click_url);
}

bool ShopFinder::OpenShopLink(size_t row, const LinkOpener& open) {
  if (row >= Sellers_.size()) return false;
  ConversionJob job = PrepareShopConversion(Sellers_[row].sid);
  return RunConversion(job) && open(job.click_url);
}

ConversionJob ShopFinder::PrepareItemConversion(const std::string& iid) {
  ConversionJob job;
  job.kind = ConversionJob::kItem;
  job.item_cond.iids = iid;
  job.item_cond.nick = DefaultNick_;
  job.item_cond.app_key = KeItemCond.app_key;
  job.item_cond.app_sec = KeItemCond.app_sec;
  XMLData1.ReadTaobaokeConvert(job.item_cond, job.item_back, job.item_name, job.item_xml);
  return job;
}

ConversionJob ShopFinder::PrepareShopConversion(const std::string& sid) {
  ConversionJob job;
  job.kind = ConversionJob::kShop;
  job.shop_cond.nick = DefaultNick_;
  job.shop_cond.sids = sid;
  job.shop_cond.app_key = KeItemCond.app_key;
  job.shop_cond.app_sec = KeItemCond.app_sec;
  XMLData1.ReadTaobaokeShop(job.shop_cond, job.shop_back, job.shop_name, job.shop_xml);
  return job;
}

ShopLinkJob ShopFinder::PrepareShopLink(size_t row) {
  ShopLinkJob job;
  job.row = row;
  if (row < Sellers_.size()) job.seller = Sellers_[row];
  if (!job.seller.shop_loaded) job.shop = PrepareShopLookup(job.seller);
  job.conversion = PrepareShopConversion(job.seller.sid);
  return job;
}

bool ShopFinder::RunShopLink(ShopLinkJob& job, TTaobaoShop& lookup) {
  if (job.shop && !RunShopLookup(*job.shop, job.seller, lookup)) {
    job.conversion.click_url.clear();
    job.conversion.failure = lookup.LastFailure();
    return false;
  }
  job.conversion.shop_cond.sids = job.seller.sid;
  return RunConversion(job.conversion);
}

bool ShopFinder::RunConversion(ConversionJob& job) {
  job.click_url.clear();
  job.title.clear();
  job.nick.clear();
  job.price.clear();
  job.commission_rate.clear();
  job.commission.clear();
  job.failure = {};
  std::string address;
  const TaobaokeConvertInfo* item = nullptr;
  const TaobaokeShopInfo* shop = nullptr;
  if (job.kind == ConversionJob::kItem) {
    const ATaobaokeConvertInfo* table = nullptr;
    if (!TaobaokeConvert1.Execute(job.item_cond, job.item_back, job.item_name, job.item_xml,
                                  table)) {
      job.failure = TaobaokeConvert1.LastFailure();
      return false;
    }
    const size_t rows = std::min(TaobaokeConvert1.RowsWritten(), table->size());
    // The row of the item asked for; a reply that names no item at all (its id element
    // renamed away) is taken by position.
    bool any_iid = false;
    for (size_t k = 0; k < rows; ++k) {
      const TaobaokeConvertInfo& row = (*table)[k];
      any_iid = any_iid || !row.iid.empty();
      if (row.iid == job.item_cond.iids) {
        item = &row;
        break;
      }
    }
    if (!any_iid && rows > 0) item = &(*table)[0];
    if (item != nullptr) address = item->click_url;
  } else {
    const ATaobaokeShopInfo* table = nullptr;
    // The table keeps rows of earlier calls: a reply without shops must not open the last one.
    if (!TaobaokeShop1.Execute(job.shop_cond, job.shop_back, job.shop_name, job.shop_xml,
                               table)) {
      job.failure = TaobaokeShop1.LastFailure();
      return false;
    }
    if (TaobaokeShop1.RowsWritten() == 0) return false;
    shop = &(*table)[0];
    address = shop->click_url;
  }
  // An address the platform left empty, or one that is not an http(s) address (an option for
  // the browser, a file: address), goes nowhere.
  if (!IsWebAddress(address)) return false;
  job.click_url = address;
  if (item != nullptr) {
    job.title = item->title;
    job.nick = item->nick;
    job.price = item->price;
    job.commission_rate = item->commission_rate;
    job.commission = item->commission;
  } else if (shop != nullptr) {
    job.title = shop->shop_title;
    job.commission_rate = shop->commission_rate;
  }
  return true;
}

}  // namespace vendrix
