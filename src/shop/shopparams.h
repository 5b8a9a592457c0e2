#pragma once

#include "shop/shopmessages.h"

#include <QString>

// The credentials of the one shop, as kept in Shop_Info.
struct ShopParams {
    QString nick;    // Nick
    QString appKey;  // App_Key
    QString secret;  // Secret
    QString session; // Sesstion

    bool operator==(const ShopParams& o) const
    {
        return nick == o.nick && appKey == o.appKey && secret == o.secret && session == o.session;
    }
};

// Where a seller obtains a session key for an application, opened in the
// browser without any query.
inline constexpr char SessionKeyPageUrl[] = "https://open.taobao.com/apitools/sessionPage.htm";

enum class ShopField { None, Nick, AppKey, Secret, Session };

struct ShopParamsCheck {
    bool ok = false;
    ShopField firstEmpty = ShopField::None; // the box to correct first
    QString message;                        // empty when ok
    ShopParams values;                      // the trimmed values, to be stored when ok
};

// Checks the four typed values in box order (nick, app key, secret, session
// key); each must be non-empty once leading and trailing blanks are removed.
ShopParamsCheck checkShopParams(const ShopParams& typed);

// The values a request cannot go without, named as the settings dialog
// names them and joined by "、"; empty when every one is there.
QString missingShopParams(const ShopParams& shop);
