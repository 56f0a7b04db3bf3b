#include "gui/FailureWords.h"

#include <map>
#include <string>

namespace vendrix {
namespace {

// The values a call was not sent without, as the components name them.
QString MissingValueWords(const std::string& english) {
  static const std::map<std::string, const char*> kWords = {
      {"no credentials", "应用凭据（app_key、app_sec）"},
      {"no affiliate nick", "推广者昵称"},
      {"no category or keyword", "类目或关键词"},
      {"no category, query or nick", "类目、关键词或卖家昵称"},
      {"no nick", "卖家昵称"},
      {"no nicks", "卖家昵称"},
      {"no item ids", "商品编号"},
      {"no shop id", "店铺编号"},
  };
  auto found = kWords.find(english);
  return found != kWords.end() ? QString::fromUtf8(found->second) : QString::fromStdString(english);
}

}  // namespace

QString FailureReason(const CallFailure& failure) {
  const QString message = QString::fromStdString(failure.message);
  switch (failure.kind) {
    case CallFailure::kNone:
      break;
    case CallFailure::kNotSent:
      return QString::fromUtf8("未发送：缺少%1").arg(MissingValueWords(failure.message));
    case CallFailure::kTransport:
      return QString::fromUtf8("网络错误：%1").arg(message.simplified());
    case CallFailure::kHttpStatus:
      return QString::fromUtf8("服务器返回 %1").arg(message.simplified());
    case CallFailure::kPlatform: {
      QString detail = QString::number(failure.code);
      if (!failure.message.empty()) detail += QString::fromUtf8("：") + message;
      if (!failure.sub_msg.empty() && failure.sub_msg != failure.message) {
        detail += QString::fromUtf8("，") + QString::fromStdString(failure.sub_msg);
      }
      return QString::fromUtf8("平台拒绝了请求（错误 %1）").arg(detail);
    }
    case CallFailure::kNoResult:
      return QString::fromUtf8("平台没有返回结果");
    case CallFailure::kReply:
      return QString::fromUtf8("无法读取平台的回复：%1").arg(message.simplified());
  }
  return QString();
}

QString LinkFailed(const CallFailure& failure) {
  // A reply without a result is the platform's "nothing": no address for that link.
  bool answered = !failure.Failed() || failure.kind == CallFailure::kNoResult;
  return QString::fromUtf8("推广链接获取失败：") +
         (answered ? QString::fromUtf8("平台没有给出推广链接") : FailureReason(failure));
}

QString PageFailed(const CallFailure& failure) {
  return QString::fromUtf8("店铺信息获取失败：") + FailureReason(failure);
}

QString SearchStepFailed(const SearchFailure& failure) {
  QString step;
  if (failure.step == SearchFailure::kItemPage) {
    step = QString::fromUtf8("第 %1 页商品搜索失败").arg(failure.page);
  } else if (failure.first_row == 0) {
    step = QString::fromUtf8("卖家信息查询失败");
  } else {
    step = QString::fromUtf8("第 %1-%2 位卖家的信息查询失败")
               .arg(failure.first_row + 1)
               .arg(failure.last_row + 1);
  }
  return step + QString::fromUtf8("：") + FailureReason(failure.call);
}

}  // namespace vendrix
