#pragma once

#include "program/Version.h"

#include <QString>

#ifndef PLUVION_MAKER_URL
#define PLUVION_MAKER_URL "http://www.quillfen.com"
#endif

// Facts about the program that several places show or compare.
namespace ProgramInfo {

// The version text shown in the caption and the About box and compared by the
// update check.
inline QString version()
{
    return QStringLiteral(PLUVION_VERSION);
}

// The maker's web address: scheme and host, no path, no trailing slash.
inline QString makerUrl()
{
    return QStringLiteral(PLUVION_MAKER_URL);
}

} // namespace ProgramInfo
