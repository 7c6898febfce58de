#pragma once

#include "support/ProgramInfo.h"

#include <QString>

// The maker's user community, offered in the Help menu. Both values can be set
// at build time (-DPLUVION_COMMUNITY_GROUP=..., -DPLUVION_COMMUNITY_PATH=...).
#ifndef PLUVION_COMMUNITY_GROUP
#define PLUVION_COMMUNITY_GROUP "123456789"
#endif
#ifndef PLUVION_COMMUNITY_PATH
#define PLUVION_COMMUNITY_PATH "/pluvion/community.html"
#endif

namespace Community {

// The number of the users' QQ group.
inline QString groupNumber()
{
    return QStringLiteral(PLUVION_COMMUNITY_GROUP);
}

// The caption of the Help menu's community item: "加Q群" and the group number.
inline QString menuCaption()
{
    return QStringLiteral("加Q群") + groupNumber();
}

// The community page on the maker's site, which tells how to join the group.
inline QString pageUrl()
{
    return ProgramInfo::makerUrl() + QStringLiteral(PLUVION_COMMUNITY_PATH);
}

} // namespace Community
