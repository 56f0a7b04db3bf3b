#include "app/ShopPage.h"

#include <vector>

#include "platform/CodePage.h"
#include "platform/Markup.h"

namespace vendrix {
namespace {

// The page texts exactly as the window has always shown them, in UTF-8 here; "%s" marks where a
// value goes.
constexpr const char* kPageStyle =
    "<style>.mydiv{width: 170px;height:255px; padding:5px;float:left;font-size: 13px;"
    "font-family: \"宋体\";text-align:center;color: #999999;} .mydiv strong{font:bold 19px "
    "\"宋体\";color:#ff6600;} .pic_url{border: 1px solid #cccccc;padding: 4px;} .mydiv img "
    "{height:160px;width:160px;border:none;} .mydiv a{color:#3366cc;text-decoration:none;} "
    ".mydiv a:hover{color:#ff6600;text-decoration:underline;} .title{height:48px;"
    "padding-top:3px;line-height:16px;padding-bottom:2px;} .myshop_pic{float:left;"
    "padding-right:10px;padding-left:10px;padding-bottom:5px;} .myshop_pic img{width: 100px;"
    "height:100px;} .myshop_title{width:200;float:left;} .myshop a{font-weight:bold;"
    "text-decoration:none;} .myshop a:hover{color:#ff6600;text-decoration:underline;} "
    ".myshop{color:#3366cc;width:550px;font-family:\"宋体\";font-size:13px;line-height:20px;} "
    ".mybut img{margin-top:35px;border:none;}</style>";
constexpr const char* kPageBody =
    "<body leftMargin=5  topMargin=10 scroll=auto style=\"width:100%; border-width=0;\">";
constexpr const char* kPageEnd = "</body>";
constexpr const char* kShopBlock =
    "<div class=\"myshop\"><div class=\"myshop_pic\"><img src=\"%s\"></div><a "
    "href=\"http://%s/\">%s</a><br><div class=\"myshop_title\">卖家昵称：%s<br>所 在 地：%s"
    "<br>商品总数：%s 件<br><img src=\"%s\"></div><div class=\"mybut\"><a "
    "href=\"http://%s/\"><img src=\"%s/taoke/shop.gif\" alt=\"进入该商铺\"></a></div></div>"
    "<hr>";
// The item block ends with the line of what the item pays, under its price: the line's element
// id, then its text.
constexpr const char* kItemBlock =
    "<div class=\"mydiv\"><div class=\"pic_url\"><a href=\"http://iid%s/\"><img "
    "src=\"%s_160x160.jpg\"></a></div><div class=\"title\"><a href=\"http://iid%s/\">%s</a>"
    "</div><strong>￥%s</strong><div class=\"commission\" id=\"%s\">%s</div></div>";

// The body takes the window's width, less its margins: "width:100%" on the body added them,
// and every page scrolled sideways by that much.
constexpr const char* kPageFit = "<style>body{width:auto !important;}</style>";

// The item block grows by the commission line's 16 pixels. The line never wraps nor changes its
// height, whatever it says: filling it in leaves the page's layout, and its scroll position, as
// they were.
constexpr const char* kCommissionStyle =
    "<style>.mydiv{height:271px;} .commission{height:16px;line-height:16px;white-space:nowrap;"
    "overflow:hidden;text-overflow:ellipsis;}</style>";
constexpr const char* kCommissionLineId = "commission-";

// The shop block's item count when the item search brought nothing back at all.
constexpr const char* kUnknownTotal = "?";

// Splits a template at its "%s" marks, converted to GBK.
std::vector<std::string> Pieces(const char* utf8) {
  std::string gbk = Utf8ToGbk(utf8);
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t mark; (mark = gbk.find("%s", start)) != std::string::npos; start = mark + 2) {
    pieces.push_back(gbk.substr(start, mark - start));
  }
  pieces.push_back(gbk.substr(start));
  return pieces;
}

// The shop block for a shop without a logo: the logo's place stays, empty, where an address
// without a picture would show a broken one.
std::vector<std::string> WithoutLogo(std::vector<std::string> pieces) {
  std::string& first = pieces[0];  // ...<div class="myshop_pic"><img src="
  first.replace(first.rfind("src=\""), 5, "alt=\"\" style=\"visibility:hidden");
  first += pieces[1];
  pieces.erase(pieces.begin() + 1);
  return pieces;
}

// The template with each mark replaced by the next value, escaped.
void Fill(std::string& page, const std::vector<std::string>& pieces,
          std::initializer_list<std::string_view> values) {
  auto value = values.begin();
  for (size_t i = 0; i < pieces.size(); ++i) {
    page += pieces[i];
    if (i + 1 < pieces.size()) page += EscapeHtml(*value++);
  }
}

}  // namespace

const std::string& PageStyle() {
  static const std::string text = Utf8ToGbk(kPageStyle);
  return text;
}

const std::string& PageBody() {
  static const std::string text = kPageBody;
  return text;
}

const std::string& PageEnd() {
  static const std::string text = kPageEnd;
  return text;
}

std::string EmptyPage() { return kPageFit + PageBody() + PageEnd(); }

std::string EscapeHtml(std::string_view text) { return EscapeMarkup(text); }

size_t ShownItemCount(const Info& row) {
  const std::vector<TaobaoSearchInfo>* items = row.items.get();
  size_t count = 0;
  while (items != nullptr && count < items->size() && count < page_defaults::kMaxItems &&
         !(*items)[count].title.empty()) {
    ++count;
  }
  return count;
}

std::string CommissionLineId(size_t index) { return kCommissionLineId + std::to_string(index); }

std::string BuildShopPage(const Info& row, const std::string& vendor_base,
                          const PageCommissions* commissions) {
  static const std::vector<std::string> shop_block = Pieces(kShopBlock);
  static const std::vector<std::string> item_block = Pieces(kItemBlock);
  static const std::vector<std::string> shop_block_without_logo = WithoutLogo(shop_block);

  const std::vector<TaobaoSearchInfo>* items = row.items.get();
  std::string total = kUnknownTotal;
  if (items != nullptr && !items->empty()) {
    // Only an item row carries the total; an item without a title still does.
    const TaobaoSearchInfo& first = (*items)[0];
    total = IsItemRow(first) ? first.total : "0";
  }

  std::string page = PageStyle() + kPageFit + kCommissionStyle + PageBody();
  if (row.logo_url.empty()) {
    Fill(page, shop_block_without_logo,
         {row.nick, row.title, row.nick, row.location, total, row.credit_pic_url, row.nick,
          vendor_base});
  } else {
    Fill(page, shop_block,
         {row.logo_url, row.nick, row.title, row.nick, row.location, total, row.credit_pic_url,
          row.nick, vendor_base});
  }
  const ItemCommission pending;
  for (size_t i = 0, shown = ShownItemCount(row); i < shown; ++i) {
    const TaobaoSearchInfo& item = (*items)[i];
    // Commissions of another page's items say nothing of these.
    bool known = commissions != nullptr && i < commissions->size() &&
                 commissions->IidAt(i) == item.iid;
    const ItemCommission& commission = known ? commissions->At(i) : pending;
    Fill(page, item_block,
         {item.iid, item.pic_url, item.iid, item.title, item.price, CommissionLineId(i),
          CommissionLine(commission)});
  }
  page += PageEnd();
  return page;
}

}  // namespace vendrix
