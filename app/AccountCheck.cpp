#include "app/AccountCheck.h"

#include <cstdlib>

#include "api/TaobaokeItem.h"
#include "app/ShopFinder.h"

namespace vendrix {
namespace {

constexpr const char* kCategoryMethod = "taobao.itemcats.get";
constexpr const char* kItemsMethod = "taobao.taobaoke.items.get";

// How to set the clock right, in a command any systemd machine has.
constexpr const char* kNetworkTime = "timedatectl set-ntp true";

// A message on one line: the socket errors' "\r\n" becomes a blank.
std::string OneLine(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
  return text;
}

// A message that goes before a full stop of ours, without its own ("Connection refused.").
std::string WithoutStop(std::string text) {
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  return text;
}

// "12 seconds", "1 minute 5 seconds", "8 hours 30 minutes": the two largest units that count.
std::string EnglishDuration(int64_t seconds) {
  auto unit = [](int64_t n, const char* name) {
    return std::to_string(n) + " " + name + (n == 1 ? "" : "s");
  };
  int64_t hours = seconds / 3600, minutes = seconds % 3600 / 60, rest = seconds % 60;
  if (hours > 0) return unit(hours, "hour") + (minutes > 0 ? " " + unit(minutes, "minute") : "");
  if (minutes > 0) return unit(minutes, "minute") + (rest > 0 ? " " + unit(rest, "second") : "");
  return unit(rest, "second");
}

// The same in Chinese: "12秒", "1分钟5秒", "8小时30分钟".
std::string ChineseDuration(int64_t seconds) {
  int64_t hours = seconds / 3600, minutes = seconds % 3600 / 60, rest = seconds % 60;
  if (hours > 0) {
    return std::to_string(hours) + "小时" + (minutes > 0 ? std::to_string(minutes) + "分钟" : "");
  }
  if (minutes > 0) {
    return std::to_string(minutes) + "分钟" + (rest > 0 ? std::to_string(rest) + "秒" : "");
  }
  return std::to_string(rest) + "秒";
}

// The seconds a ban has left, as the platform words it in its sub-message ("This ban will last
// for 12 more seconds"); -1 when neither sub-message nor message says.
int64_t BanSecondsLeft(const CallFailure& failure) {
  for (const std::string* text : {&failure.sub_msg, &failure.message}) {
    size_t more = text->find(" more second");
    if (more == std::string::npos) continue;
    size_t start = more;
    while (start > 0 && (*text)[start - 1] >= '0' && (*text)[start - 1] <= '9') --start;
    if (start == more || more - start > 9) continue;
    return std::stoll(text->substr(start, more - start));
  }
  return -1;
}

// "code 25: Invalid Signature", with the sub-message when it says more.
std::string CodeText(const CallFailure& failure, const char* colon, const char* open,
                     const char* close) {
  std::string text = std::to_string(failure.code);
  std::string message = WithoutStop(OneLine(failure.message));
  std::string sub_msg = WithoutStop(OneLine(failure.sub_msg));
  if (!message.empty()) text += colon + message;
  if (!sub_msg.empty() && sub_msg != message) text += open + sub_msg + close;
  return text;
}

AccountAdvice PlatformRefusal(const CallFailure& failure, const std::string& method) {
  const std::string en_code = "(code " + CodeText(failure, ": ", " - ", "") + ")";
  const std::string zh_code = "（错误码 " + CodeText(failure, "：", " - ", "") + "）";
  switch (failure.code) {
    case 25:
      return {"The platform refused the signature " + en_code +
                  ": the application secret does not belong to the application key. Enter the "
                  "App Secret that the Taobao open platform shows for this App Key, copied whole, "
                  "without blanks.",
              "开放平台拒绝了签名" + zh_code +
                  "：App Secret 与 App Key 不匹配。请填写淘宝开放平台上该 App Key 对应的 "
                  "App Secret，完整复制，不要带空格。"};
    case 29:
      return {"The platform does not know this application key " + en_code +
                  ". Enter the App Key of your application exactly as the Taobao open platform "
                  "shows it.",
              "开放平台不认识这个 App Key" + zh_code +
                  "。请按淘宝开放平台上显示的 App Key 准确填写。"};
    case 31: {
      AccountAdvice advice{"The platform refused the time of the request " + en_code +
                               ": it must be within ten minutes of Beijing time. ",
                           "开放平台拒绝了请求的时间" + zh_code +
                               "：请求时间与北京时间相差不能超过十分钟。"};
      if (!failure.clock_offset) {
        advice.english += "Check the computer's date and time and set them right, for example "
                          "by turning on network time (" + std::string(kNetworkTime) + ").";
        advice.chinese += "请检查电脑的日期和时间并校准，例如开启网络校时（" +
                          std::string(kNetworkTime) + "）。";
        return advice;
      }
      int64_t offset = *failure.clock_offset;
      int64_t off = std::llabs(offset);
      if (off < 60) {
        advice.english += "By the time of the platform's reply your computer's clock is right "
                          "(within a minute of Beijing time); try again, and if the platform "
                          "still refuses, check the date.";
        advice.chinese += "按开放平台回复的时间，您的电脑时钟是准的（与北京时间相差不到一分钟）；"
                          "请再试一次，若仍被拒绝，请检查日期。";
        return advice;
      }
      off = (off + 30) / 60 * 60;  // the reply's Date has whole seconds and took its time
      bool behind = offset < 0;
      advice.english += "Your computer's clock is " + EnglishDuration(off) +
                        (behind ? " behind" : " ahead of") +
                        " Beijing time. Set it right, for example by turning on network time (" +
                        kNetworkTime + ").";
      advice.chinese += "您的电脑时钟比北京时间" + std::string(behind ? "慢" : "快") +
                        ChineseDuration(off) + "。请校准电脑时钟，例如开启网络校时（" +
                        kNetworkTime + "）。";
      return advice;
    }
    case 7:
    case 8: {
      bool frequency = failure.code == 8;
      AccountAdvice advice =
          frequency ? AccountAdvice{"The application is calling too often " + en_code + ". ",
                                    "应用调用过于频繁" + zh_code + "。"}
                    : AccountAdvice{"The application has reached its call limit " + en_code + ". ",
                                    "应用的调用次数已达上限" + zh_code + "。"};
      int64_t left = BanSecondsLeft(failure);
      if (left >= 0) {
        advice.english += "The ban ends in " + EnglishDuration(left) + "; try again then";
        advice.chinese += "限制将在" + ChineseDuration(left) + "后解除，届时请再试";
      } else {
        advice.english += "Try again later";
        advice.chinese += "请稍后再试";
      }
      advice.english += frequency ? ", with fewer searches at a time." : ".";
      advice.chinese += frequency ? "，并减少同时进行的搜索。" : "。";
      return advice;
    }
    case 11:
      return {"The application lacks the permission for " + method + " " + en_code +
                  ". Apply for the permission of that interface for your application on the "
                  "Taobao open platform.",
              "应用没有调用 " + method + " 的权限" + zh_code +
                  "。请在淘宝开放平台为您的应用申请该接口的权限。"};
    default:
      return {"The platform refused " + method + " with code " +
                  CodeText(failure, ": ", " (", ")") + ".",
              "开放平台拒绝了 " + method + "，错误码 " + CodeText(failure, "：", "（", "）") +
                  "。"};
  }
}

}  // namespace

bool AccountCheckOutcome::Passed() const { return Failed() == nullptr && click_addresses; }

const AccountCheckStep* AccountCheckOutcome::Failed() const {
  for (const AccountCheckStep& step : steps) {
    if (!step.ok) return &step;
  }
  return nullptr;
}

AccountCheckOutcome CheckAccount(ShopFinder& finder) {
  using Clock = std::chrono::steady_clock;
  auto since = [](Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  };
  AccountCheckOutcome outcome;
  outcome.steps.reserve(2);

  // The category call exactly as start-up makes it, through the finder's own step.
  AccountCheckStep& cats = outcome.steps.emplace_back(AccountCheckStep{kCategoryMethod});
  Clock::time_point start = Clock::now();
  cats.ok = finder.LoadCats();
  cats.round_trip = since(start);
  cats.failure = finder.CatsFailure();
  if (!cats.ok) return outcome;
  const ACatsInfo& table = finder.Cats();
  for (size_t i = 1; i < table.size() && !table[i].name.empty(); ++i) ++outcome.categories;

  // The search's own records and component, asking for one item and, under the names the
  // configuration gives, every field: the search itself asks only for the sellers' nicks.
  TaobaokeItemConditions cond = finder.KeItemCond;
  TaobaokeItemName name = finder.KeItemName;
  TaobaokeItemXML xml = finder.KeItemXml;
  TaobaokeItemInfo back;
  {
    TaobaokeItemConditions configured_cond;
    TaobaokeItemName configured_name;
    TaobaokeItemXML configured_xml;
    finder.XMLData1.ReadTaobaokeItem(configured_cond, back, configured_name, configured_xml);
  }
  cond.nick = finder.DefaultNick();
  cond.cid = table[0].cid.empty() ? "0" : table[0].cid;
  cond.page_no = "1";
  cond.page_size = "1";

  AccountCheckStep& items = outcome.steps.emplace_back(AccountCheckStep{kItemsMethod});
  const ATaobaokeItemInfo* found = nullptr;
  start = Clock::now();
  items.ok = finder.TaobaokeItem1.Execute(cond, back, name, xml, found);
  items.round_trip = since(start);
  items.failure = finder.TaobaokeItem1.LastFailure();
  if (!items.ok) return outcome;
  outcome.items = static_cast<int>(finder.TaobaokeItem1.RowsWritten());
  outcome.click_addresses = outcome.items > 0 && !(*found)[0].click_url.empty();
  return outcome;
}

AccountAdvice ExplainAccountFailure(const CallFailure& failure, const std::string& method) {
  const std::string message = WithoutStop(OneLine(failure.message));
  switch (failure.kind) {
    case CallFailure::kNone:
      return {};
    case CallFailure::kNotSent:
      if (message == "no credentials") {
        return {"Nothing was sent: no application key or secret is set. Set the App Key and App "
                "Secret of your account.",
                "未发送请求：没有设置 App Key 和 App Secret。请设置您账户的 App Key 和 "
                "App Secret。"};
      }
      if (message == "no affiliate nick") {
        return {"Nothing was sent: no affiliate nick is set. Set the nick of your Taobao "
                "affiliate account.",
                "未发送请求：没有设置推广者昵称。请设置您的淘宝客账户昵称。"};
      }
      return {"Nothing was sent: " + message + ".", "未发送请求：" + message + "。"};
    case CallFailure::kTransport:
      return {"No answer from the platform's gateway: " + message +
                  ". Check the network connection and the gateway address.",
              "开放平台网关没有回应：" + message + "。请检查网络连接和网关地址。"};
    case CallFailure::kHttpStatus:
      return {"The gateway answered with an HTTP error instead of the platform's reply: " +
                  message + ". Check the gateway address, or try again later.",
              "网关没有返回开放平台的回复，而是 HTTP 错误：" + message +
                  "。请检查网关地址，或稍后再试。"};
    case CallFailure::kNoResult:
      return {"The platform answered without a result (" + message +
                  "). Check the configuration's names for this call, or try again later.",
              "开放平台的回复中没有结果（" + message + "）。请检查配置中此调用的名称，或稍后再试。"};
    case CallFailure::kReply:
      return {"The platform's reply could not be read: " + message +
                  ". Check the gateway address, or try again later.",
              "无法读取开放平台的回复：" + message + "。请检查网关地址，或稍后再试。"};
    case CallFailure::kPlatform:
      break;
  }
  return PlatformRefusal(failure, method);
}

AccountAdvice ExplainMissingClickAddresses(const std::string& nick, int items) {
  if (items == 0) {
    return {"The affiliate item search went through but found no item, so it cannot show "
            "whether click addresses come back for the nick " + nick +
                ". The configuration's conditions for the search may leave nothing to find.",
            "淘宝客商品搜索成功，但没有找到商品，因此无法确认昵称“" + nick +
                "”能否得到推广链接。配置中的搜索条件可能排除了所有商品。"};
  }
  return {"The affiliate item search went through, but no click address came back for the "
          "nick " + nick +
              ": the platform gives click addresses only to the nick of a Taobao affiliate "
              "(淘宝客) account. Enter the nick of your affiliate account.",
          "淘宝客商品搜索成功，但昵称“" + nick +
              "”没有得到推广链接：开放平台只给淘宝客账户的昵称返回推广链接。请填写您的淘宝客账户昵称。"};
}

}  // namespace vendrix
