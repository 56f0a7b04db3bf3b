#include "app/ReferenceTables.h"

#include "platform/CodePage.h"

namespace vendrix {
namespace {

struct Pair {
  const char* first;
  const char* second;
};

const char* const kCreditNames[kCreditLevels] = {
    "1heart",       "2heart",       "3heart",       "4heart",       "5heart",
    "1diamond",     "2diamond",     "3diamond",     "4diamond",     "5diamond",
    "1crown",       "2crown",       "3crown",       "4crown",       "5crown",
    "1goldencrown", "2goldencrown", "3goldencrown", "4goldencrown", "5goldencrown"};

const char* const kBadgeNames[kCreditLevels] = {
    "b_red_1.gif",   "b_red_2.gif",   "b_red_3.gif",   "b_red_4.gif",   "b_red_5.gif",
    "s_blue_1.gif",  "s_blue_2.gif",  "s_blue_3.gif",  "s_blue_4.gif",  "s_blue_5.gif",
    "s_cap_1.gif",   "s_cap_2.gif",   "s_cap_3.gif",   "s_cap_4.gif",   "s_cap_5.gif",
    "s_crown_1.gif", "s_crown_2.gif", "s_crown_3.gif", "s_crown_4.gif", "s_crown_5.gif"};

const Pair kGroupRegions[kRegionGroups] = {
    {"所有地区", ""},
    {"江浙沪", "江苏,浙江,上海"},
    {"珠三角", "广州,深圳,中山,珠海,佛山,东莞,惠州"},
    {"港澳台", "香港,澳门,台湾"},
    {"海外", "美国,英国,法国,瑞士,澳洲,新西兰,加拿大,奥地利,韩国,日本,德国,意大利,西班牙,"
             "俄罗斯,泰国,印度,荷兰,新加坡,其它国家"},
};

const char* const kPlaceRegions[kRegionCount - kRegionGroups] = {
    "北京", "香港", "上海", "杭州", "广州", "深圳", "南京", "武汉", "天津", "成都",
    "哈尔滨", "重庆", "宁波", "无锡", "济南", "苏州", "温州", "青岛", "沈阳", "福州",
    "西安", "长沙", "合肥", "南宁", "南昌", "郑州", "厦门", "大连", "常州", "石家庄",
    "东莞", "安徽", "福建", "甘肃", "广东", "广西", "贵州", "海南", "河北", "黑龙江",
    "河南", "湖北", "湖南", "江苏", "江西", "吉林", "辽宁", "内蒙古", "宁夏", "青海",
    "山东", "山西", "陕西", "四川", "新疆", "西藏", "云南", "浙江"};

const Pair kBuiltInCategories[] = {
    {"所有类目", "0"},
    {"数码相机/摄像机/摄影器材", "14"},
    {"3C数码配件市场", "50008090"},
    {"闪存卡/U盘/移动存储", "50012164"},
    {"办公设备/文具/耗材", "50007218"},
    {"居家日用/厨房餐饮/卫浴洗浴", "21"},
    {"家纺/床品/地毯/布艺", "50008163"},
    {"时尚家饰/工艺品/十字绣", "2128"},
    {"奶粉/辅食/营养品", "35"},
    {"尿片/洗护/喂哺等用品", "50014812"},
    {"益智玩具/早教/童车床/出行", "50005998"},
    {"童装/童鞋/孕妇装", "50008165"},
    {"食品/茶叶/零食/特产", "50002766"},
    {"保健食品", "50012472"},
    {"MP3/MP4/iPod/录音笔", "1201"},
    {"手机", "1512"},
    {"国货精品手机", "50012081"},
    {"个人护理/保健/按摩器材", "50002768"},
    {"电脑硬件/台式整机/网络设备", "11"},
    {"笔记本电脑", "1101"},
    {"运动/瑜伽/健身/球迷用品", "50010728"},
    {"户外/登山/野营/旅行用品", "50013886"},
    {"运动服/运动包/颈环配件", "50011699"},
    {"运动鞋", "50010388"},
    {"电玩/配件/游戏/攻略", "20"},
    {"玩具/模型/娃娃/人偶", "25"},
    {"古董/邮币/字画/收藏", "23"},
    {"家具/家具定制/宜家代购", "50008164"},
    {"鲜花速递/蛋糕配送/园艺花艺", "50007216"},
    {"汽车/配件/改装/摩托/自行车", "26"},
    {"装潢/灯具/五金/安防/卫浴", "27"},
    {"品牌手表/流行手表", "50005700"},
    {"彩妆/香水/美发/工具", "50010788"},
    {"流行男鞋", "50011740"},
    {"女装/女士精品", "16"},
    {"音乐/影视/明星/乐器", "34"},
    {"女鞋", "50006843"},
    {"男装", "30"},
    {"女士内衣/男士内衣/家居服", "1625"},
    {"服饰配件/皮带/帽子/围巾", "50010404"},
    {"珠宝/钻石/翡翠/黄金", "50011397"},
    {"ZIPPO/瑞士军刀/眼镜", "28"},
    {"书籍/杂志/报纸", "33"},
    {"宠物/宠物食品及用品", "29"},
    {"成人用品/避孕用品/情趣内衣", "2813"},
    {"其它", "50011150"},
    {"旅游度假/打折机票/特惠酒店", "50011949"},
    {"影音电器", "50011972"},
    {"美容护肤/美体/精油", "1801"},
    {"箱包皮具/热销女包/男包", "50006842"},
    {"厨房电器", "50012082"},
    {"生活电器", "50012100"},
    {"演出/旅游/吃喝玩乐折扣券", "50008075"},
    {"饰品/流行首饰/时尚饰品新", "50013864"},
    {"网店/网络服务/个性定制/软件", "50014811"},
};

const char* const kExcluded[] = {"腾讯QQ专区",
                                 "网游装备/游戏币/帐号/代练",
                                 "IP卡/网络电话/手机号码",
                                 "网络游戏点卡",
                                 "移动/联通/小灵通充值中心",
                                 "世博会特许商品"};

}  // namespace

const std::vector<CreditLevel>& CreditLevels() {
  static const std::vector<CreditLevel> levels = [] {
    std::vector<CreditLevel> out;
    for (int i = 0; i < kCreditLevels; ++i) out.push_back({i + 1, kCreditNames[i], kBadgeNames[i]});
    return out;
  }();
  return levels;
}

std::string BadgeName(int level) {
  if (level < 1 || level > kCreditLevels) return "";
  return kBadgeNames[level - 1];
}

const std::vector<Region>& Regions() {
  static const std::vector<Region> regions = [] {
    std::vector<Region> out;
    for (const Pair& group : kGroupRegions) {
      out.push_back({Utf8ToGbk(group.first), Utf8ToGbk(group.second)});
    }
    for (const char* place : kPlaceRegions) {
      std::string gbk = Utf8ToGbk(place);
      out.push_back({gbk, gbk});
    }
    return out;
  }();
  return regions;
}

const std::vector<CatsInfo>& BuiltInCategories() {
  static const std::vector<CatsInfo> categories = [] {
    std::vector<CatsInfo> out;
    for (const Pair& c : kBuiltInCategories) out.push_back({c.second, Utf8ToGbk(c.first)});
    return out;
  }();
  return categories;
}

const std::vector<std::string>& ExcludedCategories() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const char* name : kExcluded) out.push_back(Utf8ToGbk(name));
    return out;
  }();
  return names;
}

const std::vector<ListColumn>& ListColumns() {
  static const std::vector<ListColumn> columns = {
      {"", 0},
      {Utf8ToGbk("信用等级"), 88},
      {Utf8ToGbk("卖家昵称"), 121},
      {Utf8ToGbk("所在地"), 120},
  };
  return columns;
}

}  // namespace vendrix
