#pragma once

// The texts of the shop download and the shop parameters, for the dialog,
// the recipient tab and `waylark download` alike.
namespace ShopText
{

// Fetching the answer from the gateway.
inline constexpr char TimedOut[] = "网店服务器长时间没有应答，订单未下载！";
inline constexpr char Canceled[] = "订单下载已取消！";
inline constexpr char ConnectFailed[] = "无法连接网店服务器：%1";
inline constexpr char HttpError[] = "网店服务器返回错误：HTTP %1 %2";
inline constexpr char Busy[] = "订单下载正在进行中！";
inline constexpr char BadGateway[] = "网店服务器地址无效：%1";
inline constexpr char DeadlinePassed[] = "网店服务器在%1秒内没有传完订单，订单未下载！";
inline constexpr char TooLarge[] = "网店服务器的应答超过%1 MB的上限，订单未下载！";
inline constexpr char BadEncoding[] = "网店服务器的应答无法解压，订单未下载！";
inline constexpr char Redirected[] =
    "网店服务器要求转到另一个地址（%1），为安全起见没有转过去，订单未下载！";

// The shop parameters.
inline constexpr char ParamsMissing[] = "必需的店铺参数不能为空！";
inline constexpr char ParamsSaved[] = "店铺参数设置完成！";

// The answer and the download as a whole.
inline constexpr char OrdersDone[] = "订单下载完毕！";
inline constexpr char NoNewOrders[] = "操作的店铺中没有发现新订单！";
inline constexpr char ShopParamsWrong[] = "店铺参数设置错误！";
inline constexpr char NotXml[] = "网店服务器的应答不是有效的XML：%1（第%2行，第%3列）";

// Before anything is sent, and before the orders are stored.
inline constexpr char ParamsIncomplete[] =
    "店铺参数没有填写完整（%1为空），订单未下载！\n请先在“网店参数设置”中填好店铺参数。";
inline constexpr char ReplaceOrAppend[] =
    "收件人表中已有 %1 条收件人。要清空它们，换成下载的 %2 条订单吗？\n"
    "选“是”清空后导入，选“否”把订单追加到现有收件人之后。";
inline constexpr char ReplaceQuestion[] = "将清空现有的 %1 条收件人并导入下载的 %2 条订单，继续？";
inline constexpr char AppendQuestion[] = "将把下载的 %2 条订单追加到现有的 %1 条收件人之后，继续？";
inline constexpr char OrdersNotStored[] = "下载的 %1 条订单没有保存，原有的收件人记录保持不变。";
inline constexpr char OrdersStored[] = "已保存 %1 条收件人记录。";
inline constexpr char NewAndPresent[] = "新订单 %1 条，已有 %2 条未重复导入。";
inline constexpr char TakenElsewhere[] = "另有 %1 条订单已由其他工作台同时下载，本次未导入。";

// Sending waybill numbers back.
inline constexpr char ShipNotTaken[] = "网店没有接受这个运单号。";
inline constexpr char ShipUnknownAnswer[] = "网店服务器的应答不是回传运单号的应答（%1）。";
inline constexpr char ShipNothingDue[] =
    "没有需要回传运单号的订单。\n"
    "只有已打印、填了运单号、带订单编号且尚未回传的订单才会回传。";
inline constexpr char ShipLabel[] = "正在回传运单号……";
inline constexpr char ShipAllDone[] = "运单号回传完毕：%1 条订单已回传。";
inline constexpr char ShipSomeFailed[] = "运单号回传完毕：%1 条订单已回传，%2 条失败：";
inline constexpr char ShipRetryQuestion[] = "现在重新回传失败的 %1 条订单吗？";
inline constexpr char ShipDeadline[] = "在%1秒的时限内没能回传。";
inline constexpr char ShipCanceled[] = "回传已取消。";
inline constexpr char ShipParamsIncomplete[] =
    "店铺参数没有填写完整（%1为空），运单号未回传！\n请先在“网店参数设置”中填好店铺参数。";
inline constexpr char ShipBusy[] = "运单号回传正在进行中！";

} // namespace ShopText
