// Why a platform call or a search failed, in the window's words (the command line says the same
// in English). Pure text; any thread.
#pragma once

#include <QString>

#include "app/ShopFinder.h"

namespace vendrix {

// The reason of a failed call: "平台拒绝了请求（错误 25：Invalid signature）",
// "服务器返回 HTTP/1.1 502 Bad Gateway", "网络错误：Read Timeout"...
QString FailureReason(const CallFailure& failure);

// What a note says of a link whose conversion brought no address: 推广链接获取失败, then why
// (the call's reason, or that the platform gave no address for it).
QString LinkFailed(const CallFailure& failure);
// What a note says of a row whose shop lookup or item search failed: 店铺信息获取失败 and why.
QString PageFailed(const CallFailure& failure);

// The step of a search that failed, with its reason: "第 2 页商品搜索失败：...",
// "卖家信息查询失败：..." (the first batch) or "第 41-80 位卖家的信息查询失败：...".
QString SearchStepFailed(const SearchFailure& failure);

}  // namespace vendrix
