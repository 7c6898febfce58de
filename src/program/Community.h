#pragma once

#include "program/ProgramInfo.h"

#include <QString>

// The maker's user community, offered in the Help menu only when the build
// names a real group (cmake -DPLUVION_COMMUNITY_GROUP=<number>, and
// optionally -DPLUVION_COMMUNITY_URL=<page that tells how to join>). A build
// without one shows no community item and no made-up number.
#ifndef PLUVION_COMMUNITY_GROUP
#define PLUVION_COMMUNITY_GROUP ""
#endif
#ifndef PLUVION_COMMUNITY_URL
#define PLUVION_COMMUNITY_URL ""
#endif

namespace Community {

// The number of the users' QQ group; empty when the build names none.
inline QString groupNumber()
{
    return QStringLiteral(PLUVION_COMMUNITY_GROUP);
}

// Whether the Help menu offers the community item.
inline bool offered()
{
    return !groupNumber().isEmpty();
}

// The caption of the Help menu's community item: "加Q群" and the group number.
inline QString menuCaption()
{
    return QStringLiteral("加Q群") + groupNumber();
}

// The page the item opens: the configured community page, or the maker's
// own site when the build names none.
inline QString pageUrl()
{
    const QString configured = QStringLiteral(PLUVION_COMMUNITY_URL);
    return configured.isEmpty() ? ProgramInfo::makerUrl() : configured;
}

} // namespace Community
