#include "sandbox/ConfigDocument.h"

#include "platform/Markup.h"

namespace vendrix::sandbox {
namespace {

std::string Cond(const char* method) {
  return std::string("<cond><v>2.0</v><method>") + method +
         "</method><format>xml</format><sign_method>md5</sign_method></cond>";
}

}  // namespace

std::string ConfigDocument(bool renamed, const std::string& gateway, const std::string& app_key,
                           const std::string& app_secret) {
  std::string doc = "<vendrix><api><app_key>";
  doc += EscapeMarkup(app_key);
  doc += "</app_key><app_sec>";
  doc += EscapeMarkup(app_secret);
  doc += "</app_sec><nick>";
  doc += sandbox_credentials::kAffiliateNick;
  doc += "</nick></api>";

  if (!renamed) {
    // Only the call values; the client's defaults name everything else.
    doc += "<TaobaokeItem>" + Cond("taobao.taobaoke.items.get") + "</TaobaokeItem>";
    doc += "<TaobaoUsers>" + Cond("taobao.users.get") + "</TaobaoUsers>";
    doc += "<TaobaoCats>" + Cond("taobao.itemcats.get") + "</TaobaoCats>";
    doc += "<TaobaoShop>" + Cond("taobao.shop.get") + "</TaobaoShop>";
    doc += "<TaobaoSearch>" + Cond("taobao.items.search") + "</TaobaoSearch>";
    doc += "<TaobaokeShop>" + Cond("taobao.taobaoke.shops.convert") + "</TaobaokeShop>";
    doc += "<TaobaokeConvert>" + Cond("taobao.taobaoke.items.convert") + "</TaobaokeConvert>";
    doc += "</vendrix>";
    return doc;
  }

  // Every sub-section that is present names all it lists; elements left out read as empty,
  // which gives the client's default name.
  std::string http = "<http>" + gateway + "</http>";
  doc += "<TaobaokeItem>" + Cond("taobao.taobaoke.items.get") +
         "<back><nick>seller_nick</nick></back>"
         "<name><nick>nick_name</nick><page_no>page</page_no>" + http + "</name>"
         "<xmlname><total_results>total_hits</total_results>"
         "<taobaoke_items>tbk_items</taobaoke_items></xmlname></TaobaokeItem>";
  doc += "<TaobaoUsers>" + Cond("taobao.users.get") +
         "<back><sex>err</sex><nick>err</nick><city>city_name</city><user_id>err</user_id>"
         "<last_visit>err</last_visit><buyer_credit><lever>grade</lever></buyer_credit>"
         "<seller_credit><lever>grade</lever></seller_credit></back>"
         "<name><nicks>nick_list</nicks>" + http + "</name>"
         "<xmlname><users>user_list</users><location>place</location></xmlname></TaobaoUsers>";
  doc += "<TaobaoCats>" + Cond("taobao.itemcats.get") +
         "<back><name>cat_name</name></back>"
         "<name><parent_cid>parent_id</parent_cid>" + http + "</name>"
         "<xmlname><item_cats>cat_list</item_cats></xmlname></TaobaoCats>"
         "<TaobaoCat><xmlname><item_cat>cat</item_cat></xmlname></TaobaoCat>";
  doc += "<TaobaoShop>" + Cond("taobao.shop.get") +
         "<back><title>store_title</title><pic_path>logo_path</pic_path><desc>desc</desc></back>"
         "<name><nick>seller_nick</nick>" + http + "</name>"
         "<xmlname><shop>store</shop></xmlname></TaobaoShop>";
  doc += "<TaobaoSearch>" + Cond("taobao.items.search") +
         "<back><pic_url>picture</pic_url><_type>item_type</_type></back>"
         "<name><nicks>nick_list</nicks>" + http + "</name>"
         "<xmlname><item_search>search_result</item_search><items>item_list</items>"
         "<item_categories>cat_counts</item_categories></xmlname></TaobaoSearch>";
  doc += "<TaobaokeShop>" + Cond("taobao.taobaoke.shops.convert") +
         "<back><click_url>tbk_url</click_url></back>"
         "<name><sids>shop_ids</sids>" + http + "</name></TaobaokeShop>"
         "<taobaoke_shops><xmlname><taobaoke_shops>tbk_shops</taobaoke_shops></xmlname>"
         "</taobaoke_shops>";
  doc += "<TaobaokeConvert>" + Cond("taobao.taobaoke.items.convert") +
         "<back><click_url>tbk_click</click_url></back>"
         "<name><iids>item_ids</iids>" + http + "</name></TaobaokeConvert>"
         "<total_results><xmlname><total_results>converted_total</total_results></xmlname>"
         "</total_results>";
  doc += "</vendrix>";
  return doc;
}

}  // namespace vendrix::sandbox
