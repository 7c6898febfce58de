#include "CliDrawing.h"

#include "CliModule.h"

namespace {

const CliDrawing *given = nullptr;

} // namespace

const CliDrawing &Drawing()
{
    if (!given)
        given = static_cast<const CliDrawing *>(LoadCliModule(QStringLiteral("pluvion-drawing.so"),
                                                              CliDrawingSymbol, QStringLiteral("画图模块")));
    return *given;
}

void UseDrawing(const CliDrawing &drawing)
{
    given = &drawing;
}
