#include "CliDocuments.h"

#include "CliModule.h"

namespace {

const CliDocuments *given = nullptr;

} // namespace

const CliDocuments &Documents()
{
    if (!given)
        given = static_cast<const CliDocuments *>(LoadCliModule(
            QStringLiteral("pluvion-documents.so"), CliDocumentsSymbol, QStringLiteral("文档模块")));
    return *given;
}

void UseDocuments(const CliDocuments &documents)
{
    given = &documents;
}
