#include "sandbox/Marketplace.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <unordered_set>

namespace vendrix::sandbox {
namespace {

// splitmix64: small, fast and the same on every machine.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [low, high].
  int Between(int low, int high) {
    return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[Next() % from.size()];
  }

 private:
  uint64_t state_;
};

// The platform's top-level categories: the client's built-in ones, the six it leaves out of its
// list (mixed in among the others) and a few it does not know.
const std::vector<std::pair<const char*, const char*>> kCategories = {
    {"14", "数码相机/摄像机/摄影器材"},
    {"50008090", "3C数码配件市场"},
    {"50012164", "闪存卡/U盘/移动存储"},
    {"40", "腾讯QQ专区"},
    {"50007218", "办公设备/文具/耗材"},
    {"21", "居家日用/厨房餐饮/卫浴洗浴"},
    {"50008163", "家纺/床品/地毯/布艺"},
    {"2128", "时尚家饰/工艺品/十字绣"},
    {"35", "奶粉/辅食/营养品"},
    {"50014812", "尿片/洗护/喂哺等用品"},
    {"50005998", "益智玩具/早教/童车床/出行"},
    {"50008165", "童装/童鞋/孕妇装"},
    {"50002766", "食品/茶叶/零食/特产"},
    {"50008907", "网游装备/游戏币/帐号/代练"},
    {"50012472", "保健食品"},
    {"1201", "MP3/MP4/iPod/录音笔"},
    {"1512", "手机"},
    {"50012081", "国货精品手机"},
    {"50002768", "个人护理/保健/按摩器材"},
    {"11", "电脑硬件/台式整机/网络设备"},
    {"1101", "笔记本电脑"},
    {"50010728", "运动/瑜伽/健身/球迷用品"},
    {"50013886", "户外/登山/野营/旅行用品"},
    {"50004958", "IP卡/网络电话/手机号码"},
    {"50011699", "运动服/运动包/颈环配件"},
    {"50010388", "运动鞋"},
    {"20", "电玩/配件/游戏/攻略"},
    {"25", "玩具/模型/娃娃/人偶"},
    {"23", "古董/邮币/字画/收藏"},
    {"50008164", "家具/家具定制/宜家代购"},
    {"50007216", "鲜花速递/蛋糕配送/园艺花艺"},
    {"99", "网络游戏点卡"},
    {"26", "汽车/配件/改装/摩托/自行车"},
    {"27", "装潢/灯具/五金/安防/卫浴"},
    {"50005700", "品牌手表/流行手表"},
    {"50010788", "彩妆/香水/美发/工具"},
    {"50011740", "流行男鞋"},
    {"16", "女装/女士精品"},
    {"34", "音乐/影视/明星/乐器"},
    {"50006843", "女鞋"},
    {"30", "男装"},
    {"150401", "移动/联通/小灵通充值中心"},
    {"1625", "女士内衣/男士内衣/家居服"},
    {"50010404", "服饰配件/皮带/帽子/围巾"},
    {"50011397", "珠宝/钻石/翡翠/黄金"},
    {"28", "ZIPPO/瑞士军刀/眼镜"},
    {"33", "书籍/杂志/报纸"},
    {"29", "宠物/宠物食品及用品"},
    {"2813", "成人用品/避孕用品/情趣内衣"},
    {"50011150", "其它"},
    {"50011949", "旅游度假/打折机票/特惠酒店"},
    {"50011972", "影音电器"},
    {"1801", "美容护肤/美体/精油"},
    {"50019095", "世博会特许商品"},
    {"50006842", "箱包皮具/热销女包/男包"},
    {"50012082", "厨房电器"},
    {"50012100", "生活电器"},
    {"50008075", "演出/旅游/吃喝玩乐折扣券"},
    {"50013864", "饰品/流行首饰/时尚饰品新"},
    {"50014811", "网店/网络服务/个性定制/软件"},
    {"50023575", "二手闲置/跳蚤市场"},
    {"50025004", "本地生活/同城服务"},
    {"50025111", "特价专区/清仓"},
};

struct Place {
  const char* state;
  const char* city;
  int weight;
};

// Every region the client offers is somebody's province, city or country here.
const std::vector<Place> kPlaces = {
    {"北京", "北京", 60},   {"上海", "上海", 70},   {"天津", "天津", 15},
    {"重庆", "重庆", 15},   {"浙江", "杭州", 90},   {"浙江", "宁波", 25},
    {"浙江", "温州", 25},   {"浙江", "金华", 20},   {"江苏", "南京", 25},
    {"江苏", "苏州", 30},   {"江苏", "无锡", 15},   {"江苏", "常州", 12},
    {"广东", "广州", 70},   {"广东", "深圳", 70},   {"广东", "东莞", 20},
    {"广东", "中山", 8},    {"广东", "珠海", 8},    {"广东", "佛山", 12},
    {"广东", "惠州", 6},    {"湖北", "武汉", 18},   {"四川", "成都", 18},
    {"黑龙江", "哈尔滨", 8}, {"山东", "济南", 10},   {"山东", "青岛", 12},
    {"辽宁", "沈阳", 8},    {"辽宁", "大连", 8},    {"福建", "福州", 10},
    {"福建", "厦门", 12},   {"陕西", "西安", 10},   {"湖南", "长沙", 10},
    {"安徽", "合肥", 8},    {"广西", "南宁", 6},    {"江西", "南昌", 6},
    {"河南", "郑州", 10},   {"河北", "石家庄", 6},  {"甘肃", "兰州", 3},
    {"贵州", "贵阳", 3},    {"海南", "海口", 3},    {"吉林", "长春", 4},
    {"内蒙古", "呼和浩特", 2}, {"宁夏", "银川", 2}, {"青海", "西宁", 2},
    {"山西", "太原", 4},    {"新疆", "乌鲁木齐", 2}, {"西藏", "拉萨", 1},
    {"云南", "昆明", 4},    {"香港", "香港", 8},    {"澳门", "澳门", 3},
    {"台湾", "台北", 4},    {"美国", "美国", 3},    {"英国", "英国", 2},
    {"法国", "法国", 2},    {"瑞士", "瑞士", 1},    {"澳洲", "澳洲", 2},
    {"新西兰", "新西兰", 1}, {"加拿大", "加拿大", 2}, {"奥地利", "奥地利", 1},
    {"韩国", "韩国", 3},    {"日本", "日本", 3},    {"德国", "德国", 2},
    {"意大利", "意大利", 1}, {"西班牙", "西班牙", 1}, {"俄罗斯", "俄罗斯", 1},
    {"泰国", "泰国", 1},    {"印度", "印度", 1},    {"荷兰", "荷兰", 1},
    {"新加坡", "新加坡", 1}, {"其它国家", "其它国家", 1},
};

const std::vector<std::string> kNickHeads = {
    "小", "大", "老", "阿", "甜甜", "快乐", "阳光", "精品", "时尚", "潮流", "宝贝", "美美",
    "开心", "幸福", "星星", "月亮", "云朵", "花花", "果果", "糖糖", "木木", "可可", "乐乐",
    "丫丫", "淘淘", "晴天", "蓝天", "青青", "飞飞", "豆豆"};
const std::vector<std::string> kNickTails = {
    "的店", "小铺", "家居", "数码", "服饰", "百货", "屋", "坊", "阁", "馆", "工作室",
    "生活馆", "专卖", "直营", "优品", "杂货铺", "精品店", "旗舰店", "外贸店", "批发"};
const std::vector<std::string> kAsciiWords = {
    "sunny", "happy", "lucky", "best", "star", "moon", "cloud", "apple", "candy", "coco",
    "lovely", "super", "smart", "cool", "fashion", "digital", "home", "style", "trendy", "top"};
const std::vector<std::string> kAsciiTails = {"shop", "store", "mall", "house", "market",
                                              "outlet", "studio", "world", "box", "life"};
const std::vector<std::string> kTitleWords = {
    "2010新款", "正品", "包邮", "特价", "韩版", "热卖", "秒杀", "清仓", "原装", "精品",
    "时尚", "经典", "限量", "超值", "冲钻", "爆款", "皇冠信誉", "外贸", "日系", "欧美"};
const std::vector<std::string> kShopWords = {"诚信经营", "品质保证", "假一赔十", "七天退换",
                                             "全场包邮", "新品上架", "老店新开", "欢迎光临"};

const char* const kCredit[20] = {
    "1heart",       "2heart",       "3heart",       "4heart",       "5heart",
    "1diamond",     "2diamond",     "3diamond",     "4diamond",     "5diamond",
    "1crown",       "2crown",       "3crown",       "4crown",       "5crown",
    "1goldencrown", "2goldencrown", "3goldencrown", "4goldencrown", "5goldencrown"};
const char* const kBadge[20] = {
    "b_red_1.gif",  "b_red_2.gif",  "b_red_3.gif",  "b_red_4.gif",  "b_red_5.gif",
    "s_blue_1.gif", "s_blue_2.gif", "s_blue_3.gif", "s_blue_4.gif", "s_blue_5.gif",
    "s_cap_1.gif",  "s_cap_2.gif",  "s_cap_3.gif",  "s_cap_4.gif",  "s_cap_5.gif",
    "s_crown_1.gif", "s_crown_2.gif", "s_crown_3.gif", "s_crown_4.gif", "s_crown_5.gif"};
// The lowest score of each level; a level's band ends below the next one's.
const int kScoreFloor[21] = {4,     11,     41,     91,     151,    251,     501,
                             1001,  2001,   5001,   10001,  20001,  50001,   100001,
                             200001, 500001, 1000001, 2000001, 5000001, 10000001, 20000001};

std::string Date(Random& random, int first_year, int last_year) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d",
                random.Between(first_year, last_year), random.Between(1, 12),
                random.Between(1, 28), random.Between(0, 23), random.Between(0, 59),
                random.Between(0, 59));
  return text;
}

std::string Money(int cents) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%02d", cents / 100, cents % 100);
  return text;
}

std::string Hex(uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) out[static_cast<size_t>(i)] = kDigits[value & 15];
  return out;
}

// The nouns of a category: the parts of its name between the slashes.
std::vector<std::string> Nouns(const std::string& name) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= name.size()) {
    size_t slash = name.find('/', start);
    if (slash == std::string::npos) slash = name.size();
    if (slash > start) parts.push_back(name.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// Levels 1-20, each about 0.85 times as common as the one below.
int RandomLevel(Random& random) {
  double weight = 1.0, total = 0.0;
  double weights[20];
  for (int i = 0; i < 20; ++i, weight *= 0.85) total += weights[i] = weight;
  double pick = random.Unit() * total;
  for (int i = 0; i < 20; ++i) {
    if ((pick -= weights[i]) < 0) return i + 1;
  }
  return 20;
}

// How many items a shop lists: a few big shops (over the 60 a page shows), many small ones.
int RandomItemCount(Random& random) {
  double p = random.Unit();
  if (p < 0.10) return random.Between(70, 120);
  if (p < 0.40) return random.Between(30, 60);
  if (p < 0.90) return random.Between(5, 29);
  return random.Between(1, 4);
}

}  // namespace

const std::vector<std::string>& CreditNames() {
  static const std::vector<std::string> names(std::begin(kCredit), std::end(kCredit));
  return names;
}

int CreditLevel(std::string_view name) {
  for (int i = 0; i < 20; ++i) {
    if (name == kCredit[i]) return i + 1;
  }
  return 0;
}

const std::vector<std::string>& BadgeNames() {
  static const std::vector<std::string> names(std::begin(kBadge), std::end(kBadge));
  return names;
}

Marketplace Marketplace::Generate(uint64_t seed, size_t seller_count, size_t item_limit) {
  Marketplace market;
  Random random(seed * 0x2545F4914F6CDD1DULL + 1);

  for (size_t i = 0; i < kCategories.size(); ++i) {
    market.categories_.push_back({kCategories[i].first, kCategories[i].second,
                                  static_cast<int>(i + 1)});
  }
  std::vector<std::vector<std::string>> nouns;
  for (const Category& c : market.categories_) nouns.push_back(Nouns(c.name));

  int place_total = 0;
  for (const Place& p : kPlaces) place_total += p.weight;

  std::unordered_set<std::string> nicks;
  market.sellers_.reserve(seller_count + market_defaults::kOutsiders);
  // Seller s, with what `random` draws next.
  auto make_seller = [&](Random& draw, size_t s) {
    Seller seller;
    std::string nick;
    do {
      if (draw.Unit() < 0.6) {
        nick = draw.Pick(kNickHeads) + draw.Pick(kNickTails);
        if (draw.Unit() < 0.7) nick += std::to_string(draw.Between(1, 999));
      } else {
        nick = draw.Pick(kAsciiWords) + "_" + draw.Pick(kAsciiTails) +
               std::to_string(draw.Between(1, 9999));
      }
    } while (!nicks.insert(nick).second);
    seller.nick = nick;
    seller.user_id = std::to_string(4000000000ULL + s * 1000003ULL + draw.Between(0, 999));
    seller.sex = draw.Unit() < 0.5 ? "m" : "f";

    // Every place gets at least one seller, then the rest by weight.
    const Place* place = &kPlaces[s % kPlaces.size()];
    if (s >= kPlaces.size()) {
      int pick = draw.Between(0, place_total - 1);
      for (const Place& p : kPlaces) {
        if ((pick -= p.weight) < 0) {
          place = &p;
          break;
        }
      }
    }
    seller.state = place->state;
    seller.city = place->city;

    seller.level = s < 20 ? static_cast<int>(s) + 1 : RandomLevel(draw);
    seller.score = draw.Between(kScoreFloor[seller.level - 1], kScoreFloor[seller.level] - 1);
    seller.total_num = seller.score + draw.Between(0, seller.score / 20 + 1);
    seller.good_num = seller.score;
    seller.buyer_level = draw.Between(1, 8);
    seller.created = Date(draw, 2003, 2009);
    seller.last_visit = Date(draw, 2010, 2010);
    seller.sid = std::to_string(60000000 + s * 17 + 3);
    seller.category = draw.Next() % market.categories_.size();
    const std::string& main_noun = draw.Pick(nouns[seller.category]);
    seller.shop_title = nick + "的" + main_noun + "小店";
    if (draw.Unit() < 0.5) seller.shop_title = main_noun + "专营 " + draw.Pick(kShopWords);
    seller.shop_desc = "本店主营" + main_noun + "，" + draw.Pick(kShopWords) + "。";
    seller.bulletin = draw.Pick(kShopWords) + "，" + draw.Pick(kShopWords);
    if (draw.Unit() < 0.85) {
      seller.pic_path = "/" + Hex(draw.Next(), 2) + "/" + Hex(draw.Next(), 2) + "/T1" +
                        Hex(draw.Next(), 12) + ".jpg";
    }
    return seller;
  };
  // The items of seller s, with what `draw` gives next.
  auto make_items = [&](Random& draw, size_t s, std::vector<Item>& items) {
    int count = RandomItemCount(draw);
    for (int k = 0; k < count; ++k) {
      Item item;
      item.seller = static_cast<uint32_t>(s);
      size_t category =
          draw.Unit() < 0.8 ? market.sellers_[s].category : draw.Next() % market.categories_.size();
      item.category = static_cast<uint32_t>(category);
      item.title = draw.Pick(kTitleWords) + " " + draw.Pick(kTitleWords) + " " +
                   draw.Pick(nouns[category]) + " " + static_cast<char>('A' + draw.Between(0, 25)) +
                   std::to_string(draw.Between(100, 999));
      int cents = draw.Between(100, 300000);
      item.price = Money(cents);
      int rate = draw.Between(100, 3000);  // hundredths of a percent
      item.commission_rate = std::to_string(rate);
      item.commission = Money(static_cast<int>(static_cast<int64_t>(cents) * rate / 10000));
      item.commission_num = std::to_string(draw.Between(0, 500));
      item.commission_volume = Money(draw.Between(0, 500000));
      item.volume = std::to_string(draw.Between(0, 3000));
      item.post_fee = draw.Unit() < 0.3 ? "0.00" : Money(draw.Between(500, 2000));
      item.type = draw.Unit() < 0.9 ? "fixed" : "auction";
      item.score = std::to_string(draw.Between(1, 20));
      item.delist_time = Date(draw, 2010, 2011);
      item.pic = "/bao/uploaded/i" + std::to_string(draw.Between(1, 4)) + "/T1" +
                 Hex(draw.Next(), 14) + ".jpg";
      items.push_back(std::move(item));
    }
  };

  for (size_t s = 0; s < seller_count; ++s) market.sellers_.push_back(make_seller(random, s));

  // Items, listed by shop, then shuffled so that a page of results mixes many sellers.
  std::vector<Item> items;
  for (size_t s = 0; s < market.sellers_.size(); ++s) make_items(random, s, items);
  for (size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[random.Next() % i]);
  if (items.size() > item_limit) items.resize(item_limit);

  // Sellers outside the affiliate programme come last, drawn from a stream of their own, so
  // that everything above is what every earlier version of the sandbox made of this seed.
  Random outside(seed * 0x9E3779B97F4A7C15ULL + 7);
  for (size_t k = 0; k < market_defaults::kOutsiders; ++k) {
    size_t s = market.sellers_.size();
    market.sellers_.push_back(make_seller(outside, s));
    market.sellers_.back().affiliate = false;
    make_items(outside, s, items);
  }

  market.items_ = std::move(items);
  for (size_t i = 0; i < market.items_.size(); ++i) {
    Item& item = market.items_[i];
    item.iid = std::to_string(5000000000ULL + i * 613ULL + random.Between(0, 599));
    market.sellers_[item.seller].items.push_back(static_cast<uint32_t>(i));
    market.by_iid_.emplace(item.iid, static_cast<uint32_t>(i));
  }
  for (size_t s = 0; s < market.sellers_.size(); ++s) {
    market.by_nick_.emplace(market.sellers_[s].nick, static_cast<uint32_t>(s));
    market.by_sid_.emplace(market.sellers_[s].sid, static_cast<uint32_t>(s));
  }
  return market;
}

const Seller* Marketplace::SellerByNick(std::string_view nick) const {
  auto it = by_nick_.find(std::string(nick));
  return it == by_nick_.end() ? nullptr : &sellers_[it->second];
}

const Seller* Marketplace::SellerBySid(std::string_view sid) const {
  auto it = by_sid_.find(std::string(sid));
  return it == by_sid_.end() ? nullptr : &sellers_[it->second];
}

const Item* Marketplace::ItemByIid(std::string_view iid) const {
  auto it = by_iid_.find(std::string(iid));
  return it == by_iid_.end() ? nullptr : &items_[it->second];
}

int Marketplace::CategoryIndex(std::string_view cid) const {
  for (size_t i = 0; i < categories_.size(); ++i) {
    if (categories_[i].cid == cid) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace vendrix::sandbox
