#pragma once

#include <cstddef>
#include <span>

// One Word template compiled into the program: a complete .docx package.
struct TemplatePackage
{
    const char *name; // "CALCDATA" or "CALCBOOK"
    const unsigned char *data;
    std::size_t size;
};

// Every compiled-in template.
std::span<const TemplatePackage> CompiledTemplatePackages();
