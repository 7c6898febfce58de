#include "TemplatePackages.h"

#include <array>

// The packages, as pluvion-template-packer wrote them at build time.
extern const unsigned char PluvionCalcDataPackage[];
extern const std::size_t PluvionCalcDataPackageSize;
extern const unsigned char PluvionCalcBookPackage[];
extern const std::size_t PluvionCalcBookPackageSize;

std::span<const TemplatePackage> CompiledTemplatePackages()
{
    static const std::array<TemplatePackage, 2> packages = {{
        {"CALCDATA", PluvionCalcDataPackage, PluvionCalcDataPackageSize},
        {"CALCBOOK", PluvionCalcBookPackage, PluvionCalcBookPackageSize},
    }};
    return packages;
}
